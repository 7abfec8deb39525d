// Reading for viewers: an object's groups without copies, header variables,
// table records and the decoding of stored strings.
#include "engine/DrawingData.h"

namespace dxf {

std::string_view Entity::asciiTags() const {
    const DrawingData& d = d_->data();
    const Record& rec = d.records[rec_];
    const bool swapped = rec.slot != kNone && rec.layerOff != kNone &&
                         ((rec.flags & kLayerChanged) || d.slots[rec.slot].renamed);
    // A record with bytes of its own, as read. Edited, binary and byte-less
    // records (objects decoded from another format) go through their tags.
    if (d.fmt.binary || swapped || rec.patch != kNone) return {};
    return d.base(rec_);
}

void Entity::readGroups(GroupVisitor& visitor) const {
    const DrawingData& d = d_->data();
    // Tags read in place where they can be.
    if (const std::string_view bytes = asciiTags(); !bytes.empty()) {
        const bool ok = forEachAsciiTag(bytes, [&](int code, std::size_t vb, std::size_t ve) {
            visitor.lastingGroup(code, bytes.substr(vb, ve - vb));
        });
        if (ok) return;
    }
    for (const Tag& t : d.tags(rec_)) {
        if (d.fmt.binary && valueKind(t.code) != ValueKind::String) visitor.group(t.code, tagText(t, d.fmt));
        else visitor.group(t.code, t.value);
    }
}

std::optional<std::string> Drawing::headerVariable(const std::string& name) const {
    if (!d_->headerParsed) d_->parseHeader();
    return d_->headerValue(name);
}

std::vector<Entity> Drawing::tableRecords(const std::string& type) const {
    std::vector<Entity> out;
    auto* self = const_cast<Drawing*>(this);
    for (std::uint32_t r = 0; r < d_->records.size(); ++r) {
        const Record& rec = d_->records[r];
        if (rec.section == Section::Tables && !(rec.flags & kDeleted) && d_->typeOf(r) == type) out.emplace_back(self, r);
    }
    return out;
}

std::string Drawing::decodeText(std::string_view stored) const { return d_->codec->decode(stored); }

}  // namespace dxf
