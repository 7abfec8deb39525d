// Text entities (TEXT, ATTRIB, ATTDEF, MTEXT) and dimensions.
#include "engine/dwg/Groups.h"

namespace dxf::dwg {

// A string as DXF writes it: without the trailing NUL some writers store,
// control characters in caret form (LF as ^J) and a caret as "^ ".
std::string dxfText(std::string s) {
    while (!s.empty() && s.back() == '\0') s.pop_back();
    bool plain = true;
    for (unsigned char c : s)
        if (c < 0x20 || c == '^') plain = false;
    if (plain) return s;
    std::string out;
    for (unsigned char c : s) {
        if (c == '^') out += "^ ";
        else if (c < 0x20) out += '^', out += static_cast<char>(c + 0x40);
        else out += static_cast<char>(c);
    }
    return out;
}

namespace {

constexpr double kDeg = 180.0 / 3.14159265358979323846;

struct TextFields {
    double elevation = 0;
    Vec3 insertion, alignment;
    bool hasAlignment = false;
    Vec3 extrusion{0, 0, 1};
    double thickness = 0, oblique = 0, rotation = 0, height = 0, widthFactor = 1;
    std::string text;
    unsigned generation = 0, halign = 0, valign = 0;
};

TextFields readText(const Document& d, EntityStreams& s) {
    BitReader& b = s.data;
    TextFields t;
    if (d.release() <= Release::R14) {
        t.elevation = b.BD();
        t.insertion = b.RD2();
        t.alignment = b.RD2();
        t.hasAlignment = true;
        t.extrusion = b.BD3();
        t.thickness = b.BD();
        t.oblique = b.BD();
        t.rotation = b.BD();
        t.height = b.BD();
        t.widthFactor = b.BD();
        t.text = dxfText(d.text(b, s.strings));
        t.generation = b.BS(), t.halign = b.BS(), t.valign = b.BS();
    } else {
        unsigned f = b.RC();
        if (!(f & 0x01)) t.elevation = b.RD();
        t.insertion = b.RD2();
        if (!(f & 0x02)) {
            t.alignment.x = b.DD(t.insertion.x);
            t.alignment.y = b.DD(t.insertion.y);
            t.hasAlignment = true;
        }
        t.extrusion = b.BE();
        t.thickness = b.BT();
        if (!(f & 0x04)) t.oblique = b.RD();
        if (!(f & 0x08)) t.rotation = b.RD();
        t.height = b.RD();
        if (!(f & 0x10)) t.widthFactor = b.RD();
        t.text = dxfText(d.text(b, s.strings));
        if (!(f & 0x20)) t.generation = b.BS();
        if (!(f & 0x40)) t.halign = b.BS();
        if (!(f & 0x80)) t.valign = b.BS();
    }
    t.insertion.z = t.alignment.z = t.elevation;
    return t;
}

void writeText(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, const TextFields& t, GroupWriter& w,
               bool attribute) {
    std::uint64_t style = Document::ref(o, s.handles.H());
    w.str(100, "AcDbText");
    if (t.thickness != 0) w.num(39, t.thickness);
    w.point(10, t.insertion);
    w.num(40, t.height);
    w.str(1, t.text);
    if (t.rotation != 0) w.num(50, t.rotation * kDeg);
    if (t.widthFactor != 1) w.num(41, t.widthFactor);
    if (t.oblique != 0) w.num(51, t.oblique * kDeg);
    std::string styleName = ctx.name(style);
    if (!styleName.empty()) w.str(7, styleName);
    if (t.generation) w.integer(71, t.generation);
    if (t.halign) w.integer(72, t.halign);
    if (t.hasAlignment && (t.halign || t.valign)) w.point(11, t.alignment);
    w.extrusion(t.extrusion);
    if (!attribute) {
        w.str(100, "AcDbText");
        if (t.valign) w.integer(73, t.valign);
    }
}

void attribute(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w, bool definition) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    TextFields t = readText(d, s);
    if (d.release() >= Release::R2010) b.RC();  // version
    if (d.release() >= Release::R2018) {
        // 1: a single-line attribute; multi-line ones carry an MTEXT here.
        if (b.RC() != 1) throw BitOverrun("multi-line attribute");
    }
    std::string tag = dxfText(d.text(b, s.strings));
    b.BS();  // field length
    unsigned flags = b.RC();
    bool lockPosition = false;
    if (d.release() >= Release::R2007) lockPosition = b.B();
    std::string prompt;
    if (definition) {
        if (d.release() >= Release::R2010) b.RC();
        prompt = dxfText(d.text(b, s.strings));
    }
    writeText(ctx, o, s, t, w, true);
    if (definition) {
        w.str(100, "AcDbAttributeDefinition");
        w.str(3, prompt);
    } else {
        w.str(100, "AcDbAttribute");
    }
    w.str(2, tag);
    w.integer(70, flags);
    if (t.valign) w.integer(74, t.valign);
    if (lockPosition) w.integer(280, 1);
}

void mtext(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    Vec3 ins = b.BD3(), n = b.BD3(), xdir = b.BD3();
    double width = b.BD();
    double rectHeight = 0;
    if (d.release() >= Release::R2007) rectHeight = b.BD();
    double height = b.BD();
    unsigned attach = b.BS(), dir = b.BS();
    double extH = b.BD(), extW = b.BD();
    std::string text = dxfText(d.text(b, s.strings));
    unsigned lsStyle = 0;
    double lsFactor = 1;
    if (d.release() >= Release::R2000) {
        lsStyle = b.BS();
        lsFactor = b.BD();
        b.B();
    }
    std::uint64_t style = Document::ref(o, s.handles.H());
    w.str(100, "AcDbMText");
    w.point(10, ins);
    w.num(40, height);
    w.num(41, width);
    if (rectHeight != 0) w.num(46, rectHeight);
    w.integer(71, attach);
    w.integer(72, dir);
    w.str(1, text);
    std::string styleName = ctx.name(style);
    if (!styleName.empty()) w.str(7, styleName);
    w.extrusion(n);
    w.point(11, xdir);
    w.num(42, extW);
    w.num(43, extH);
    if (d.release() >= Release::R2000) {
        w.integer(73, lsStyle);
        w.num(44, lsFactor);
    }
}

// Dimensions: the common dimension data, then the style and the anonymous
// block that holds the dimension's drawn geometry.
void dimension(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    using namespace type;
    if (d.release() >= Release::R2010) b.RC();  // version
    Vec3 n = b.BD3();
    Vec3 mid = b.RD2();
    mid.z = b.BD();
    unsigned flags = b.RC();
    std::string user = dxfText(d.text(b, s.strings));
    double textRot = b.BD();
    b.BD();    // horizontal direction
    b.BD3();   // insertion scale
    b.BD();    // insertion rotation
    if (d.release() >= Release::R2000) {
        b.BS(), b.BS();
        b.BD(), b.BD();
    }
    if (d.release() >= Release::R2007) b.B(), b.B(), b.B();
    Vec3 clone = b.RD2();
    std::uint64_t style = Document::ref(o, s.handles.H());
    std::uint64_t block = Document::ref(o, s.handles.H());
    int kind = 0;
    switch (o.type) {
    case DimLinear: kind = 0; break;
    case DimAligned: kind = 1; break;
    case DimAng2Ln: kind = 2; break;
    case DimDiameter: kind = 3; break;
    case DimRadius: kind = 4; break;
    case DimAng3Pt: kind = 5; break;
    case DimOrdinate: kind = 6 | ((flags & 2) ? 64 : 0); break;
    default: break;
    }
    // DWG keeps the text-position flag in bit 0 with the opposite sense of DXF's 128.
    if (!(flags & 1)) kind |= 128;
    w.str(100, "AcDbDimension");
    w.str(2, ctx.name(block));
    w.point(11, mid);
    w.integer(70, kind | 32);
    if (!user.empty()) w.str(1, user);
    if (textRot != 0) w.num(53, textRot * kDeg);
    std::string styleName = ctx.name(style);
    if (!styleName.empty()) w.str(3, styleName);
    w.point(12, clone);
    w.extrusion(n);
    w.str(100, subclassOf(d, o));
}

}  // namespace

bool decodeTextual(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    using namespace type;
    switch (o.type) {
    case Text: {
        TextFields t = readText(ctx.doc, s);
        writeText(ctx, o, s, t, w, false);
        return true;
    }
    case Attrib: attribute(ctx, o, s, w, false); return true;
    case Attdef: attribute(ctx, o, s, w, true); return true;
    case Mtext: mtext(ctx, o, s, w); return true;
    case DimOrdinate:
    case DimLinear:
    case DimAligned:
    case DimAng3Pt:
    case DimAng2Ln:
    case DimRadius:
    case DimDiameter: dimension(ctx, o, s, w); return true;
    default: return false;
    }
}

}  // namespace dxf::dwg
