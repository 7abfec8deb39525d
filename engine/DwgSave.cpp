// Saving a DWG drawing: the engine's edits (patched layer records, entities
// on other layer slots, renamed slots, new and deleted layers, header
// values) become edits of the DWG's objects, and the file is written back
// with them (dwg/Writer.h). Anything else that changed is refused before a
// byte is written.
#include <algorithm>
#include <map>

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"
#include "engine/dwg/ObjectCodec.h"
#include "engine/dwg/TableCodec.h"
#include "engine/dwg/Tables.h"

namespace dxf {

namespace {

using dwg::ObjectInfo;
namespace t = dwg::type;

class Planner {
public:
    explicit Planner(const DrawingData& d) : d_(d), src_(*d.dwg), doc_(*src_.doc) {}

    dwg::Edits run() {
        if (!dwg::writable(doc_.release())) {
            if (d_.dirty)
                refuse("DWG version " + dwg::versionLabel(doc_.acadver()) + " is read but not saved with changes (save it as " +
                       (doc_.release() == dwg::Release::R2007 ? "R2004, or R2010 or later," : "R2000 or later") + " first)");
            return {};
        }
        deleted_.assign(doc_.objects().size(), 0);
        indexLayers();
        checkRecords();
        layers();
        control();
        entities();
        references();
        header();
        finish();
        return std::move(e_);
    }

private:
    [[noreturn]] void refuse(const std::string& why) const {
        throw EngineError(err::kFileError, "cannot save " + d_.path + ": " + why);
    }
    std::string hex(std::uint64_t h) const { return formatHandle(h); }
    const ObjectInfo& object(std::uint64_t index) const { return doc_.objects()[static_cast<std::size_t>(index)]; }

    void indexLayers() {
        for (std::uint32_t i = 0; i < d_.layers.size(); ++i) {
            const LayerRec& l = d_.layers[i];
            if (!l.deleted) byName_[foldCase(l.name)] = d_.records[l.record].handle;
            if (l.record < d_.loadedRecords) layerRecords_.insert({l.record, i});
        }
        for (const ObjectInfo& o : doc_.objects())
            if (o.type == t::Ltype) linetypes_[foldCase(d_.codec->decode(src_.nameOf(o.handle)))] = o.handle;
    }

    // Every record edited in a way a DWG cannot take is refused here.
    void checkRecords() {
        for (std::uint32_t r = 0; r < d_.records.size(); ++r) {
            const Record& rec = d_.records[r];
            const bool isLayer = layerRecords_.count(r) || d_.typeOf(r) == "LAYER";
            if (r >= d_.loadedRecords) {
                if (!isLayer && !(rec.flags & kDeleted)) refuse("a new " + d_.typeOf(r) + " cannot be written to a DWG");
                continue;
            }
            if (rec.off == kNoDwgObject) continue;
            if (rec.flags & kDeleted) {
                deleted_[static_cast<std::size_t>(rec.off)] = 1;
                deletedAny_ = true;
                continue;
            }
            if (rec.patch != kNone && !isLayer && d_.typeOf(r) != "TABLE")
                refuse("the change to " + d_.typeOf(r) + " " + hex(rec.handle) + " cannot be written to a DWG");
        }
    }

    const ObjectInfo* layerTemplate() const {
        const ObjectInfo* first = nullptr;
        for (const LayerRec& l : d_.layers) {
            if (l.record >= d_.loadedRecords || d_.records[l.record].off == kNoDwgObject) continue;
            const ObjectInfo& o = object(d_.records[l.record].off);
            if (o.flags & dwg::kUnread) continue;
            if (!first) first = &o;
            if (src_.nameOf(o.handle) == "0") return &o;
        }
        return first;
    }

    // The values the layer's tags now say, starting from what the object holds.
    dwg::LayerValues fromTags(const std::vector<Tag>& tags, const dwg::LayerValues& base) const {
        dwg::LayerValues v = base;
        long dxfFlags = -1, color = 0, lineweight = 0;
        bool hasColor = false, hasTrue = false, hasPlot = false, hasLineweight = false, plot = true;
        std::int64_t trueColor = -1;
        for (const Tag& tag : tags) {
            if (tag.code == 1001) break;
            const std::string value = tagText(tag, d_.fmt);
            switch (tag.code) {
            case 2: v.name = tag.value; break;
            case 70: dxfFlags = tagLong(tag, d_.fmt); break;
            case 62: color = tagLong(tag, d_.fmt), hasColor = true; break;
            case 420: trueColor = tagLong(tag, d_.fmt), hasTrue = true; break;
            case 290: plot = tagLong(tag, d_.fmt, 1) != 0, hasPlot = true; break;
            case 370: lineweight = tagLong(tag, d_.fmt, -3), hasLineweight = true; break;
            case 390: v.plotStyle = parseHandle(value); break;
            case 6: {
                const std::string key = foldCase(d_.codec->decode(value));
                if (foldCase(d_.codec->decode(src_.nameOf(base.linetype))) == key) break;
                auto it = linetypes_.find(key);
                if (it == linetypes_.end()) refuse("the drawing has no linetype " + d_.codec->decode(value));
                v.linetype = it->second;
                break;
            }
            default: break;
            }
        }
        unsigned f = v.flags;
        if (dxfFlags >= 0) {
            f &= ~(1u | 4u | 8u);
            if (dxfFlags & 1) f |= 1;
            if (dxfFlags & 2) f |= 4;
            if (dxfFlags & 4) f |= 8;
        }
        if (hasColor) f = color < 0 ? (f | 2u) : (f & ~2u);
        if (hasPlot) f = plot ? (f | 0x10u) : (f & ~0x10u);
        if (hasLineweight && dwg::lineweightOf((f >> 5) & 0x1F) != lineweight) {
            const int index = dwg::lineweightIndex(static_cast<int>(lineweight));
            if (index < 0) refuse("lineweight " + std::to_string(lineweight) + " has no DWG code");
            f = (f & ~0x3E0u) | (static_cast<unsigned>(index) << 5);
        }
        v.flags = f;
        if (hasColor) {
            const int index = static_cast<int>(color < 0 ? -color : color);
            if (index != base.colorIndex || hasTrue != (base.trueColor >= 0) || (hasTrue && trueColor != base.trueColor)) {
                v.colorIndex = index;
                v.trueColor = hasTrue ? trueColor : -1;
            }
        }
        return v;
    }

    void layers() {
        const ObjectInfo* model = layerTemplate();
        for (const LayerRec& l : d_.layers) {
            const Record& rec = d_.records[l.record];
            if (l.record < d_.loadedRecords) {
                if (l.deleted || rec.off == kNoDwgObject) continue;
                const ObjectInfo& o = object(rec.off);
                dwg::LayerValues base;
                try {
                    base = dwg::layerValues(doc_, o);
                } catch (const dwg::BitOverrun&) {
                    // A layer the reader could not decode is named by its handle and
                    // has no settings; a change to it is refused, not dropped.
                    const bool asRead = l.tags.size() == 6 && l.tags[5].code == 2 && l.tags[5].value == hex(o.handle);
                    if (!asRead) refuse("layer " + hex(o.handle) + " cannot be re-encoded");
                    continue;
                }
                const dwg::LayerValues want = fromTags(l.tags, base);
                if (want == base) continue;
                encode([&] { e_.replaced[static_cast<std::uint32_t>(rec.off)] = dwg::encodeLayer(doc_, o, want); }, o.handle);
            } else if (!l.deleted) {
                if (!model) refuse("the drawing has no layer to model a new one on");
                const dwg::LayerValues want = fromTags(l.tags, dwg::layerValues(doc_, *model));
                newLayers_.push_back(rec.handle);
                encode([&] { e_.added.emplace_back(rec.handle, dwg::encodeLayer(doc_, *model, want, rec.handle, d_.layerTableHandle)); },
                       rec.handle);
            }
        }
    }

    template <class Fn>
    void encode(Fn&& fn, std::uint64_t handle) const {
        try {
            fn();
        } catch (const dwg::BitOverrun& x) {
            refuse("object " + hex(handle) + " cannot be re-encoded (" + x.what() + ")");
        }
    }

    // The layer control object lists the layers that remain and the new ones.
    void control() {
        bool gone = false;
        for (std::size_t i = 0; i < deleted_.size(); ++i)
            if (deleted_[i] && object(i).type == t::Layer) gone = true;
        if (!gone && newLayers_.empty()) return;
        const long ci = doc_.find(d_.layerTableHandle);
        if (ci < 0) refuse("the layer table was not found");
        const ObjectInfo& c = object(static_cast<std::uint64_t>(ci));
        encode(
            [&] {
                std::vector<std::uint64_t> entries;
                for (std::uint64_t h : dwg::readControlEntries(doc_, c, nullptr)) {
                    const long i = doc_.find(h);
                    if (i >= 0 && deleted_[static_cast<std::size_t>(i)]) continue;
                    entries.push_back(h);
                }
                for (std::uint64_t h : newLayers_) entries.push_back(h);
                e_.replaced[static_cast<std::uint32_t>(ci)] = dwg::encodeControl(doc_, c, entries);
            },
            c.handle);
    }

    // Entities whose layer (slot) now names another layer object.
    void entities() {
        for (std::uint32_t r = 0; r < d_.loadedRecords; ++r) {
            const Record& rec = d_.records[r];
            if (rec.off == kNoDwgObject || rec.slot == kNone || (rec.flags & kDeleted)) continue;
            if (!(rec.flags & kLayerChanged) && !d_.slots[rec.slot].renamed) continue;
            const ObjectInfo& o = object(rec.off);
            if (!(o.flags & dwg::kIsEntity)) continue;
            auto it = byName_.find(foldCase(d_.slots[rec.slot].name));
            if (it == byName_.end())
                refuse("object " + hex(o.handle) + " is on layer " + d_.slots[rec.slot].name + ", which does not exist");
            if (it->second == o.layer) continue;
            checkLayerRef(o);
            e_.relayer.emplace_back(static_cast<std::uint32_t>(rec.off), it->second);
        }
    }

    // The reference about to be replaced must be the one the reader took for the layer.
    void checkLayerRef(const ObjectInfo& o) const {
        bool ok = !(o.flags & dwg::kUnread) && o.layerRefBit >= o.handleBits;
        if (ok) {
            try {
                dwg::BitReader h(doc_.objectStart(o) + o.headerBytes, o.layerRefBit, static_cast<std::uint64_t>(o.size) * 8);
                ok = h.H().resolve(o.handle) == o.layer;
            } catch (const dwg::BitOverrun&) {
                ok = false;
            }
        }
        if (!ok) refuse("the layer reference of object " + hex(o.handle) + " could not be located");
    }

    // References to merged layers follow them to their target.
    void references() {
        for (const auto& [layer, first] : d_.dwgDeletedLayers) {
            std::uint64_t target = first;
            for (int guard = 0; guard < 1000; ++guard) {
                auto next = d_.dwgDeletedLayers.find(target);
                if (next == d_.dwgDeletedLayers.end() || !next->second) break;
                target = next->second;
            }
            if (!target || d_.dwgDeletedLayers.count(target)) continue;
            for (const DwgSource::LayerRef& ref : src_.refsTo(layer)) {
                if (deleted_[ref.object]) continue;
                const ObjectInfo& o = object(ref.object);
                dwg::BitReader h(doc_.objectStart(o) + o.headerBytes, ref.bit, static_cast<std::uint64_t>(o.size) * 8);
                const unsigned code = h.H().code;
                handleEdits_[ref.object].push_back(dwg::HandleEdit{ref.bit, false, code <= 5 ? code : 4u, target});
            }
        }
    }

    void header() {
        const dwg::HeaderVars& h = doc_.header();
        std::uint64_t clayer = h.clayer;
        const std::string current = foldCase(d_.currentLayerName());
        auto it = byName_.find(current);
        if (it != byName_.end()) {
            // The layer $CLAYER named, if it still has the current name, stays.
            const long li = doc_.find(h.clayer);
            bool same = false;
            if (li >= 0)
                for (const LayerRec& l : d_.layers)
                    if (!l.deleted && d_.records[l.record].handle == h.clayer) same = foldCase(l.name) == current;
            if (!same) clayer = it->second;
        }
        std::uint64_t seed = parseHandle(d_.headerValue("$HANDSEED").value_or(""));
        if (!seed) seed = h.handseed;
        if (clayer == h.clayer && seed == h.handseed) return;
        if (!h.handseedBit || !h.clayerBit) refuse("the header variables cannot be re-encoded");
        try {
            e_.header = dwg::encodeHeader(doc_, seed, clayer);
        } catch (const dwg::BitOverrun& x) {
            refuse(std::string("the header variables cannot be re-encoded (") + x.what() + ")");
        }
        if (seed != h.handseed) e_.handseed = seed;
    }

    void finish() {
        std::sort(e_.relayer.begin(), e_.relayer.end());
        for (auto& entry : handleEdits_) {
            const std::uint32_t index = entry.first;
            std::vector<dwg::HandleEdit>& edits = entry.second;
            auto it = std::lower_bound(e_.relayer.begin(), e_.relayer.end(), std::make_pair(index, std::uint64_t{0}));
            const ObjectInfo& o = object(index);
            if (it != e_.relayer.end() && it->first == index) {
                edits.push_back(dwg::HandleEdit{o.layerRefBit, false, 5, it->second});
                e_.relayer.erase(it);
            }
            encode([&] { e_.replaced[index] = dwg::editHandles(doc_, o, edits); }, o.handle);
        }
        if (deletedAny_) e_.deleted = std::move(deleted_);
        std::sort(e_.added.begin(), e_.added.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    const DrawingData& d_;
    const DwgSource& src_;
    const dwg::Document& doc_;
    dwg::Edits e_;
    std::vector<std::uint8_t> deleted_;
    bool deletedAny_ = false;
    std::unordered_map<std::string, std::uint64_t> byName_;     // folded current name -> layer handle
    std::unordered_map<std::string, std::uint64_t> linetypes_;  // folded name -> handle
    std::unordered_map<std::uint32_t, std::uint32_t> layerRecords_;
    std::vector<std::uint64_t> newLayers_;
    std::map<std::uint32_t, std::vector<dwg::HandleEdit>> handleEdits_;
};

}  // namespace

dwg::Edits planDwgEdits(const DrawingData& d) { return Planner(d).run(); }

void writeDwgDrawing(const DrawingData& d, dwg::Output& out) {
    // The object pages read while writing are not kept afterwards.
    struct Release {
        const dwg::ObjectStream& s;
        ~Release() { s.release(); }
    } release{d.dwg->doc->objectStream()};
    const dwg::Edits e = planDwgEdits(d);
    if (e.empty()) {
        out.write(d.bytes.data(), d.bytes.size());
        return;
    }
    try {
        dwg::writeDwg(*d.dwg->doc, e, out);
    } catch (const dwg::WriteError& x) {
        throw EngineError(err::kFileError, "cannot save " + d.path + ": " + x.what());
    } catch (const dwg::FormatError& x) {
        throw EngineError(err::kFileError, "cannot save " + d.path + ": " + x.what());
    } catch (const dwg::BitOverrun& x) {
        throw EngineError(err::kFileError, "cannot save " + d.path + ": " + x.what());
    }
}

}  // namespace dxf
