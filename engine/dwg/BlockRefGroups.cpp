// Block references: INSERT, MINSERT and ACAD_TABLE (a table is drawn as a
// reference to the anonymous block that holds its lines and texts).
#include "engine/dwg/Groups.h"

namespace dxf::dwg {

namespace {

constexpr double kDeg = 180.0 / 3.14159265358979323846;

// The block reference data INSERT, MINSERT and ACAD_TABLE start with.
struct BlockRef {
    Vec3 position;
    Vec3 scale{1, 1, 1};
    double rotation = 0;
    Vec3 extrusion{0, 0, 1};
    bool attribs = false;
    std::uint32_t owned = 0;  // R2004+: attributes held as handles
};

BlockRef readBlockRef(const Document& d, EntityStreams& s) {
    BitReader& b = s.data;
    BlockRef r;
    r.position = b.BD3();
    if (d.release() >= Release::R2000) {
        switch (b.BB()) {
        case 3: break;
        case 1:
            r.scale.x = 1;
            r.scale.y = b.DD(1), r.scale.z = b.DD(1);
            break;
        case 2: r.scale.x = r.scale.y = r.scale.z = b.RD(); break;
        default:
            r.scale.x = b.RD();
            r.scale.y = b.DD(r.scale.x), r.scale.z = b.DD(r.scale.x);
        }
    } else {
        r.scale = b.BD3();
    }
    r.rotation = b.BD();
    r.extrusion = b.BD3();
    r.attribs = b.B();
    if (d.release() >= Release::R2004 && r.attribs) {
        // The attributes themselves are handles in the handle stream.
        r.owned = b.BL();
        if (r.owned > s.handles.remaining() / 8) throw BitOverrun("attribute count beyond the object");
    }
    return r;
}

// Groups 2, 10, 41-43, 50 and 210 of a block reference.
void writeBlockRef(const BlockRef& r, const std::string& block, GroupWriter& w) {
    w.str(2, block);
    w.point(10, r.position);
    if (r.scale.x != 1) w.num(41, r.scale.x);
    if (r.scale.y != 1) w.num(42, r.scale.y);
    if (r.scale.z != 1) w.num(43, r.scale.z);
    if (r.rotation != 0) w.num(50, r.rotation * kDeg);
}

void insert(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    BlockRef r = readBlockRef(d, s);
    unsigned cols = 1, rows = 1;
    double cs = 0, rs = 0;
    if (o.type == type::Minsert) cols = b.BS(), rows = b.BS(), cs = b.BD(), rs = b.BD();
    std::uint64_t block = Document::ref(o, s.handles.H());
    w.str(100, o.type == type::Minsert ? "AcDbMInsertBlock" : "AcDbBlockReference");
    if (r.attribs) w.integer(66, 1);
    writeBlockRef(r, ctx.name(block), w);
    if (o.type == type::Minsert) {
        w.integer(70, cols);
        w.integer(71, rows);
        w.num(44, cs);
        w.num(45, rs);
    }
    w.extrusion(r.extrusion);
}

// ACAD_TABLE: a block reference to the anonymous block "*T..." that holds
// the table's drawn lines and texts, then the table's own data. Read are the
// block reference, and up to R2007 the leading table fields (value flag,
// horizontal direction, columns, rows) and the table style; the cells and the
// rest stay in the object's bytes. From R2010 on the table data starts with
// a version byte and is laid out differently; only the block reference is read.
void table(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    BlockRef r = readBlockRef(d, s);
    const bool early = d.release() <= Release::R2007;
    unsigned valueFlag = 0;
    Vec3 direction;
    std::uint32_t cols = 0, rows = 0;
    unsigned version = 0;
    if (early) {
        valueFlag = b.BS();
        direction = b.BD3();
        cols = b.BL();
        rows = b.BL();
    } else {
        version = b.RC();
    }
    BitReader& h = s.handles;
    std::uint64_t block = Document::ref(o, h.H());
    std::uint64_t style = 0;
    if (early) {
        if (r.attribs) {
            // R2000: first and last attribute; R2004+: each one. Then the SEQEND.
            const std::uint32_t n = d.release() >= Release::R2004 ? r.owned : 2;
            for (std::uint32_t i = 0; i < n; ++i) h.H();
            h.H();
        }
        style = Document::ref(o, h.H());
    }
    w.str(100, "AcDbBlockReference");
    if (r.attribs) w.integer(66, 1);
    writeBlockRef(r, ctx.name(block), w);
    w.extrusion(r.extrusion);
    w.str(100, "AcDbTable");
    if (!early) w.integer(280, version);
    if (style) w.handle(342, style);
    w.handle(343, block);
    if (early) {
        w.point(11, direction);
        w.integer(90, valueFlag);
        w.integer(91, rows);
        w.integer(92, cols);
    }
}

}  // namespace

bool decodeBlockRefs(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    switch (ctx.doc.fixedType(o)) {
    case type::Insert:
    case type::Minsert: insert(ctx, o, s, w); return true;
    default: break;
    }
    if (ctx.doc.dxfName(o) == "ACAD_TABLE") {
        table(ctx, o, s, w);
        return true;
    }
    return false;
}

}  // namespace dxf::dwg
