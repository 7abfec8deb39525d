#include "engine/dwg/TableCodec.h"

#include <unordered_map>

#include "engine/dwg/Checksum.h"
#include "engine/dwg/ObjectCodec.h"
#include "engine/dwg/Sections.h"
#include "engine/dwg/Tables.h"

namespace dxf::dwg {

namespace {

// Where each field of a LAYER object lies: data positions are bits of the
// object's stream, string positions bits of its string stream, handle
// positions bits of its handle stream (all as split() cuts them).
struct LayerLayout {
    ObjectParts parts;
    std::uint64_t nameBegin = 0, nameEnd = 0;  // data (before R2007)
    bool nameNul = false;
    std::uint64_t flagsBegin = 0, flagsEnd = 0, colorEnd = 0;  // colorEnd: after CMC and its names
    unsigned flags = 0;
    std::int16_t colorBs = 0;
    std::uint32_t rgb = 0;
    std::uint8_t colorFlags = 0;
    std::uint64_t sNameEnd = 0, sColorEnd = 0;  // string stream (R2007+)
    std::uint64_t hCommonEnd = 0, hXref = 0, hPlot = 0, hMaterial = 0, hLtype = 0, hRest = 0, hEnd = 0;
    std::uint64_t plotStyle = 0, linetype = 0, material = 0;
    std::vector<HandleRef> rest;  // handles after the linetype
    std::string name;             // raw, without the NUL
};

std::string tvRaw(BitReader& b, bool& nul) {
    std::string s = b.TV();
    nul = !s.empty() && s.back() == '\0';
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

std::string tuRaw(BitReader& b, bool& nul) {
    const unsigned n = b.BS();
    std::vector<std::uint16_t> u(n);
    for (unsigned i = 0; i < n; ++i) u[i] = b.RS();
    nul = !u.empty() && u.back() == 0;
    std::size_t len = n;
    while (len && u[len - 1] == 0) --len;
    return utf16ToUtf8(u.data(), len);
}

LayerLayout parseLayer(const Document& d, const ObjectInfo& o) {
    if (o.type != type::Layer || d.release() < Release::R2000) throw BitOverrun("not a layer of R2000 or later");
    LayerLayout l;
    l.parts = split(d, o);
    const Release r = d.release();
    const bool unicode = r >= Release::R2007;
    BitReader data(l.parts.data.bytes().data(), o.dataBits, l.parts.data.size());
    BitReader str(l.parts.strings.bytes().data(), 0, l.parts.strings.size());
    l.nameBegin = data.pos();
    l.name = unicode ? tuRaw(str, l.nameNul) : tvRaw(data, l.nameNul);
    l.nameEnd = data.pos();
    l.sNameEnd = str.pos();
    data.B();  // referenced
    if (!unicode) data.BS();  // xref index + 1
    data.B();  // xref-dependent
    l.flagsBegin = data.pos();
    l.flags = data.BS();
    l.flagsEnd = data.pos();
    l.colorBs = static_cast<std::int16_t>(data.BS());
    if (r >= Release::R2004) {
        l.rgb = data.BL();
        l.colorFlags = data.RC();
        bool nul;
        if (l.colorFlags & 1) unicode ? tuRaw(str, nul) : tvRaw(data, nul);
        if (l.colorFlags & 2) unicode ? tuRaw(str, nul) : tvRaw(data, nul);
    }
    l.colorEnd = data.pos();
    l.sColorEnd = str.pos();

    BitReader h(l.parts.handles.bytes().data(), o.handlesAfterCommon - o.handleBits, l.parts.handles.size());
    l.hCommonEnd = h.pos();
    l.hXref = h.pos();
    h.H();
    l.hPlot = h.pos();
    if (r >= Release::R2000) l.plotStyle = h.H().resolve(o.handle);
    l.hMaterial = h.pos();
    if (unicode) l.material = h.H().resolve(o.handle);
    l.hLtype = h.pos();
    l.linetype = h.H().resolve(o.handle);
    l.hRest = l.hEnd = h.pos();
    try {
        while (h.remaining() >= 8) {
            l.rest.push_back(h.H());
            l.hEnd = h.pos();
        }
    } catch (const BitOverrun&) {
        // padding
    }
    return l;
}

int colorOf(const LayerLayout& l, Release r) {
    if (r >= Release::R2004) {
        if ((l.rgb >> 24) == 0xC3) return static_cast<int>(l.rgb & 0xFF);
        if ((l.rgb >> 24) == 0xC2) return nearestAci(l.rgb & 0xFFFFFF);
    }
    const int c = l.colorBs < 0 ? -l.colorBs : l.colorBs;
    return c >= 1 && c <= 255 ? c : 7;
}

void text(BitWriter& w, const std::string& raw, bool nul, bool unicode) {
    if (unicode) {
        std::vector<std::uint16_t> u = utf8ToUtf16(raw);
        if (nul) u.push_back(0);
        w.TU(u);
    } else {
        w.TV(nul ? raw + std::string(1, '\0') : raw);
    }
}

// The start of a new non-entity object: type, [bitsize], handle, no
// extended data, no reactors, no extension dictionary.
void newObjectPrefix(BitWriter& w, Release r, unsigned objectType, std::uint64_t handle) {
    if (r >= Release::R2010) {
        if (objectType < 256) {
            w.BB(0);
            w.RC(static_cast<std::uint8_t>(objectType));
        } else {
            w.BB(2);
            w.RS(static_cast<std::uint16_t>(objectType));
        }
    } else {
        w.BS(static_cast<std::uint16_t>(objectType));
        w.RL(0);  // bitsize: assemble() fills it in
    }
    w.H(0, handle);
    w.BS(0);  // extended data
    w.BL(0);  // reactors
    if (r >= Release::R2004) w.B(true);   // no extension dictionary
    if (r >= Release::R2013) w.B(false);  // no binary data
}

}  // namespace

int lineweightIndex(int value) {
    if (value == -1) return 29;
    if (value == -2) return 30;
    if (value == -3) return 31;
    for (int i = 0; i < 24; ++i)
        if (lineweightOf(static_cast<unsigned>(i)) == value) return i;
    return -1;
}

LayerValues layerValues(const Document& d, const ObjectInfo& o) {
    const LayerLayout l = parseLayer(d, o);
    LayerValues v;
    v.name = l.name;
    v.flags = l.flags;
    if (l.colorBs < 0) v.flags |= 2;
    v.colorIndex = colorOf(l, d.release());
    if (d.release() >= Release::R2004 && (l.rgb >> 24) == 0xC2) v.trueColor = l.rgb & 0xFFFFFF;
    v.linetype = l.linetype;
    v.plotStyle = l.plotStyle;
    return v;
}

std::string encodeLayer(const Document& d, const ObjectInfo& o, const LayerValues& v, std::uint64_t newHandle,
                        std::uint64_t owner) {
    const LayerLayout l = parseLayer(d, o);
    const LayerValues old = layerValues(d, o);
    const Release r = d.release();
    const bool unicode = r >= Release::R2007;
    const bool fresh = newHandle != 0;
    const std::uint8_t* src = l.parts.data.bytes().data();
    const std::uint8_t* srcStr = l.parts.strings.bytes().data();
    const std::uint8_t* srcH = l.parts.handles.bytes().data();

    ObjectParts out;
    out.stringFlag = fresh ? unicode : l.parts.stringFlag;
    out.longLength = l.parts.longLength;
    BitWriter& w = out.data;
    if (fresh) newObjectPrefix(w, r, type::Layer, newHandle);
    else w.copy(src, 0, o.dataBits);

    const bool nameChanged = fresh || v.name != old.name;
    if (!unicode) {
        if (nameChanged) text(w, v.name, l.nameNul, false);
        else w.copy(src, l.nameBegin, l.nameEnd);
    }
    w.copy(src, l.nameEnd, l.flagsBegin);  // referenced, xref index, xref-dependent
    // A drawing that keeps "off" in the colour's sign keeps it there.
    const unsigned flags = l.colorBs < 0 ? ((v.flags & ~2u) | (l.flags & 2u)) : v.flags;
    if (fresh || flags != l.flags) w.BS(static_cast<std::uint16_t>(flags));
    else w.copy(src, l.flagsBegin, l.flagsEnd);

    const bool off = v.flags & 2;
    const bool colorChanged = fresh || v.colorIndex != old.colorIndex || v.trueColor != old.trueColor ||
                              (l.colorBs < 0) != (off && l.colorBs < 0);
    if (!colorChanged) {
        w.copy(src, l.flagsEnd, l.colorEnd);
    } else {
        // The index keeps the sign convention of the original (negative = off).
        std::int16_t bs = static_cast<std::int16_t>(v.colorIndex);
        if (l.colorBs < 0 && off) bs = static_cast<std::int16_t>(-bs);
        if (r >= Release::R2004) {
            w.BS(static_cast<std::uint16_t>(l.colorBs == 0 ? 0 : bs));
            w.BL(v.trueColor >= 0 ? 0xC2000000u | static_cast<std::uint32_t>(v.trueColor)
                                  : 0xC3000000u | static_cast<std::uint32_t>(v.colorIndex));
            w.RC(0);  // no colour or book name
        } else {
            w.BS(static_cast<std::uint16_t>(bs));
        }
    }
    w.copy(src, l.colorEnd, l.parts.data.size());

    if (unicode) {
        BitWriter& s = out.strings;
        if (nameChanged) text(s, v.name, l.nameNul, true);
        else s.copy(srcStr, 0, l.sNameEnd);
        if (!colorChanged) s.copy(srcStr, l.sNameEnd, l.sColorEnd);
        if (!fresh) s.copy(srcStr, l.sColorEnd, l.parts.strings.size());
    }

    BitWriter& h = out.handles;
    if (fresh) {
        h.H(4, owner);
        if (r < Release::R2004) h.H(3, 0);  // no extension dictionary
        h.H(5, 0);                          // xref block
    } else {
        h.copy(srcH, 0, l.hPlot);
    }
    if (r >= Release::R2000) {
        if (fresh || v.plotStyle != old.plotStyle) h.H(5, v.plotStyle);
        else h.copy(srcH, l.hPlot, l.hMaterial);
    }
    if (unicode) {
        if (fresh) h.H(5, l.material);
        else h.copy(srcH, l.hMaterial, l.hLtype);
    }
    if (fresh || v.linetype != old.linetype) h.H(5, v.linetype);
    else h.copy(srcH, l.hLtype, l.hRest);
    if (fresh) {
        for (const HandleRef& x : l.rest) h.H(x.code < 6 ? x.code : 5, x.resolve(o.handle));
    } else {
        h.copy(srcH, l.hRest, l.hEnd);
    }
    return assemble(r, out);
}

std::string encodeControl(const Document& d, const ObjectInfo& control, const std::vector<std::uint64_t>& entries) {
    ObjectParts src = split(d, control);
    const std::uint8_t* sd = src.data.bytes().data();
    const std::uint8_t* sh = src.handles.bytes().data();
    BitReader data(sd, control.dataBits, src.data.size());
    const std::uint32_t count = data.BL();
    ObjectParts out;
    out.stringFlag = src.stringFlag;
    out.longLength = src.longLength;
    out.strings.copy(src.strings);
    out.data.copy(sd, 0, control.dataBits);
    out.data.BL(static_cast<std::uint32_t>(entries.size()));
    out.data.copy(sd, data.pos(), src.data.size());

    BitReader h(sh, control.handlesAfterCommon - control.handleBits, src.handles.size());
    const std::uint64_t commonEnd = h.pos();
    std::unordered_map<std::uint64_t, std::pair<std::uint64_t, std::uint64_t>> kept;  // handle -> bits
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t at = h.pos();
        const std::uint64_t v = h.H().resolve(control.handle);
        kept.emplace(v, std::make_pair(at, h.pos()));
    }
    const std::uint64_t restBegin = h.pos();
    std::uint64_t restEnd = restBegin;
    try {
        while (h.remaining() >= 8) {
            h.H();
            restEnd = h.pos();
        }
    } catch (const BitOverrun&) {
        // padding
    }
    out.handles.copy(sh, 0, commonEnd);
    for (std::uint64_t e : entries) {
        auto it = kept.find(e);
        if (it != kept.end()) out.handles.copy(sh, it->second.first, it->second.second);
        else out.handles.H(2, e);
    }
    out.handles.copy(sh, restBegin, restEnd);
    return assemble(d.release(), out);
}

std::string encodeHeader(const Document& d, std::uint64_t handseed, std::uint64_t clayer) {
    const Container& c = d.container();
    const SectionBytes& s = c.header;
    const Framed f = framed(c, s, kHeaderStart(), "header");
    const std::size_t dataAt = static_cast<std::size_t>(f.data - s.data);
    const std::uint64_t bits = static_cast<std::uint64_t>(f.size) * 8;
    const std::uint64_t hb = d.header().handseedBit, cb = d.header().clayerBit;
    BitReader a(f.data, hb, bits);
    a.H();
    const std::uint64_t hbEnd = a.pos();
    BitReader b(f.data, cb, bits);
    b.H();
    const std::uint64_t cbEnd = b.pos();
    if (cb < hbEnd) throw BitOverrun("header variables out of order");

    BitWriter w;
    w.copy(f.data, 0, hb);
    w.H(0, handseed);
    const std::int64_t delta = static_cast<std::int64_t>(w.size()) - static_cast<std::int64_t>(hbEnd);
    w.copy(f.data, hbEnd, cb);
    w.H(5, clayer);
    w.copy(f.data, cbEnd, bits);
    if (d.release() >= Release::R2007) {
        // The data's first RL says where the handle stream starts.
        BitReader rl(f.data, 0, bits);
        const std::uint32_t handleStart = static_cast<std::uint32_t>(static_cast<std::int64_t>(rl.RL()) + delta);
        for (int i = 0; i < 4; ++i) w.overwrite(8 * i, (handleStart >> (8 * i)) & 0xFF, 8);
    }
    const std::uint32_t newSize = static_cast<std::uint32_t>(w.bytes().size());
    std::string out(reinterpret_cast<const char*>(s.data), 16);
    appendLE(out, newSize, 4);
    out.append(reinterpret_cast<const char*>(s.data) + 20, dataAt - 20);  // R2010+: the size's high half
    out += w.str();
    const std::uint16_t crc = crc16(kCrc16Seed, reinterpret_cast<const std::uint8_t*>(out.data()) + 16, out.size() - 16);
    appendLE(out, crc, 2);
    const std::size_t tail = dataAt + f.size + 2;
    out.append(reinterpret_cast<const char*>(s.data) + tail, s.size - tail);
    return out;
}

}  // namespace dxf::dwg
