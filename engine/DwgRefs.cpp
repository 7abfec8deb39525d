// References to a DWG layer from other objects, for deleting and merging
// layers. A DWG names layers by handle wherever it refers to them, mostly
// in handle streams the engine does not decode; every object's handle stream
// is therefore read once, and the references that name a layer are indexed.
//
// As for a DXF: the layer's extension dictionary goes with it; a merge sends
// references on to the target layer; a plain delete is refused while an
// object (not an entity) refers to the layer. A DWG layer state (XRECORD) or
// a viewport's frozen-layer list naming the layer cannot be changed here:
// such a layer is kept, with the reason.
#include <algorithm>
#include <unordered_set>

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"
#include "engine/dwg/ObjectCodec.h"
#include "engine/dwg/Writer.h"
#include "engine/dwg/Tables.h"

namespace dxf {

namespace {

using dwg::ObjectInfo;
namespace t = dwg::type;

// The layer's extension dictionaries and the dictionaries and records they
// own: they are deleted with the layer.
std::unordered_set<std::uint64_t> ownedTree(const dwg::Document& doc, const std::vector<DwgSource::LayerRef>& refs,
                                            std::uint64_t layer) {
    std::unordered_set<std::uint64_t> out;
    std::vector<std::uint64_t> stack;
    for (const DwgSource::LayerRef& r : refs) {
        const ObjectInfo& o = doc.objects()[r.object];
        if (o.type == t::Dictionary && o.owner == layer) stack.push_back(o.handle);
    }
    while (!stack.empty() && out.size() < 10000) {
        const std::uint64_t h = stack.back();
        stack.pop_back();
        if (!out.insert(h).second) continue;
        const long i = doc.find(h);
        if (i < 0) continue;
        const ObjectInfo& o = doc.objects()[static_cast<std::size_t>(i)];
        if (o.type != t::Dictionary) continue;
        try {
            for (const auto& [key, child] : dwg::readDictionary(doc, o).entries) {
                const long c = doc.find(child);
                if (c < 0) continue;
                const unsigned type = doc.objects()[static_cast<std::size_t>(c)].type;
                if (type == t::Dictionary || type == t::Xrecord || doc.dxfName(doc.objects()[static_cast<std::size_t>(c)]) == "XRECORD")
                    stack.push_back(child);
            }
        } catch (const dwg::BitOverrun&) {
        }
    }
    return out;
}

}  // namespace

const std::vector<DwgSource::LayerRef>& DwgSource::refsTo(std::uint64_t layer) const {
    if (!layerRefsBuilt_) {
        const auto& objs = doc->objects();
        std::unordered_set<std::uint64_t> layers;
        for (const ObjectInfo& o : objs)
            if (o.type == t::Layer) layers.insert(o.handle);
        // In the order objects lie, so that each object page is decompressed once.
        for (std::uint32_t i : dwg::physicalOrder(*doc)) {
            const ObjectInfo& o = objs[i];
            if ((o.flags & dwg::kUnread) || o.type == t::LayerControl || o.type == t::Layer) continue;
            for (const dwg::HandleAt& a : dwg::handlesOf(*doc, o, o.handleBits)) {
                if (a.ref.size == 0 && a.ref.code < 6) continue;  // null
                const std::uint64_t v = a.ref.resolve(o.handle);
                if (!layers.count(v)) continue;
                if ((o.flags & dwg::kIsEntity) && a.bit == o.layerRefBit) continue;
                layerRefs_[v].push_back(LayerRef{i, static_cast<std::uint32_t>(a.bit)});
            }
        }
        // Listed by object index, each object's references in stream order.
        for (auto& [layer, refs] : layerRefs_)
            std::stable_sort(refs.begin(), refs.end(), [](const LayerRef& a, const LayerRef& b) { return a.object < b.object; });
        layerRefsBuilt_ = true;
        // Every object was read: the pages kept last are of no more use than others.
        doc->objectStream().release();
    }
    static const std::vector<LayerRef> none;
    auto it = layerRefs_.find(layer);
    return it == layerRefs_.end() ? none : it->second;
}

bool dwgLayerRefs(DrawingData& d, std::uint32_t layerRecord, std::uint64_t h, std::uint64_t redirect, bool apply,
                  std::string* why) {
    const DwgSource& src = *d.dwg;
    const dwg::Document& doc = *src.doc;
    const std::vector<DwgSource::LayerRef>& refs = src.refsTo(h);
    const std::unordered_set<std::uint64_t> tree = ownedTree(doc, refs, h);
    for (const DwgSource::LayerRef& r : refs) {
        const ObjectInfo& o = doc.objects()[r.object];
        if (tree.count(o.handle)) continue;
        auto rec = d.findRecordByHandle(o.handle);
        if (!rec || *rec == layerRecord) continue;
        const bool entity = o.flags & dwg::kIsEntity;
        if (entity && o.type != t::Viewport) continue;  // followed on a merge, left as DXF leaves them
        const std::string what = doc.dxfName(o) + " " + formatHandle(o.handle);
        if (o.type == t::Viewport || doc.dxfName(o) == "XRECORD") {
            if (why)
                *why = "layer " + d.codec->decode(src.nameOf(h)) + " is listed by " + what +
                       (o.type == t::Viewport ? " (frozen in that viewport)" : " (a layer state)") +
                       ", which cannot be changed in a DWG";
            return false;
        }
        if (!redirect) {
            if (why) *why = "referenced by " + what;
            return false;
        }
    }
    if (apply) {
        for (std::uint64_t x : tree)
            if (auto rec = d.findRecordByHandle(x)) d.deleteDictionaryTree(*rec);
        d.dwgDeletedLayers[h] = redirect;
        d.dirty = true;
    }
    return true;
}

}  // namespace dxf
