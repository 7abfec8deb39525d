// Leaders: LEADER (its vertices, arrowhead, path type and annotation).
#include "engine/dwg/Groups.h"

namespace dxf::dwg {

namespace {

bool isZero(const Vec3& v) { return v.x == 0 && v.y == 0 && v.z == 0; }

// The vertices are the stored path; a DXF writer adds the hook line's
// vertex to it when the leader ends in a hook, which a DWG does not store.
void leader(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    b.B();
    const unsigned annotType = b.BS();
    const unsigned pathType = b.BS();
    const std::uint32_t n = b.BL();
    if (n > b.remaining() / 6) throw BitOverrun("leader vertex count beyond the object");
    std::vector<Vec3> points(n);
    for (Vec3& p : points) p = b.BD3();
    b.BD3();  // plane origin
    const Vec3 extrusion = b.BD3();
    const Vec3 xdir = b.BD3();
    const Vec3 blockOffset = b.BD3();
    b.BD3();                                  // end point projected on the plane
    if (d.release() <= Release::R14) b.BD();  // DIMGAP
    // The annotation box: not stored from R2010 on.
    double boxHeight = 0, boxWidth = 0;
    const bool box = d.release() <= Release::R2007;
    if (box) boxHeight = b.BD(), boxWidth = b.BD();
    const bool hookSameDir = b.B();
    const bool arrowhead = b.B();
    const std::uint64_t annotation = Document::ref(o, s.handles.H());
    const std::uint64_t style = Document::ref(o, s.handles.H());

    w.str(100, "AcDbLeader");
    if (style) w.str(3, ctx.name(style));
    w.integer(71, arrowhead ? 1 : 0);
    w.integer(72, pathType);
    w.integer(73, annotType);
    w.integer(74, hookSameDir ? 1 : 0);
    if (box) {
        w.num(40, boxHeight);
        w.num(41, boxWidth);
    }
    w.integer(76, n);
    for (const Vec3& p : points) w.point(10, p);
    if (annotation) w.handle(340, annotation);
    w.extrusion(extrusion);
    if (xdir.x != 1 || xdir.y != 0 || xdir.z != 0) w.point(211, xdir);
    if (!isZero(blockOffset)) w.point(212, blockOffset);
}

}  // namespace

bool decodeLeaders(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    switch (ctx.doc.fixedType(o)) {
    case type::Leader:
        // R13 leaders (no sample to check them against) keep their common groups.
        if (ctx.doc.release() == Release::R13) return false;
        leader(ctx, o, s, w);
        return true;
    default: return false;
    }
}

}  // namespace dxf::dwg
