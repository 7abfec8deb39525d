// Layers: the LAYER table, its properties and the operations that keep every
// reference to a layer consistent.
//
// References to a layer the engine knows (rename follows them all; deleting a
// layer drops or redirects the handle ones, and any other reference keeps the
// layer from being deleted):
//   by name   - group 8 of every entity (layouts, block definitions, ATTRIB,
//               VERTEX, SEQEND, BLOCK/ENDBLK markers), $CLAYER, extended data
//               1003 of any application (R12 viewports' frozen layers among
//               them), group 8 in table records and objects (layer states,
//               layer filters);
//   by handle - VIEWPORT 331 (frozen layers: dropped), layer-state XRECORD
//               entries 330 (dropped), the layer's own extension dictionary
//               (deleted with it), anything else (redirected by a merge;
//               blocks a plain delete).
#include <algorithm>

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"

namespace dxf {

// ---- DrawingData: layer operations ----

std::optional<std::uint32_t> DrawingData::findLayerId(std::string_view name) const {
    std::string key = foldCase(name);
    for (std::uint32_t i = 0; i < layers.size(); ++i)
        if (!layers[i].deleted && foldCase(layers[i].name) == key) return i;
    return std::nullopt;
}

std::string DrawingData::layerRaw(const std::string& name) const {
    if (auto id = findLayerId(name)) {
        const LayerRec& l = layers[*id];
        for (const Tag& t : l.tags) {
            if (t.code == 1001) break;
            if (t.code == 2 && l.name == name) return std::string(tagText(t, fmt));
        }
    }
    return codec->encode(name);
}

std::string DrawingData::currentLayerName() const {
    auto v = headerValue("$CLAYER");
    return v ? codec->decode(*v) : std::string("0");
}

void DrawingData::commitLayer(std::uint32_t id) { setPatch(layers[id].record, layers[id].tags); }

void DrawingData::renameReferences(const std::string& from, const std::string& to, bool merging) {
    const std::string key = foldCase(from);
    const std::string raw = layerRaw(to);
    for (Slot& s : slots)
        if (foldCase(s.name) == key) {
            s.name = to;
            s.curRaw = raw;
            s.renamed = true;
        }
    if (headerRecord != kNone && foldCase(currentLayerName()) == key) setHeaderValue("$CLAYER", 8, raw);
    buildRefLists();
    for (std::uint32_t r : nameRefRecords) {
        if (records[r].flags & kDeleted) continue;
        std::vector<Tag> t = tags(r);
        std::vector<Tag> out;
        out.reserve(t.size());
        bool changed = false;
        bool firstLayer = records[r].slot != kNone;  // that one follows its slot
        std::string app;
        bool mview = false;
        for (Tag& tag : t) {
            if (tag.code == 1001) {
                app = tag.value;
                mview = false;
            } else if (tag.code == 1000 && app == "ACAD" && tag.value == "MVIEW") {
                mview = true;
            }
            if (tag.code == 8 && firstLayer) {
                firstLayer = false;
            } else if ((tag.code == 1003 || tag.code == 8) && foldCase(codec->decode(tag.value)) == key) {
                changed = true;
                // An R12 viewport freezing the merged layer must not freeze
                // the target instead: its entry goes, as with R2000+'s 331.
                if (merging && mview && tag.code == 1003) continue;
                tag.value = raw;
            }
            out.push_back(std::move(tag));
        }
        if (changed) setPatch(r, out);
    }
    dirty = true;
}

void DrawingData::buildRefLists() {
    if (refListsValid) return;
    nameRefRecords.clear();
    pointerRecords.clear();
    std::uint16_t viewport = internType("VIEWPORT");
    for (std::uint32_t r = 0; r < records.size(); ++r) {
        const Record& rec = records[r];
        if (rec.flags & (kHasXdataName | kHasNameRef)) nameRefRecords.push_back(r);
        if (rec.section == Section::Objects || rec.section == Section::Tables || rec.type == viewport)
            pointerRecords.push_back(r);
    }
    refListsValid = true;
}

namespace {

// Owner handle (the 330 outside the 102 groups) of a record's tags.
std::uint64_t ownerOf(const std::vector<Tag>& t, const TagFormat& fmt) {
    bool inGroup = false;
    for (const Tag& tag : t) {
        if (tag.code == 102) inGroup = !tag.value.empty() && tag.value[0] == '{';
        else if (tag.code == 330 && !inGroup) return parseHandle(tagText(tag, fmt));
        else if (tag.code == 100) break;
    }
    return 0;
}

bool isPointerCode(int code) { return (code >= 330 && code <= 369) || code == 1005 || (code >= 390 && code <= 399); }

}  // namespace

// Handle references to layer `h` outside its own record; each is classified
// and, when `apply` is set, dropped or redirected to `redirect` (0: none).
// Returns false when some reference can be neither dropped nor redirected.
static bool handleRefs(DrawingData& d, std::uint32_t layerRecord, std::uint64_t h, std::uint64_t redirect, bool apply,
                       std::string* why) {
    if (h == 0) return true;
    if (d.dwg) return dwgLayerRefs(d, layerRecord, h, redirect, apply, why);
    const std::string hex = formatHandle(h);
    d.buildRefLists();
    for (std::uint32_t r : d.pointerRecords) {
        const Record& rec = d.records[r];
        if (r == layerRecord || (rec.flags & kDeleted)) continue;
        // Cheap filter: the handle text must occur in the record at all.
        if (!d.fmt.binary && !d.isDwgObject(r) && d.base(r).find(hex) == std::string_view::npos) continue;
        std::vector<Tag> t = d.tags(r);
        bool refers = false;
        for (const Tag& tag : t)
            if (isPointerCode(tag.code) && parseHandle(tagText(tag, d.fmt)) == h) refers = true;
        if (!refers) continue;
        const std::string& type = d.typeOf(r);
        if (type == "DICTIONARY" && ownerOf(t, d.fmt) == h) {
            if (apply) d.deleteDictionaryTree(r);
            continue;
        }
        std::vector<Tag> out;
        bool unknown = false;
        bool afterXrecordMarker = false;
        for (std::size_t i = 0; i < t.size(); ++i) {
            Tag tag = t[i];
            if (tag.code == 100 && tagText(tag, d.fmt) == "AcDbXrecord") afterXrecordMarker = true;
            bool hit = isPointerCode(tag.code) && parseHandle(tagText(tag, d.fmt)) == h;
            if (!hit) {
                out.push_back(std::move(tag));
                continue;
            }
            if (type == "VIEWPORT" && tag.code == 331) continue;  // frozen in that viewport: drop
            if (type == "XRECORD" && afterXrecordMarker && tag.code == 330 && i + 1 < t.size() && t[i + 1].code == 90) {
                // A layer-state entry: 330 layer, then its settings up to the next entry.
                std::size_t j = i + 1;
                while (j < t.size() && t[j].code != 330 && t[j].code != 1001) ++j;
                i = j - 1;
                continue;
            }
            if (redirect) {
                tag.value = formatHandle(redirect);
                out.push_back(std::move(tag));
                continue;
            }
            unknown = true;
            out.push_back(std::move(tag));
        }
        if (unknown) {
            if (why) *why = "referenced by " + type + " " + formatHandle(rec.handle);
            return false;
        }
        if (apply) d.setPatch(r, out);
    }
    return true;
}

// A layer's extension dictionary: it goes with the layer, with the
// dictionaries and extended records it owns.
void DrawingData::deleteDictionaryTree(std::uint32_t r) {
    std::vector<std::uint32_t> stack{r};
    for (int guard = 0; !stack.empty() && guard < 10000; ++guard) {
        std::uint32_t x = stack.back();
        stack.pop_back();
        if (records[x].flags & kDeleted) continue;
        std::vector<Tag> xt = tags(x);
        records[x].flags |= kDeleted;
        for (const Tag& tag : xt)
            if (tag.code == 350 || tag.code == 360)
                if (auto child = findRecordByHandle(parseHandle(tagText(tag, fmt))))
                    if (typeOf(*child) == "DICTIONARY" || typeOf(*child) == "XRECORD") stack.push_back(*child);
    }
    handleIndexValid = false;
    dirty = true;
}

bool DrawingData::layerInUse(std::uint32_t id, std::string* why) const {
    const std::string key = foldCase(layers[id].name);
    for (const Slot& s : slots)
        if (s.uses && foldCase(s.name) == key) {
            if (why) *why = "layer in use: " + layers[id].name;
            return true;
        }
    auto& self = const_cast<DrawingData&>(*this);
    std::uint64_t h = records[layers[id].record].handle;
    return !handleRefs(self, layers[id].record, h, 0, false, why);
}

void DrawingData::deleteLayer(std::uint32_t id, std::optional<std::uint32_t> redirect) {
    LayerRec& l = layers[id];
    std::uint64_t h = records[l.record].handle;
    std::uint64_t to = redirect ? records[layers[*redirect].record].handle : 0;
    handleRefs(*this, l.record, h, to, true, nullptr);
    records[l.record].flags |= kDeleted;
    l.deleted = true;
    handleIndexValid = false;
    dirty = true;
}


}  // namespace dxf
