// The objects and plot settings of one layout. A LAYOUT object names its
// layout (group 1 of AcDbLayout) and points at the block record of its paper
// space (group 330 of AcDbLayout); the BLOCK owned by that record holds the
// layout's objects, except for the active layout "*Paper_Space", whose
// objects stand in the ENTITIES section marked with group 67.
#include "engine/Drawing.h"
#include "engine/DrawingData.h"

namespace dxf {

namespace {

struct LayoutRef {
    std::uint32_t record = kNone;
    std::uint64_t blockRecord = 0;
};

LayoutRef findLayout(const DrawingData& d, const std::string& name) {
    for (std::uint32_t r : d.layoutObjects) {
        if (d.records[r].flags & kDeleted) continue;
        std::string layoutName;
        std::uint64_t blockRecord = 0;
        bool inLayout = false;
        for (const Tag& t : d.tags(r)) {
            if (t.code == 100) inLayout = tagText(t, d.fmt) == "AcDbLayout";
            if (!inLayout) continue;
            if (t.code == 1 && layoutName.empty()) layoutName = d.codec->decode(tagText(t, d.fmt));
            if (t.code == 330 && !blockRecord) blockRecord = parseHandle(tagText(t, d.fmt));
        }
        if (!layoutName.empty() && equalsNoCase(layoutName, name)) return {r, blockRecord};
    }
    return {};
}

std::uint64_t ownerOf(const DrawingData& d, std::uint32_t r) {
    for (const Tag& t : d.tags(r))
        if (t.code == 330) return parseHandle(tagText(t, d.fmt));
    return 0;
}

}  // namespace

std::vector<Entity> Drawing::objectsOfLayout(const std::string& layout) const {
    if (equalsNoCase(layout, "Model")) return modelSpace();
    bool known = false;
    for (const std::string& name : layouts()) known = known || equalsNoCase(name, layout);
    if (!known) throw EngineError(err::kKeyNotFound, "no layout named " + layout);

    const LayoutRef ref = findLayout(*d_, layout);
    if (ref.record == kNone) return paperSpace();  // pre-R2000: the one paper space
    std::uint32_t block = kNone;
    for (std::uint32_t i = 0; i < d_->blocks.size() && block == kNone; ++i)
        if (d_->blocks[i].paper && d_->blocks[i].begin != kNone && ownerOf(*d_, d_->blocks[i].begin) == ref.blockRecord)
            block = i;
    if (block == kNone) return {};
    const bool active = equalsNoCase(d_->blocks[block].name, "*Paper_Space");

    std::vector<Entity> out;
    auto* self = const_cast<Drawing*>(this);
    for (std::uint32_t r = 0; r < d_->records.size(); ++r) {
        if (!d_->isTopLevelInLayout(r)) continue;
        const Record& rec = d_->records[r];
        const bool mine = rec.section == Section::Entities ? active && (rec.flags & kPaperSpace) : rec.block == block;
        if (mine) out.emplace_back(self, r);
    }
    return out;
}

std::optional<Entity> Drawing::layoutSettings(const std::string& layout) const {
    const LayoutRef ref = findLayout(*d_, layout);
    if (ref.record == kNone) return std::nullopt;
    return Entity(const_cast<Drawing*>(this), ref.record);
}

}  // namespace dxf
