// Opening a DWG: container, header variables, classes, object map, and the
// scan of every object's envelope and common data.
#include "engine/dwg/Document.h"

#include <algorithm>
#include <cstring>

#include "engine/dwg/Checksum.h"
#include "engine/dwg/Sections.h"

namespace dxf::dwg {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

// The body of a header or classes section: sentinel, RL size, [RL high size
// in R2010+ files of maintenance > 3], data, CRC-16. Returns the data as a
// reader over its bits.
Framed framed(const Container& c, const SectionBytes& s, const std::uint8_t* sentinel, const char* what) {
    const std::uint64_t at = s.fileOffset;
    if (s.size < 16 + 4 + 2 || std::memcmp(s.data, sentinel, 16) != 0)
        throw FormatError(at, std::string(what) + " section: start sentinel missing");
    std::size_t pos = 16;
    std::uint32_t size = le32(s.data + pos);
    pos += 4;
    if (c.release >= Release::R2010) pos += 4;  // the size's high half
    if (size > s.size - pos || s.size - pos - size < 2)
        throw FormatError(at + 16, std::string(what) + " section: size beyond its end");
    std::uint16_t stored = static_cast<std::uint16_t>(s.data[pos + size] | (s.data[pos + size + 1] << 8));
    if (crc16(kCrc16Seed, s.data + 16, pos - 16 + size) != stored)
        throw FormatError(c.fileOffsetOf(s, pos + size), std::string(what) + " section CRC mismatch");
    return Framed{s.data + pos, size};
}

// R2007+: the string stream of a bit stream whose data ends at bit e (the
// handle stream's start): a flag bit, a 15/30-bit length, then the strings.
BitReader stringStream(const std::uint8_t* p, std::uint64_t e, std::uint64_t dataStart) {
    if (e < 1 || e <= dataStart) return BitReader(p, e, e);
    BitReader flag(p, e - 1, e);
    if (!flag.B() || e < 17) return BitReader(p, e, e);
    BitReader len(p, e - 17, e - 1);
    std::uint64_t l = len.RS();
    std::uint64_t sizeAt = e - 17;
    if ((l & 0x8000) && e >= 33) {
        BitReader hi(p, e - 33, e - 17);
        l = (l & 0x7FFF) | (static_cast<std::uint64_t>(hi.RS()) << 15);
        sizeAt = e - 33;
    }
    if (l > sizeAt || sizeAt - l < dataStart) throw BitOverrun("string stream outside the data");
    return BitReader(p, sizeAt - l, sizeAt);
}

Document::Document(std::string_view file) : file_(file), c_(readContainer(file)) {
    readHeader();
    readClasses();
    // R2007 objects are held decompressed; later releases read pages on demand.
    if (c_.release >= Release::R2004 && c_.release != Release::R2007) {
        const SectionDesc* objects = nullptr;
        for (const SectionDesc& d : c_.sections)
            if (d.name == "AcDb:AcDbObjects") objects = &d;
        if (!objects) throw FormatError(0, "section AcDb:AcDbObjects is missing");
        stream_ = std::make_unique<ObjectStream>(file_, *objects);
    } else {
        stream_ = std::make_unique<ObjectStream>(c_.objects);
    }
    readObjectMap();
    // In the order they lie, so that each page is decompressed once.
    std::vector<std::uint32_t> order(objs_.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return objs_[a].offset < objs_[b].offset; });
    if (c_.release <= Release::R2000) next_.assign(objs_.size(), 0);
    for (std::uint32_t i : order) scanObject(i);
    stream_->checkAllPages();
    stream_->release();
    objs_.shrink_to_fit();
}

// ---- classes ----

void Document::readClasses() {
    Framed f = framed(c_, c_.classes, kClassesStart(), "classes");
    const Release r = c_.release;
    BitReader b(f.data, 0, static_cast<std::uint64_t>(f.size) * 8);
    BitReader strings = b;
    try {
        unsigned maxNumber = 0x7FFF;
        if (r >= Release::R2007) {
            std::uint32_t bits = b.RL();
            if (bits > b.end()) throw FormatError(c_.classes.fileOffset, "classes: size in bits beyond the data");
            strings = stringStream(f.data, bits, b.pos());
            b.setEnd(strings.pos() < bits ? strings.pos() : bits);
        }
        if (r >= Release::R2004) {
            maxNumber = b.BS();
            b.RC(), b.RC(), b.B();
        }
        auto tv = [&] { return r >= Release::R2007 ? strings.TU() : b.TV(); };
        while (b.remaining() >= 8) {
            ClassDef k;
            k.number = b.BS();
            if (k.number > maxNumber) break;
            k.proxyFlags = b.BS();
            k.appName = tv();
            k.cppName = tv();
            k.dxfName = tv();
            k.wasZombie = b.B();
            k.itemId = b.BS();
            if (r >= Release::R2004) {
                b.BL(), b.BL(), b.BL(), b.BL(), b.BL();
            }
            for (std::string* s : {&k.dxfName, &k.cppName, &k.appName})
                while (!s->empty() && s->back() == '\0') s->pop_back();
            const unsigned number = k.number;
            classes_.push_back(std::move(k));
            if (number == maxNumber) break;
            if (classes_.size() > 0x8000) break;
        }
    } catch (const BitOverrun& e) {
        throw FormatError(c_.classes.fileOffset, std::string("classes: ") + e.what());
    }
}

long Document::find(std::uint64_t handle) const {
    if (!byHandle_.empty()) {
        auto it = byHandle_.find(handle);
        return it == byHandle_.end() ? -1 : static_cast<long>(it->second);
    }
    auto it = std::lower_bound(objs_.begin(), objs_.end(), handle,
                               [](const ObjectInfo& o, std::uint64_t h) { return o.handle < h; });
    return it != objs_.end() && it->handle == handle ? static_cast<long>(it - objs_.begin()) : -1;
}

const ClassDef* Document::classOf(unsigned type) const {
    if (type < 500) return nullptr;
    for (const ClassDef& k : classes_)
        if (k.number == type) return &k;
    return nullptr;
}

// ---- object map ----

void Document::readObjectMap() {
    const SectionBytes& s = c_.handles;
    // Each entry is two modular chars, and each of those ends in the one
    // byte of it below 0x80: counting those bytes sizes the index exactly,
    // without the copies a growing vector makes.
    std::size_t ends = 0;
    for (std::size_t pos = 0; s.size - pos >= 2;) {
        const std::size_t size = (s.data[pos] << 8) | s.data[pos + 1];
        if (size <= 2 || size > s.size - pos) break;
        for (std::size_t i = pos + 2; i < pos + size; ++i) ends += s.data[i] < 0x80;
        pos += size + 2;
    }
    objs_.reserve(ends / 2);
    std::size_t pos = 0;
    const std::uint64_t objectsSize = stream_->size();
    if (objectsSize > 0xFFFFFFFFu) throw Unsupported(0, "object streams of 4 GB and more are not read");
    for (;;) {
        if (s.size - pos < 2) throw FormatError(c_.fileOffsetOf(s, pos), "object map: truncated");
        std::size_t size = (s.data[pos] << 8) | s.data[pos + 1];
        if (size < 2 || size > s.size - pos || s.size - pos - size < 2)
            throw FormatError(c_.fileOffsetOf(s, pos), "object map: chunk size beyond the section");
        std::uint16_t stored = static_cast<std::uint16_t>((s.data[pos + size] << 8) | s.data[pos + size + 1]);
        if (crc16(kCrc16Seed, s.data + pos, size) != stored)
            throw FormatError(c_.fileOffsetOf(s, pos + size), "object map: chunk CRC mismatch");
        if (size == 2) break;
        BitReader b(s.data, (pos + 2) * 8, (pos + size) * 8);
        std::uint64_t h = 0;
        std::int64_t off = 0;
        try {
            while (b.remaining() >= 8) {
                h += b.MC();
                off += b.MCs();
                if (off < 0 || static_cast<std::uint64_t>(off) >= objectsSize)
                    throw FormatError(c_.fileOffsetOf(s, b.pos() / 8), "object map: object offset outside the objects");
                ObjectInfo o;
                o.handle = h;
                o.offset = static_cast<std::uint32_t>(off);
                if (!objs_.empty() && h <= objs_.back().handle) {
                    // Out of order: from here on a map finds them (and handles listed twice).
                    if (byHandle_.empty())
                        for (std::uint32_t i = 0; i < objs_.size(); ++i) byHandle_.emplace(objs_[i].handle, i);
                }
                if (!byHandle_.empty() && !byHandle_.emplace(h, static_cast<std::uint32_t>(objs_.size())).second)
                    throw FormatError(c_.fileOffsetOf(s, b.pos() / 8), "object map: handle listed twice");
                objs_.push_back(o);
            }
        } catch (const BitOverrun& e) {
            throw FormatError(c_.fileOffsetOf(s, pos), std::string("object map: ") + e.what());
        }
        pos += size + 2;
    }
}

}  // namespace dxf::dwg
