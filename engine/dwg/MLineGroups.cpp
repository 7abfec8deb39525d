// Multilines: MLINE (its vertices, their directions and each element's
// parameters, and the style it is drawn in).
#include "engine/dwg/Groups.h"

namespace dxf::dwg {

namespace {

void mline(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    BitReader& b = s.data;
    const double scale = b.BD();
    const unsigned justification = b.RC();
    const Vec3 base = b.BD3();
    const Vec3 extrusion = b.BD3();
    const unsigned flags = b.BS();  // 1 has vertices, 2 closed, 4/8 no start/end caps
    const unsigned elements = b.RC();
    struct Vertex {
        Vec3 at, direction, miter;
        std::vector<std::vector<double>> parameters, fills;  // per element
    };
    // A vertex takes at least its three points and two counts per element.
    std::vector<Vertex> vertices(boundedCount(b.BS(), b, 18 + 4 * std::uint64_t(elements)));
    for (Vertex& v : vertices) {
        v.at = b.BD3();
        v.direction = b.BD3();
        v.miter = b.BD3();
        v.parameters.resize(elements);
        v.fills.resize(elements);
        for (unsigned e = 0; e < elements; ++e) {
            v.parameters[e].resize(boundedCount(b.BS(), b, 2));
            for (double& p : v.parameters[e]) p = b.BD();
            v.fills[e].resize(boundedCount(b.BS(), b, 2));
            for (double& p : v.fills[e]) p = b.BD();
        }
    }
    const std::uint64_t style = Document::ref(o, s.handles.H());

    w.str(100, "AcDbMline");
    if (style) {
        if (const std::string name = ctx.name(style); !name.empty()) w.str(2, name);
        w.handle(340, style);
    }
    w.num(40, scale);
    w.integer(70, justification);
    w.integer(71, flags);
    w.integer(72, static_cast<long long>(vertices.size()));
    w.integer(73, elements);
    w.point(10, base);
    w.point(210, extrusion);
    for (const Vertex& v : vertices) {
        w.point(11, v.at);
        w.point(12, v.direction);
        w.point(13, v.miter);
        for (unsigned e = 0; e < elements; ++e) {
            w.integer(74, static_cast<long long>(v.parameters[e].size()));
            for (double p : v.parameters[e]) w.num(41, p);
            w.integer(75, static_cast<long long>(v.fills[e].size()));
            for (double p : v.fills[e]) w.num(42, p);
        }
    }
}

}  // namespace

bool decodeMlines(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    if (ctx.doc.fixedType(o) != type::Mline) return false;
    mline(ctx, o, s, w);
    return true;
}

}  // namespace dxf::dwg
