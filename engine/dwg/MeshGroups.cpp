// Subdivision meshes: MESH (its vertices, faces, edges and creases).
#include "engine/dwg/Groups.h"

namespace dxf::dwg {

namespace {

void mesh(EntityStreams& s, GroupWriter& w) {
    BitReader& b = s.data;
    const unsigned version = b.BS();
    const bool blendCrease = b.B();
    const std::uint32_t level = b.BL();
    std::vector<Vec3> vertices(boundedCount(b.BL(), b, 6));
    for (Vec3& v : vertices) v = b.BD3();
    std::vector<std::uint32_t> faces(boundedCount(b.BL(), b, 2));
    for (std::uint32_t& f : faces) f = b.BL();
    std::vector<std::uint32_t> edges(std::size_t(boundedCount(b.BL(), b, 4)) * 2);
    for (std::uint32_t& e : edges) e = b.BL();
    std::vector<double> creases(boundedCount(b.BL(), b, 2));
    for (double& c : creases) c = b.BD();
    // Faces, edges or vertices with their own properties: listed last, and
    // only their count is read.
    const std::uint32_t overrides = b.BL();

    w.str(100, "AcDbSubDMesh");
    w.integer(71, version);
    w.integer(72, blendCrease ? 1 : 0);
    w.integer(91, level);
    w.integer(92, static_cast<long long>(vertices.size()));
    for (const Vec3& v : vertices) w.point(10, v);
    w.integer(93, static_cast<long long>(faces.size()));
    for (std::uint32_t f : faces) w.integer(90, f);
    w.integer(94, static_cast<long long>(edges.size() / 2));
    for (std::uint32_t e : edges) w.integer(90, e);
    w.integer(95, static_cast<long long>(creases.size()));
    for (double c : creases) w.num(140, c);
    if (overrides == 0) w.integer(90, 0);
}

}  // namespace

bool decodeMeshes(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    if (ctx.doc.dxfName(o) != "MESH") return false;
    mesh(s, w);
    return true;
}

}  // namespace dxf::dwg
