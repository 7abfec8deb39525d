// Writing the R2000 container: sections at the offsets the file header's
// locators give, in the order
//
//   file header, AuxHeader, preview | header variables | classes | objects |
//   object map | [ObjFreeSpace] | second header | template
//
// Objects keep their order; every offset behind the first change moves, so
// the map, the locators, the second header (which repeats them and the
// handle seed) and ObjFreeSpace are written again. Bytes between sections
// are copied as they are.
#include <algorithm>
#include <cstring>

#include "engine/dwg/BitReader.h"
#include "engine/dwg/BitWriter.h"
#include "engine/dwg/Checksum.h"
#include "engine/dwg/Writer.h"

namespace dxf::dwg {

namespace {

const std::uint8_t kSecondStart[16] = {0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                       0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

class Counted {
public:
    explicit Counted(Output& out) : out_(out) {}
    void write(std::string_view s) { write(s.data(), s.size()); }
    void write(const void* p, std::size_t n) {
        out_.write(static_cast<const char*>(p), n);
        pos_ += n;
    }
    void patch(std::uint64_t at, const std::string& s) { out_.patch(at, s.data(), s.size()); }
    std::uint64_t pos() const { return pos_; }

private:
    Output& out_;
    std::uint64_t pos_ = 0;
};

// The second header: a copy of the file header's locators and of the handles
// of the table controls and the handle seed, in a bit stream with its CRC.
struct SecondHeader {
    std::uint64_t at = 0, end = 0;  // the start sentinel; past the end sentinel
    std::uint64_t bodyEnd = 0;      // the CRC's place
    std::uint64_t recordsAt = 0;    // bits: the record count
    struct Record {
        std::uint8_t id;
        std::uint32_t offset, size;
    };
    std::vector<Record> records;
    std::uint64_t handlesAt = 0, handlesEnd = 0;  // bits: the handle records
    struct HandleRecord {
        std::uint8_t index;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<HandleRecord> handles;
};

SecondHeader readSecondHeader(std::string_view file, std::uint64_t from) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    SecondHeader s;
    std::uint64_t at = from;
    for (; at + 16 <= file.size(); ++at)
        if (std::memcmp(b + at, kSecondStart, 16) == 0) break;
    if (at + 16 + 4 > file.size()) throw WriteError("the second file header was not found");
    s.at = at;
    const std::uint32_t size = le32(b + at + 16);
    if (size < 14 || at + 16 + size + 16 > file.size()) throw WriteError("the second file header is damaged");
    s.bodyEnd = at + 16 + size - 10;
    s.end = at + 16 + size + 16;
    if (crc16(kCrc16Seed, b + at + 16, s.bodyEnd - at - 16) != (b[s.bodyEnd] | (b[s.bodyEnd + 1] << 8)))
        throw WriteError("the second file header's CRC does not match");
    BitReader r(b, (at + 20) * 8, s.bodyEnd * 8);
    r.BL();  // its own offset
    r.skipBytes(11);
    r.RC(), r.RC();
    r.BS();
    r.RS();
    s.recordsAt = r.pos();
    const unsigned n = r.BS();
    for (unsigned i = 0; i < n; ++i) {
        SecondHeader::Record rec;
        rec.id = r.RC();
        rec.offset = r.BL();
        rec.size = r.BL();
        s.records.push_back(rec);
    }
    s.handlesAt = r.pos();
    const unsigned h = r.BS();
    for (unsigned i = 0; i < h; ++i) {
        const unsigned count = r.RC();
        SecondHeader::HandleRecord rec;
        rec.index = r.RC();
        for (unsigned k = 0; k < count; ++k) rec.bytes.push_back(r.RC());
        s.handles.push_back(rec);
    }
    s.handlesEnd = r.pos();
    return s;
}

std::string writeSecondHeader(std::string_view file, const SecondHeader& s, std::uint64_t newAt,
                              const std::vector<Locator>& oldLoc, const std::vector<Locator>& newLoc, std::uint64_t seed) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    BitWriter w;
    BitReader own(b, (s.at + 20) * 8, s.bodyEnd * 8);
    own.BL();
    w.BL(static_cast<std::uint32_t>(newAt));
    w.copy(b, own.pos(), s.recordsAt);
    w.BS(static_cast<std::uint16_t>(s.records.size()));
    for (const SecondHeader::Record& r : s.records) {
        std::uint32_t offset = r.offset, size = r.size;
        // Only records that repeat a locator follow it.
        for (std::size_t k = 0; k < oldLoc.size() && k < newLoc.size(); ++k)
            if (oldLoc[k].id == r.id && oldLoc[k].offset == r.offset && oldLoc[k].size == r.size)
                offset = newLoc[k].offset, size = newLoc[k].size;
        w.RC(r.id);
        w.BL(offset);
        w.BL(size);
    }
    w.BS(static_cast<std::uint16_t>(s.handles.size()));
    for (const SecondHeader::HandleRecord& h : s.handles) {
        std::vector<std::uint8_t> bytes = h.bytes;
        if (h.index == 0 && seed) {  // the handle seed, big-endian
            bytes.clear();
            for (std::uint64_t v = seed; v; v >>= 8) bytes.insert(bytes.begin(), static_cast<std::uint8_t>(v & 0xFF));
        }
        w.RC(static_cast<std::uint8_t>(bytes.size()));
        w.RC(h.index);
        for (std::uint8_t x : bytes) w.RC(x);
    }
    if (s.bodyEnd * 8 - s.handlesEnd >= 8) w.copy(b, s.handlesEnd, s.bodyEnd * 8);  // more than padding
    w.padToByte();
    std::string body = w.str();
    std::string out(reinterpret_cast<const char*>(kSecondStart), 16);
    appendLE(out, 4 + body.size() + 10, 4);
    out += body;
    appendLE(out, crc16(kCrc16Seed, reinterpret_cast<const std::uint8_t*>(out.data()) + 16, out.size() - 16), 2);
    out.append(file.data() + s.bodyEnd + 2, s.end - s.bodyEnd - 2);  // 8 bytes, then the end sentinel
    return out;
}

}  // namespace

void writeR2000(const Document& d, const Edits& e, Output& raw) {
    const std::string_view file = d.file();
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    const Container& c = d.container();
    auto loc = [&](std::uint8_t id) -> const Locator* {
        for (const Locator& l : c.locators)
            if (l.id == id) return &l;
        return nullptr;
    };
    const Locator* header = loc(0);
    const Locator* classes = loc(1);
    const Locator* map = loc(2);
    const Locator* freeSpace = loc(3);
    const Locator* tmpl = loc(4);
    const Locator* aux = loc(5);
    if (!header || !classes || !map || !tmpl) throw WriteError("a section locator is missing");
    const std::vector<std::uint32_t> order = physicalOrder(d);
    if (order.empty()) throw WriteError("the drawing has no objects");
    const std::uint64_t objStart = d.objects()[order.front()].offset;
    std::uint64_t objEnd = 0;
    for (const ObjectInfo& o : d.objects()) objEnd = std::max<std::uint64_t>(objEnd, o.offset + o.headerBytes + o.size + 2);
    const bool hasFree = freeSpace && freeSpace->size;
    const std::uint64_t mapEnd = static_cast<std::uint64_t>(map->offset) + map->size;
    const std::uint64_t afterMap = hasFree ? freeSpace->offset + std::uint64_t{freeSpace->size} : mapEnd;
    const SecondHeader second = readSecondHeader(file, afterMap);
    if (!(header->offset + std::uint64_t{header->size} <= classes->offset && classes->offset + classes->size <= objStart &&
          objEnd <= map->offset && (!hasFree || mapEnd <= freeSpace->offset) && afterMap <= second.at &&
          second.end <= tmpl->offset && tmpl->offset + std::uint64_t{tmpl->size} <= file.size()))
        throw WriteError("the sections of this R2000 drawing are not in the usual order");

    Counted out(raw);
    auto copy = [&](std::uint64_t from, std::uint64_t to) {
        if (to > from) out.write(b + from, to - from);
    };
    std::vector<Locator> newLoc = c.locators;
    auto setLoc = [&](std::uint8_t id, std::uint64_t offset, std::uint64_t size) {
        for (Locator& l : newLoc)
            if (l.id == id) l.offset = static_cast<std::uint32_t>(offset), l.size = static_cast<std::uint32_t>(size);
    };

    // File header, AuxHeader and preview: the locators are patched at the end.
    std::string front(file.substr(0, header->offset));
    if (e.handseed && aux && aux->size && aux->offset + std::uint64_t{aux->size} <= header->offset) {
        SectionBytes a{b + aux->offset, aux->size, aux->offset};
        front.replace(aux->offset, aux->size, auxWithSeed(d, a, e.handseed));
    }
    out.write(front);

    const std::uint64_t headerAt = out.pos();
    if (!e.header.empty()) out.write(e.header);
    else copy(header->offset, header->offset + std::uint64_t{header->size});
    setLoc(0, headerAt, out.pos() - headerAt);
    copy(header->offset + std::uint64_t{header->size}, classes->offset);
    setLoc(1, out.pos(), classes->size);
    copy(classes->offset, objStart);  // the classes, then the filler before the first object

    // Objects in their order, gaps between them kept.
    const std::uint64_t newObjStart = out.pos();
    std::vector<std::uint64_t> offsets(d.objects().size(), 0);
    ObjectBytes objects(d, e);
    std::uint64_t prevEnd = objStart;
    for (std::uint32_t i : order) {
        const ObjectInfo& o = d.objects()[i];
        if (o.offset > prevEnd) copy(prevEnd, o.offset);
        prevEnd = std::max<std::uint64_t>(prevEnd, o.offset + o.headerBytes + o.size + 2);
        if (e.isDeleted(i)) continue;
        offsets[i] = out.pos();
        out.write(objects.bytes(i));
    }
    std::vector<std::uint64_t> addedOffsets;
    for (const auto& [handle, bytes] : e.added) {
        addedOffsets.push_back(out.pos());
        out.write(bytes);
    }
    copy(prevEnd, map->offset);

    const std::uint64_t mapAt = out.pos();
    out.write(newObjectMap(d, e, offsets, addedOffsets));
    setLoc(2, mapAt, out.pos() - mapAt);
    if (hasFree) {
        copy(mapEnd, freeSpace->offset);
        std::string free(file.substr(freeSpace->offset, freeSpace->size));
        auto* f = reinterpret_cast<std::uint8_t*>(free.data());
        if (free.size() >= 20) {
            // An approximate object count, and the first object's offset.
            const std::int64_t count = static_cast<std::int64_t>(le32(f + 4)) + static_cast<std::int64_t>(e.added.size()) -
                                       static_cast<std::int64_t>(std::count(e.deleted.begin(), e.deleted.end(), 1));
            putLE(f + 4, static_cast<std::uint64_t>(std::max<std::int64_t>(count, 0)), 4);
            if (le32(f + 16) == objStart) putLE(f + 16, newObjStart, 4);
        }
        setLoc(3, out.pos(), free.size());
        out.write(free);
    }
    copy(afterMap, second.at);
    const std::uint64_t secondAt = out.pos();
    // The template follows the second header, which may repeat its place:
    // settle the two together.
    std::string sh;
    std::uint64_t tmplAt = secondAt + (second.end - second.at) + (tmpl->offset - second.end);
    for (int round = 0; round < 4; ++round) {
        setLoc(4, tmplAt, tmpl->size);
        sh = writeSecondHeader(file, second, secondAt, c.locators, newLoc, e.handseed);
        const std::uint64_t next = secondAt + sh.size() + (tmpl->offset - second.end);
        if (next == tmplAt) break;
        tmplAt = next;
    }
    out.write(sh);
    copy(second.end, file.size());

    // The locators and their CRC.
    std::string locs;
    appendLE(locs, newLoc.size(), 4);
    for (const Locator& l : newLoc) {
        locs += static_cast<char>(l.id);
        appendLE(locs, l.offset, 4);
        appendLE(locs, l.size, 4);
    }
    std::string head(file.substr(0, 0x15));
    head += locs;
    appendLE(locs, crc16(kCrc16Seed, reinterpret_cast<const std::uint8_t*>(head.data()), head.size()), 2);
    out.patch(0x15, locs);
}

}  // namespace dxf::dwg
