// Record access, header variables and the edit primitives every operation
// builds on.
#include <algorithm>

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"

namespace dxf {

bool DrawingData::isDwgObject(std::uint32_t r) const {
    return dwg && records[r].patch == kNone && records[r].off != kNoDwgObject;
}

std::string_view DrawingData::base(std::uint32_t r) const {
    const Record& rec = records[r];
    if (isDwgObject(r)) return {};  // no bytes of its own: see recordBytes()
    if (rec.patch != kNone) return patches[rec.patch];
    return std::string_view(bytes).substr(rec.off, rec.len);
}

std::string DrawingData::recordBytes(std::uint32_t r) const {
    if (isDwgObject(r)) return serializeTags(dwg->groups(*this, r), fmt);
    const Record& rec = records[r];
    std::string_view b = base(r);
    bool swap = rec.slot != kNone && rec.layerOff != kNone &&
                ((rec.flags & kLayerChanged) || slots[rec.slot].renamed);
    if (!swap) return std::string(b);
    std::string out;
    out.reserve(b.size() + 32);
    out.append(b.substr(0, rec.layerOff));
    out.append(slots[rec.slot].curRaw);
    out.append(b.substr(rec.layerOff + rec.layerLen));
    return out;
}

std::vector<Tag> DrawingData::tags(std::uint32_t r) const {
    if (isDwgObject(r)) return dwg->groups(*this, r);
    std::vector<Tag> out;
    std::string b = recordBytes(r);
    parseTags(b, fmt, out);  // records were validated when loaded
    return out;
}

void DrawingData::setPatch(std::uint32_t r, const std::vector<Tag>& t) {
    Record& rec = records[r];
    std::string out = serializeTags(t, fmt);
    // The patch holds the current layer value; find it again for later swaps.
    rec.layerOff = kNone;
    rec.layerLen = 0;
    if (rec.slot != kNone) {
        forEachTag(out, fmt, [&](int code, std::size_t vb, std::size_t ve) {
            if (code == 8 && rec.layerOff == kNone) {
                rec.layerOff = static_cast<std::uint32_t>(vb);
                rec.layerLen = static_cast<std::uint32_t>(ve - vb);
            }
        });
        // The tags were read with the layer swapped in, so the patch holds the current name.
        rec.flags &= static_cast<std::uint8_t>(~kLayerChanged);
    }
    if (rec.patch == kNone) {
        rec.patch = static_cast<std::uint32_t>(patches.size());
        patches.push_back(std::move(out));
    } else {
        patches[rec.patch] = std::move(out);
    }
    dirty = true;
}

std::uint32_t DrawingData::insertRecordAfter(std::uint32_t anchor, const std::vector<Tag>& t, const std::string& type) {
    // New records are emitted just before `anchor` (an original record).
    Record rec;
    rec.type = internType(type);
    rec.section = records[anchor].section;
    records.push_back(rec);
    std::uint32_t r = static_cast<std::uint32_t>(records.size() - 1);
    for (const Tag& tag : t)
        if (tag.code == 5) records[r].handle = parseHandle(tagText(tag, fmt));
    setPatch(r, t);
    inserts[anchor].push_back(r);
    records[anchor].flags |= kHasInserts;
    handleIndexValid = false;
    refListsValid = false;
    return r;
}

std::uint32_t DrawingData::slotForName(const std::string& name) {
    std::string raw = layerRaw(name);
    for (std::uint32_t i = 0; i < slots.size(); ++i)
        if (slots[i].curRaw == raw && slots[i].name == name) return i;
    auto it = slotByRaw.find(raw);
    if (it != slotByRaw.end() && !slots[it->second].renamed) return it->second;
    Slot s;
    s.raw = raw;
    s.name = name;
    s.curRaw = raw;
    slots.push_back(std::move(s));
    std::uint32_t id = static_cast<std::uint32_t>(slots.size() - 1);
    if (it == slotByRaw.end()) slotByRaw.emplace(raw, id);
    return id;
}

void DrawingData::setRecordSlot(std::uint32_t r, std::uint32_t s) {
    Record& rec = records[r];
    if (rec.slot == s) return;
    if (rec.layerOff == kNone && !isDwgObject(r)) {
        // An entity without group 8 is on layer 0; give it one.
        std::vector<Tag> t = tags(r);
        std::size_t at = 1;
        for (std::size_t i = 1; i < t.size(); ++i)
            if (t[i].code == 100 && tagText(t[i], fmt) == "AcDbEntity") {
                at = i + 1;
                break;
            } else if (t[i].code == 5 || t[i].code == 330) {
                at = i + 1;
            }
        t.insert(t.begin() + static_cast<long>(at), makeTag(8, slots[s].curRaw, fmt));
        rec.slot = s;
        setPatch(r, t);
    }
    if (rec.slot != kNone && rec.slot < slots.size() && slots[rec.slot].uses) --slots[rec.slot].uses;
    rec.slot = s;
    ++slots[s].uses;
    rec.flags |= kLayerChanged;
    if (isTopLevelInLayout(r)) {
        slots[s].top.push_back(r);
        slots[s].topUnsorted = true;
    }
    dirty = true;
}

bool DrawingData::isEntityRecord(std::uint32_t r) const {
    const Record& rec = records[r];
    if (rec.section == Section::Entities) return typeOf(r) != "ENDSEC";
    if (rec.section == Section::Blocks) {
        const std::string& t = typeOf(r);
        return t != "BLOCK" && t != "ENDBLK" && t != "ENDSEC";
    }
    return false;
}

bool DrawingData::isTopLevelInLayout(std::uint32_t r) const {
    const Record& rec = records[r];
    if (rec.flags & (kSubEntity | kDeleted)) return false;
    if (rec.section == Section::Entities) return typeOf(r) != "ENDSEC" && typeOf(r) != "SECTION";
    if (rec.section == Section::Blocks && rec.block != kNone && blocks[rec.block].layout) {
        const std::string& t = typeOf(r);
        return t != "BLOCK" && t != "ENDBLK" && t != "ENDSEC";
    }
    return false;
}

std::optional<std::uint32_t> DrawingData::findRecordByHandle(std::uint64_t h) const {
    if (h == 0) return std::nullopt;
    if (!handleIndexValid) {
        handleIndex.clear();
        for (std::uint32_t r = 0; r < records.size(); ++r)
            if (records[r].handle && !(records[r].flags & kDeleted)) handleIndex.emplace_back(records[r].handle, r);
        std::stable_sort(handleIndex.begin(), handleIndex.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        handleIndexValid = true;
    }
    auto it = std::lower_bound(handleIndex.begin(), handleIndex.end(), std::make_pair(h, std::uint32_t(0)),
                               [](const auto& a, const auto& b) { return a.first < b.first; });
    if (it == handleIndex.end() || it->first != h) return std::nullopt;
    if (records[it->second].flags & kDeleted) return std::nullopt;
    return it->second;
}

// ---- header ----

std::optional<std::string> DrawingData::headerValue(const std::string& var) const {
    for (std::size_t i = 0; i + 1 < headerTags.size(); ++i)
        if (headerTags[i].code == 9 && trimAscii(headerTags[i].value) == var)
            return tagText(headerTags[i + 1], fmt);
    return std::nullopt;
}

void DrawingData::setHeaderValue(const std::string& var, int code, const std::string& raw) {
    if (headerRecord == kNone) return;
    for (std::size_t i = 0; i + 1 < headerTags.size(); ++i)
        if (headerTags[i].code == 9 && trimAscii(headerTags[i].value) == var) {
            headerTags[i + 1].value = raw;
            setPatch(headerRecord, headerTags);
            return;
        }
    headerTags.push_back(makeTag(9, var, fmt));
    headerTags.push_back(makeTag(code, raw, fmt));
    setPatch(headerRecord, headerTags);
}

std::uint64_t DrawingData::nextHandle() {
    std::uint64_t seed = parseHandle(headerValue("$HANDSEED").value_or(""));
    std::uint64_t maxUsed = 0;
    for (const Record& r : records) maxUsed = std::max(maxUsed, r.handle);
    // A seed below a used handle would hand out a duplicate.
    if (seed <= maxUsed) seed = maxUsed + 1;
    setHeaderValue("$HANDSEED", 5, formatHandle(seed + 1));
    return seed;
}

}  // namespace dxf
