#include "engine/dwg/ObjectCodec.h"

#include <algorithm>

#include "engine/dwg/Checksum.h"

namespace dxf::dwg {

namespace {

// Bits before the bitsize field of R2000-R2007 objects: the type's BS.
unsigned typeBits(const BitWriter& data) {
    const std::uint8_t first = data.bytes().empty() ? 0 : data.bytes()[0];
    switch (first >> 6) {
    case 0: return 2 + 16;
    case 1: return 2 + 8;
    default: return 2;
    }
}

std::string frame(Release r, const BitWriter& stream, std::uint64_t handleStart) {
    std::string out;
    const std::uint32_t size = static_cast<std::uint32_t>(stream.bytes().size());
    appendMS(out, size);
    if (r >= Release::R2010) appendMC(out, static_cast<std::uint64_t>(size) * 8 - handleStart);
    out.append(reinterpret_cast<const char*>(stream.bytes().data()), size);
    const std::uint16_t crc = crc16(kCrc16Seed, reinterpret_cast<const std::uint8_t*>(out.data()), out.size());
    appendLE(out, crc, 2);
    return out;
}

}  // namespace

ObjectParts split(const Document& d, const ObjectInfo& o) {
    if (o.flags & kUnread) throw BitOverrun("an object that could not be read cannot be re-encoded");
    const std::uint8_t* p = d.objectStart(o) + o.headerBytes;
    const std::uint64_t bits = static_cast<std::uint64_t>(o.size) * 8;
    const std::uint64_t e = o.handleBits;
    ObjectParts parts;
    std::uint64_t dataEnd = e;
    if (d.release() >= Release::R2007) {
        if (e < 1) throw BitOverrun("object without a string stream flag");
        parts.stringFlag = BitReader(p, e - 1, e).B();
        dataEnd = e - 1;
        if (parts.stringFlag) {
            if (e < 17) throw BitOverrun("string stream size outside the object");
            std::uint64_t l = BitReader(p, e - 17, e - 1).RS();
            std::uint64_t sizeAt = e - 17;
            if (l & 0x8000) {
                if (e < 33) throw BitOverrun("string stream size outside the object");
                l = (l & 0x7FFF) | (static_cast<std::uint64_t>(BitReader(p, e - 33, e - 17).RS()) << 15);
                sizeAt = e - 33;
                parts.longLength = true;
            }
            if (l > sizeAt) throw BitOverrun("string stream outside the object");
            parts.strings.copy(p, sizeAt - l, sizeAt);
            dataEnd = sizeAt - l;
        }
    }
    parts.data.copy(p, 0, dataEnd);
    parts.handles.copy(p, e, bits);
    return parts;
}

std::string assemble(Release r, const ObjectParts& parts) {
    BitWriter s;
    s.copy(parts.data);
    if (r >= Release::R2007) {
        if (parts.stringFlag) {
            s.copy(parts.strings);
            const std::uint64_t l = parts.strings.size();
            if (parts.longLength || l >= 0x8000) {
                s.RS(static_cast<std::uint16_t>(l >> 15));
                s.RS(static_cast<std::uint16_t>((l & 0x7FFF) | 0x8000));
            } else {
                s.RS(static_cast<std::uint16_t>(l));
            }
        }
        s.B(parts.stringFlag);
    }
    const std::uint64_t handleStart = s.size();
    s.copy(parts.handles);
    s.padToByte();
    if (r >= Release::R2000 && r <= Release::R2007) {
        // The bitsize: where the handle stream starts.
        const unsigned at = typeBits(parts.data);
        const std::uint32_t v = static_cast<std::uint32_t>(handleStart);
        for (int i = 0; i < 4; ++i) s.overwrite(at + 8 * i, (v >> (8 * i)) & 0xFF, 8);
    }
    return frame(r, s, handleStart);
}

std::string rawObject(const Document& d, const ObjectInfo& o) {
    const std::uint8_t* p = d.objectStart(o);
    return std::string(reinterpret_cast<const char*>(p), o.headerBytes + o.size + 2u);
}

std::string editHandles(const Document& d, const ObjectInfo& o, std::vector<HandleEdit> edits) {
    if (o.flags & kUnread) throw BitOverrun("an object that could not be read cannot be re-encoded");
    std::sort(edits.begin(), edits.end(), [](const HandleEdit& a, const HandleEdit& b) { return a.bit < b.bit; });
    const std::uint8_t* p = d.objectStart(o) + o.headerBytes;
    const std::uint64_t bits = static_cast<std::uint64_t>(o.size) * 8;
    BitWriter s;
    std::uint64_t cur = 0;
    for (const HandleEdit& e : edits) {
        if (e.bit < o.handleBits || e.bit < cur) throw BitOverrun("handle edit outside the handle stream");
        BitReader at(p, e.bit, bits);
        at.H();
        s.copy(p, cur, e.bit);
        if (!e.drop) s.H(e.code, e.value);
        cur = at.pos();
    }
    s.copy(p, cur, bits);
    return frame(d.release(), s, o.handleBits);
}

std::vector<HandleAt> handlesOf(const Document& d, const ObjectInfo& o, std::uint64_t from) {
    std::vector<HandleAt> out;
    if (o.flags & kUnread) return out;
    const std::uint8_t* p = d.objectStart(o) + o.headerBytes;
    BitReader h(p, from, static_cast<std::uint64_t>(o.size) * 8);
    try {
        while (h.remaining() >= 8) {
            HandleAt a;
            a.bit = h.pos();
            a.ref = h.H();
            out.push_back(a);
        }
    } catch (const BitOverrun&) {
        // What follows is padding or not a handle.
    }
    return out;
}

}  // namespace dxf::dwg
