// Styles the view draws with: the LTYPE, STYLE and DIMSTYLE table records
// and MLINESTYLE objects, as the groups their DXF records have.
#include <numbers>

#include "engine/dwg/Groups.h"
#include "engine/dwg/Tables.h"

namespace dxf::dwg {

namespace {

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

std::string clean(std::string s) {
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return dxfText(std::move(s));
}

// A colour (CMC): its index (256 by layer, 0 by block) and, for an RGB
// colour, the RGB (else -1).
struct Color {
    int index;
    std::int64_t rgb = -1;
};

Color color(const Document& d, EntityStreams& s) {
    BitReader& b = s.data;
    Color c{b.BS()};
    if (d.release() < Release::R2004) return c;
    const std::uint32_t word = b.BL();
    const std::uint8_t flags = b.RC();
    if (flags & 1) d.text(b, s.strings);
    if (flags & 2) d.text(b, s.strings);
    switch (word >> 24) {
    case 0xC0: c.index = 256; break;
    case 0xC1: c.index = 0; break;
    case 0xC2: c.rgb = word & 0xFFFFFF, c.index = nearestAci(word & 0xFFFFFF); break;
    case 0xC3: c.index = static_cast<int>(word & 0xFF); break;
    default: break;
    }
    return c;
}

// The name and flags (16: xref-dependent) every table record starts with.
void entry(const Document& d, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    TableEntry e = readTableEntry(d, o, s.data, s.strings);
    w.str(2, dxfText(std::move(e.name)));
    w.integer(70, e.xrefDependent ? 16 : 0);
}

// LTYPE: description, alignment, pattern length and each element; shapes
// and texts name their style (340), texts sit in a strings area after the
// elements at the offset their shape number gives.
void ltype(const Document& d, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    BitReader& b = s.data;
    entry(d, o, s, w);
    w.str(3, clean(d.text(b, s.strings)));
    const double length = b.BD();
    w.integer(72, b.RC());
    struct Dash {
        double length, x, y, scale, rotation;
        unsigned shape, flags;
    };
    std::vector<Dash> dashes(boundedCount(b.RC(), b, 2 + 2 + 128 + 2 + 2 + 2));
    bool texts = false;
    for (Dash& e : dashes) {
        e.length = b.BD();
        e.shape = b.BS();
        e.x = b.RD();
        e.y = b.RD();
        e.scale = b.BD();
        e.rotation = b.BD();
        e.flags = b.BS();
        texts = texts || (e.flags & 2);
    }
    // R2007 on: only when an element is a text, twice as long (UTF-16).
    const bool unicode = d.unicode();
    std::string area;
    if (!unicode || texts) {
        area.resize(unicode ? 512 : 256);
        for (char& c : area) c = static_cast<char>(b.RC());
    }
    auto textAt = [&](unsigned offset) {
        std::string out;
        if (unicode) {
            std::vector<std::uint16_t> units;
            for (std::size_t i = offset; i + 1 < area.size(); i += 2) {
                const std::uint16_t u = static_cast<std::uint8_t>(area[i]) | static_cast<std::uint8_t>(area[i + 1]) << 8;
                if (!u) break;
                units.push_back(u);
            }
            return utf16ToUtf8(units.data(), units.size());
        }
        for (std::size_t i = offset; i < area.size() && area[i]; ++i) out += area[i];
        return out;
    };
    s.handles.H();  // xref block
    // One style an element (null for dashes).
    std::vector<std::uint64_t> styles;
    for (std::size_t i = 0; i < dashes.size(); ++i) styles.push_back(Document::ref(o, s.handles.H()));
    w.integer(73, static_cast<long long>(dashes.size()));
    w.num(40, length);
    for (std::size_t i = 0; i < dashes.size(); ++i) {
        const Dash& e = dashes[i];
        w.num(49, e.length);
        w.integer(74, d.release() >= Release::R2013 ? e.flags : e.flags & 7);  // earlier DXF: rotation, text and shape only
        if (!(e.flags & 6)) continue;
        w.integer(75, (e.flags & 2) ? 0 : e.shape);
        w.handle(340, styles[i]);
        w.num(46, e.scale);
        w.num(50, degrees(e.rotation));
        w.num(44, e.x);
        w.num(45, e.y);
        if (e.flags & 2) w.str(9, dxfText(textAt(e.shape)));
    }
}

// STYLE: flags (1 shapes, 4 vertical), fixed height, width factor,
// oblique angle, generation flags, last height, font and big font files.
void style(const Document& d, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    BitReader& b = s.data;
    TableEntry e = readTableEntry(d, o, b, s.strings);
    const bool shapes = b.B();
    const bool vertical = b.B();
    w.str(2, dxfText(std::move(e.name)));
    w.integer(70, (shapes ? 1 : 0) | (vertical ? 4 : 0) | (e.xrefDependent ? 16 : 0));
    w.num(40, b.BD());
    w.num(41, b.BD());
    w.num(50, degrees(b.BD()));
    w.integer(71, b.RC());
    w.num(42, b.BD());
    w.str(3, clean(d.text(b, s.strings)));
    w.str(4, clean(d.text(b, s.strings)));
}

// DIMSTYLE (R2000 on): the dimension variables in the order the header
// holds them too, then the text style and arrow blocks.
void dimstyle(const Document& d, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    BitReader& b = s.data;
    const Release r = d.release();
    TableEntry e = readTableEntry(d, o, b, s.strings);
    GroupWriter v;  // the variables; the name and flags go first
    auto doubles = [&](int code, int n) {
        for (int i = 0; i < n; ++i) v.num(code + i, b.BD());
    };
    auto bits = [&](int code, int n) {
        for (int i = 0; i < n; ++i) v.integer(code + i, b.B());
    };
    auto shorts = [&](int code, int n) {
        for (int i = 0; i < n; ++i) v.integer(code + i, static_cast<std::int16_t>(b.BS()));
    };
    auto colors = [&](int code, int n) {
        for (int i = 0; i < n; ++i) v.integer(code + i, color(d, s).index);
    };
    v.str(3, clean(d.text(b, s.strings)));  // DIMPOST
    v.str(4, clean(d.text(b, s.strings)));  // DIMAPOST
    doubles(40, 9);                         // DIMSCALE DIMASZ DIMEXO DIMDLI DIMEXE DIMRND DIMDLE DIMTP DIMTM
    if (r >= Release::R2007) {
        v.num(49, b.BD());  // DIMFXL
        v.num(50, b.BD());  // DIMJOGANG
        shorts(69, 1);      // DIMTFILL
        color(d, s);        // DIMTFILLCLR (its DXF group is the flags' 70)
    }
    bits(71, 6);    // DIMTOL DIMLIM DIMTIH DIMTOH DIMSE1 DIMSE2
    shorts(77, 3);  // DIMTAD DIMZIN DIMAZIN
    if (r >= Release::R2007) shorts(90, 1);  // DIMARCSYM
    doubles(140, 9);  // DIMTXT DIMCEN DIMTSZ DIMALTF DIMLFAC DIMTVP DIMTFAC DIMGAP DIMALTRND
    bits(170, 1);     // DIMALT
    shorts(171, 1);   // DIMALTD
    bits(172, 4);     // DIMTOFL DIMSAH DIMTIX DIMSOXD
    colors(176, 3);   // DIMCLRD DIMCLRE DIMCLRT
    shorts(179, 1);   // DIMADEC
    shorts(271, 10);  // DIMDEC DIMTDEC DIMALTU DIMALTTD DIMAUNIT DIMFRAC DIMLUNIT DIMDSEP DIMTMOVE DIMJUST
    bits(281, 2);     // DIMSD1 DIMSD2
    shorts(283, 4);   // DIMTOLJ DIMTZIN DIMALTZ DIMALTTZ
    bits(288, 1);     // DIMUPT
    shorts(289, 1);   // DIMATFIT
    if (r >= Release::R2007) bits(290, 1);  // DIMFXLON
    if (r >= Release::R2010) {
        bits(295, 1);                    // DIMTXTDIRECTION
        b.BD(), d.text(b, s.strings);    // DIMALTMZF DIMALTMZS
        b.BD(), d.text(b, s.strings);    // DIMMZF DIMMZS
    }
    shorts(371, 2);  // DIMLWD DIMLWE
    const bool flag = b.B();  // kept as bit 1 of the flags
    s.handles.H();  // xref block
    // DIMTXSTY DIMLDRBLK DIMBLK DIMBLK1 DIMBLK2, R2007 on DIMLTYPE DIMLTEX1 DIMLTEX2
    const int handles = r >= Release::R2007 ? 8 : 5;
    for (int i = 0; i < handles; ++i)
        if (const std::uint64_t h = Document::ref(o, s.handles.H())) v.handle(340 + i, h);
    w.str(2, dxfText(std::move(e.name)));
    w.integer(70, (flag ? 1 : 0) | (e.xrefDependent ? 16 : 0));
    for (Tag& t : v.tags) w.tags.push_back(std::move(t));
}

// MLINESTYLE: name, description, flags, fill colour, cap angles and each
// element's offset, colour and linetype.
void mlinestyle(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    w.str(2, clean(d.text(b, s.strings)));
    const std::string description = clean(d.text(b, s.strings));
    // The DWG swaps three pairs of the DXF bits: miters and fill, and the
    // inner arcs and round caps of each end.
    const unsigned stored = b.BS();
    static const unsigned pairs[][2] = {{1, 2}, {2, 1}, {16, 16}, {32, 64}, {64, 32}, {256, 256}, {512, 1024}, {1024, 512}};
    unsigned flags = 0;
    for (const auto& p : pairs)
        if (stored & p[0]) flags |= p[1];
    w.integer(70, flags);
    w.str(3, description);
    auto writeColor = [&](const Color& c) {
        w.integer(62, c.index);
        if (c.rgb >= 0) w.integer(420, c.rgb);
    };
    writeColor(color(d, s));
    w.num(51, degrees(b.BD()));
    w.num(52, degrees(b.BD()));
    struct Element {
        double offset;
        Color color;
        int linetype;  // before R2018 an index: 32767 by layer, 32766 by block, others not known here
    };
    std::vector<Element> elements(boundedCount(b.RC(), b, 4));
    for (Element& e : elements) {
        e.offset = b.BD();
        e.color = color(d, s);
        e.linetype = d.release() >= Release::R2018 ? 0 : static_cast<std::int16_t>(b.BS());
    }
    w.integer(71, static_cast<long long>(elements.size()));
    for (const Element& e : elements) {
        w.num(49, e.offset);
        writeColor(e.color);
        std::string linetype;
        if (d.release() >= Release::R2018) {
            // By layer and by block in capitals, as DXF writes them.
            linetype = ctx.name(Document::ref(o, s.handles.H()));
            if (linetype == "ByLayer" || linetype == "ByBlock") linetype = linetype == "ByLayer" ? "BYLAYER" : "BYBLOCK";
        } else if (e.linetype == 32767) {
            linetype = "BYLAYER";
        } else if (e.linetype == 32766) {
            linetype = "BYBLOCK";
        }
        if (!linetype.empty()) w.str(6, linetype);
    }
}

}  // namespace

bool decodeStyles(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    if (d.release() < Release::R2000) return false;
    switch (d.fixedType(o)) {
    case type::Ltype: ltype(d, o, s, w); return true;
    case type::Style: style(d, o, s, w); return true;
    case type::Dimstyle: dimstyle(d, o, s, w); return true;
    case type::MlineStyle: mlinestyle(ctx, o, s, w); return true;
    default: return false;
    }
}

}  // namespace dxf::dwg
