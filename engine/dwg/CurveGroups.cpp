// Geometry entities: lines, arcs, points, faces, polylines and their
// vertices, splines and hatches.
#include <cmath>

#include "engine/dwg/Groups.h"

namespace dxf::dwg {

namespace {

constexpr double kDeg = 180.0 / 3.14159265358979323846;

// Thickness and extrusion: compact forms from R2000 on, plain before.
double thickness(const Document& d, BitReader& b) { return d.release() >= Release::R2000 ? b.BT() : b.BD(); }
Vec3 extrusion(const Document& d, BitReader& b) { return d.release() >= Release::R2000 ? b.BE() : b.BD3(); }

// A count read from the data, bounded by what the object can hold.
std::uint32_t count(BitReader& b, std::uint32_t bitsPerItem = 1) {
    std::uint32_t n = b.BL();
    if (bitsPerItem == 0) bitsPerItem = 1;
    if (n > b.remaining() / bitsPerItem + 1) throw BitOverrun("count beyond the object");
    return n;
}

void line(const Document& d, BitReader& b, GroupWriter& w) {
    Vec3 p1, p2;
    if (d.release() >= Release::R2000) {
        bool zZero = b.B();
        p1.x = b.RD(), p2.x = b.DD(p1.x), p1.y = b.RD(), p2.y = b.DD(p1.y);
        if (!zZero) p1.z = b.RD(), p2.z = b.DD(p1.z);
    } else {
        p1 = b.BD3(), p2 = b.BD3();
    }
    double th = thickness(d, b);
    Vec3 n = extrusion(d, b);
    w.str(100, "AcDbLine");
    if (th != 0) w.num(39, th);
    w.point(10, p1);
    w.point(11, p2);
    w.extrusion(n);
}

void circleOrArc(const Document& d, bool arc, BitReader& b, GroupWriter& w) {
    Vec3 c = b.BD3();
    double r = b.BD(), th = thickness(d, b);
    Vec3 n = extrusion(d, b);
    w.str(100, "AcDbCircle");
    if (th != 0) w.num(39, th);
    w.point(10, c);
    w.num(40, r);
    w.extrusion(n);
    if (arc) {
        double a0 = b.BD(), a1 = b.BD();
        w.str(100, "AcDbArc");
        w.num(50, a0 * kDeg);
        w.num(51, a1 * kDeg);
    }
}

void point(const Document& d, BitReader& b, GroupWriter& w) {
    Vec3 p = b.BD3();
    double th = thickness(d, b);
    Vec3 n = extrusion(d, b);
    double ang = b.BD();
    w.str(100, "AcDbPoint");
    w.point(10, p);
    if (th != 0) w.num(39, th);
    w.extrusion(n);
    if (ang != 0) w.num(50, ang * kDeg);
}

void ellipse(BitReader& b, GroupWriter& w) {
    Vec3 c = b.BD3(), major = b.BD3(), n = b.BD3();
    double ratio = b.BD(), p0 = b.BD(), p1 = b.BD();
    w.str(100, "AcDbEllipse");
    w.point(10, c);
    w.point(11, major);
    w.point(210, n);
    w.num(40, ratio);
    w.num(41, p0);
    w.num(42, p1);
}

// RAY and XLINE: a point and a unit direction, nothing else.
void rayOrXline(const char* sub, BitReader& b, GroupWriter& w) {
    Vec3 p = b.BD3(), dir = b.BD3();
    w.str(100, sub);
    w.point(10, p);
    w.point(11, dir);
}

void solid(const Document& d, const char* sub, BitReader& b, GroupWriter& w) {
    double th = thickness(d, b), elev = b.BD();
    Vec3 p[4];
    for (Vec3& q : p) q = b.RD2(), q.z = elev;
    Vec3 n = extrusion(d, b);
    w.str(100, sub);
    for (int i = 0; i < 4; ++i) w.point(10 + i, p[i]);
    if (th != 0) w.num(39, th);
    w.extrusion(n);
}

void face3d(const Document& d, BitReader& b, GroupWriter& w) {
    Vec3 p[4];
    bool noFlags = false;
    if (d.release() >= Release::R2000) {
        noFlags = b.B();
        bool zZero = b.B();
        p[0].x = b.RD(), p[0].y = b.RD();
        p[0].z = zZero ? 0 : b.RD();
        for (int i = 1; i < 4; ++i) p[i].x = b.DD(p[i - 1].x), p[i].y = b.DD(p[i - 1].y), p[i].z = b.DD(p[i - 1].z);
    } else {
        for (Vec3& q : p) q = b.BD3();
    }
    unsigned flags = noFlags ? 0 : b.BS();
    w.str(100, "AcDbFace");
    for (int i = 0; i < 4; ++i) w.point(10 + i, p[i]);
    if (flags) w.integer(70, flags);
}

void lwpolyline(const Document& d, BitReader& b, GroupWriter& w) {
    unsigned flags = b.BS();
    double constWidth = 0, elev = 0, th = 0;
    Vec3 n{0, 0, 1};
    if (flags & 4) constWidth = b.BD();
    if (flags & 8) elev = b.BD();
    if (flags & 2) th = b.BD();
    if (flags & 1) n = b.BD3();
    std::uint32_t np = count(b, 2);
    std::uint32_t nb = (flags & 16) ? count(b, 2) : 0;
    std::uint32_t nid = (d.release() >= Release::R2010 && (flags & 1024)) ? count(b, 2) : 0;
    std::uint32_t nw = (flags & 32) ? count(b, 4) : 0;
    std::vector<Vec3> pts(np);
    for (std::uint32_t i = 0; i < np; ++i) {
        if (d.release() >= Release::R2000 && i > 0) {
            pts[i].x = b.DD(pts[i - 1].x);
            pts[i].y = b.DD(pts[i - 1].y);
        } else {
            pts[i] = b.RD2();
        }
    }
    std::vector<double> bulges(nb);
    for (double& x : bulges) x = b.BD();
    for (std::uint32_t i = 0; i < nid; ++i) b.BL();
    std::vector<std::pair<double, double>> widths(nw);
    for (auto& x : widths) x.first = b.BD(), x.second = b.BD();
    w.str(100, "AcDbPolyline");
    w.integer(90, np);
    w.integer(70, ((flags & 512) ? 1 : 0) | ((flags & 256) ? 128 : 0));
    if (flags & 4) w.num(43, constWidth);
    if (elev != 0) w.num(38, elev);
    if (th != 0) w.num(39, th);
    for (std::uint32_t i = 0; i < np; ++i) {
        w.num(10, pts[i].x);
        w.num(20, pts[i].y);
        if (i < nw && (widths[i].first != 0 || widths[i].second != 0)) {
            w.num(40, widths[i].first);
            w.num(41, widths[i].second);
        }
        if (i < nb && bulges[i] != 0) w.num(42, bulges[i]);
    }
    w.extrusion(n);
}

void polyline(const Document& d, const ObjectInfo& o, BitReader& b, GroupWriter& w) {
    using namespace type;
    w.str(100, subclassOf(d, o));
    w.integer(66, 1);
    if (o.type == Polyline2d) {
        unsigned flags = b.BS(), curve = b.BS();
        double sw = b.BD(), ew = b.BD(), th = thickness(d, b), elev = b.BD();
        Vec3 n = extrusion(d, b);
        w.point(10, Vec3{0, 0, elev});
        if (th != 0) w.num(39, th);
        w.integer(70, flags);
        if (sw != 0) w.num(40, sw);
        if (ew != 0) w.num(41, ew);
        if (curve) w.integer(75, curve);
        w.extrusion(n);
    } else if (o.type == Polyline3d) {
        unsigned spline = b.RC(), closed = b.RC();
        unsigned flags = 8 | (closed & 1);
        if (spline & 3) flags |= 4;
        w.point(10, Vec3{});
        w.integer(70, flags);
        if (spline & 3) w.integer(75, (spline & 3) == 1 ? 5 : 6);
    } else if (o.type == PolylinePface) {
        unsigned nv = b.BS(), nf = b.BS();
        w.point(10, Vec3{});
        w.integer(70, 64);
        w.integer(71, nv);
        w.integer(72, nf);
    } else {
        unsigned flags = b.BS(), curve = b.BS(), m = b.BS(), nn = b.BS(), md = b.BS(), nd = b.BS();
        w.point(10, Vec3{});
        w.integer(70, flags | 16);
        w.integer(71, m);
        w.integer(72, nn);
        w.integer(73, md);
        w.integer(74, nd);
        if (curve) w.integer(75, curve);
    }
}

void vertex(const Document& d, const ObjectInfo& o, BitReader& b, GroupWriter& w) {
    using namespace type;
    w.str(100, "AcDbVertex");
    w.str(100, subclassOf(d, o));
    if (o.type == VertexPfaceFace) {
        w.point(10, Vec3{});
        w.integer(70, 128);
        for (int i = 0; i < 4; ++i) {
            std::int16_t v = static_cast<std::int16_t>(b.BS());
            if (v) w.integer(71 + i, v);
        }
        return;
    }
    unsigned flags = b.RC();
    Vec3 p = b.BD3();
    w.point(10, p);
    if (o.type == Vertex2d) {
        double sw = b.BD();
        double ew = sw < 0 ? -sw : b.BD();
        if (sw < 0) sw = -sw;
        double bulge = b.BD();
        if (d.release() >= Release::R2010) b.BL();
        double tangent = b.BD();
        if (sw != 0) w.num(40, sw);
        if (ew != 0) w.num(41, ew);
        if (bulge != 0) w.num(42, bulge);
        w.integer(70, flags);
        if (flags & 2) w.num(50, tangent * kDeg);
        return;
    }
    if (o.type == Vertex3d) flags |= 32;
    if (o.type == VertexMesh) flags |= 64;
    if (o.type == VertexPface) flags |= 128 | 64;
    w.integer(70, flags);
}

void spline(const Document& d, BitReader& b, GroupWriter& w) {
    unsigned scenario = b.BL();
    unsigned splineFlags = 0, knotParam = 0;
    if (d.release() >= Release::R2013) {
        splineFlags = b.BL();
        knotParam = b.BL();
    }
    unsigned degree = b.BL();
    std::vector<double> knots;
    std::vector<Vec3> ctrl, fit;
    std::vector<double> weights;
    bool closed = false, periodic = false, rational = false;
    if (scenario == 2) {
        b.BD();
        b.BD3(), b.BD3();
        std::uint32_t nf = count(b, 6);
        for (std::uint32_t i = 0; i < nf; ++i) fit.push_back(b.BD3());
    } else {
        rational = b.B(), closed = b.B(), periodic = b.B();
        b.BD(), b.BD();
        std::uint32_t nk = count(b, 2), nc = count(b, 6);
        bool weighted = b.B();
        for (std::uint32_t i = 0; i < nk; ++i) knots.push_back(b.BD());
        for (std::uint32_t i = 0; i < nc; ++i) {
            ctrl.push_back(b.BD3());
            if (weighted) weights.push_back(b.BD());
        }
    }
    (void)splineFlags, (void)knotParam;
    w.str(100, "AcDbSpline");
    w.integer(70, (closed ? 1 : 0) | (periodic ? 2 : 0) | (rational ? 4 : 0) | 8);
    w.integer(71, degree);
    w.integer(72, static_cast<long long>(knots.size()));
    w.integer(73, static_cast<long long>(ctrl.size()));
    w.integer(74, static_cast<long long>(fit.size()));
    for (double k : knots) w.num(40, k);
    for (double x : weights) w.num(41, x);
    for (const Vec3& p : ctrl) w.point(10, p);
    for (const Vec3& p : fit) w.point(11, p);
}

// Viewport: its place on the sheet and the view it shows.
void viewport(const Document& d, BitReader& b, GroupWriter& w) {
    Vec3 c = b.BD3();
    double width = b.BD(), height = b.BD();
    w.str(100, "AcDbViewport");
    w.point(10, c);
    w.num(40, width);
    w.num(41, height);
    if (d.release() < Release::R2000) return;
    Vec3 target = b.BD3(), direction = b.BD3();
    double twist = b.BD(), viewHeight = b.BD();
    b.BD(), b.BD(), b.BD(), b.BD();  // lens, front and back clip, snap angle
    Vec3 center = b.RD2();
    b.RD2(), b.RD2(), b.RD2();  // snap base and spacing, grid spacing
    b.BS();                     // circle zoom
    if (d.release() >= Release::R2007) b.BS();
    b.BL();  // frozen layers (handles)
    std::uint32_t status = b.BL();
    w.point(12, center, false);
    w.point(17, target);
    w.point(16, direction);
    w.num(45, viewHeight);
    w.num(51, twist * kDeg);
    w.integer(90, status);
}

// Hatch style, pattern type, and for a pattern fill its angle, scale and
// definition lines (each an angle, base point, offset and dashes); then the
// pixel size of derived boundaries and the seed points.
void hatchPattern(BitReader& b, bool solidFill, bool derived, GroupWriter& w) {
    w.integer(75, b.BS());
    w.integer(76, b.BS());
    if (!solidFill) {
        w.num(52, b.BD() * kDeg);
        w.num(41, b.BD());
        w.integer(77, b.B());
        std::uint32_t lines = count(b, 16);
        w.integer(78, lines);
        for (std::uint32_t i = 0; i < lines; ++i) {
            w.num(53, b.BD() * kDeg);
            Vec3 base{b.BD(), b.BD(), 0}, offset{b.BD(), b.BD(), 0};
            w.num(43, base.x), w.num(44, base.y);
            w.num(45, offset.x), w.num(46, offset.y);
            std::uint32_t dashes = count(b, 8);
            w.integer(79, dashes);
            for (std::uint32_t k = 0; k < dashes; ++k) w.num(49, b.BD());
        }
    }
    if (derived) w.num(47, b.BD());
    std::uint32_t seeds = count(b, 16);
    w.integer(98, seeds);
    for (std::uint32_t i = 0; i < seeds; ++i) w.point(10, b.RD2(), false);
}

// Hatch: the pattern name, the fill flags and each boundary path's points
// (edges flattened to their end points, arcs to their extremes), which is
// what extents and a simple view need.
void hatch(const Document& d, EntityStreams& s, GroupWriter& w) {
    BitReader& b = s.data;
    GroupWriter gradient;  // written last, where DXF keeps it
    if (d.release() >= Release::R2004) {
        unsigned isGradient = b.BL(), reserved = b.BL();
        double angle = b.BD(), shift = b.BD();
        unsigned single = b.BL();
        double tint = b.BD();
        std::uint32_t nc = count(b, 8);
        std::vector<std::pair<double, std::uint32_t>> colours;
        for (std::uint32_t i = 0; i < nc; ++i) {
            double value = b.BD();
            b.BS();
            std::uint32_t rgb = b.BL();
            b.RC();
            colours.emplace_back(value, rgb);
        }
        std::string name = d.text(b, s.strings);
        while (!name.empty() && name.back() == '\0') name.pop_back();
        if (isGradient) {
            gradient.integer(450, isGradient);
            gradient.integer(451, reserved);
            gradient.num(460, angle);
            gradient.num(461, shift);
            gradient.integer(452, single);
            gradient.num(462, tint);
            gradient.integer(453, nc);
            for (auto& [value, rgb] : colours) {
                gradient.num(463, value);
                gradient.integer(421, rgb & 0xFFFFFF);
            }
            gradient.str(470, name);
        }
    }
    double elev = b.BD();
    Vec3 n = b.BD3();
    std::string pattern = d.text(b, s.strings);
    while (!pattern.empty() && pattern.back() == '\0') pattern.pop_back();
    bool solidFill = b.B(), assoc = b.B();
    std::uint32_t paths = count(b, 8);
    w.str(100, "AcDbHatch");
    w.point(10, Vec3{0, 0, elev});
    w.point(210, n);
    w.str(2, pattern);
    w.integer(70, solidFill ? 1 : 0);
    w.integer(71, assoc ? 1 : 0);
    w.integer(91, paths);
    bool derived = false;
    for (std::uint32_t p = 0; p < paths; ++p) {
        unsigned flag = b.BL();
        derived = derived || (flag & 4);
        w.integer(92, flag);
        if (!(flag & 2)) {
            std::uint32_t segs = count(b, 8);
            w.integer(93, segs);
            for (std::uint32_t k = 0; k < segs; ++k) {
                unsigned t = b.RC();
                w.integer(72, t);
                if (t == 1) {
                    w.point(10, b.RD2(), false);
                    w.point(11, b.RD2(), false);
                } else if (t == 2) {
                    Vec3 c = b.RD2();
                    double r = b.BD(), a0 = b.BD(), a1 = b.BD();
                    bool ccw = b.B();
                    w.point(10, c, false);
                    w.num(40, r);
                    w.num(50, a0 * kDeg);
                    w.num(51, a1 * kDeg);
                    w.integer(73, ccw);
                } else if (t == 3) {
                    Vec3 c = b.RD2(), m = b.RD2();
                    double ratio = b.BD(), a0 = b.BD(), a1 = b.BD();
                    bool ccw = b.B();
                    w.point(10, c, false);
                    w.point(11, m, false);
                    w.num(40, ratio);
                    w.num(50, a0 * kDeg);
                    w.num(51, a1 * kDeg);
                    w.integer(73, ccw);
                } else if (t == 4) {
                    unsigned deg = b.BL();
                    bool rational = b.B(), periodic = b.B();
                    std::uint32_t nk = count(b, 2), nc = count(b, 16);
                    w.integer(94, deg);
                    w.integer(73, rational);
                    w.integer(74, periodic);
                    w.integer(95, nk);
                    w.integer(96, nc);
                    for (std::uint32_t i = 0; i < nk; ++i) w.num(40, b.BD());
                    for (std::uint32_t i = 0; i < nc; ++i) {
                        w.point(10, b.RD2(), false);
                        if (rational) w.num(42, b.BD());
                    }
                    if (d.release() >= Release::R2010) {
                        std::uint32_t nf = count(b, 16);
                        for (std::uint32_t i = 0; i < nf; ++i) w.point(11, b.RD2(), false);
                        if (nf) b.RD2(), b.RD2();
                    }
                } else {
                    throw BitOverrun("unknown hatch edge type");
                }
            }
        } else {
            bool bulges = b.B(), closed = b.B();
            std::uint32_t nv = count(b, 16);
            w.integer(72, bulges);
            w.integer(73, closed);
            w.integer(93, nv);
            for (std::uint32_t i = 0; i < nv; ++i) {
                w.point(10, b.RD2(), false);
                if (bulges) {
                    double bu = b.BD();
                    if (bu != 0) w.num(42, bu);
                }
            }
        }
        std::uint32_t refs = b.BL();  // boundary objects, in the handle stream
        if (refs > s.handles.remaining() / 8) throw BitOverrun("boundary object count beyond the object");
        w.integer(97, refs);
    }
    // The pattern after the boundary: kept apart so that a pattern the reader
    // cannot follow still leaves the boundary to the view.
    GroupWriter tail;
    try {
        hatchPattern(b, solidFill, derived, tail);
    } catch (const BitOverrun&) {
        return;
    }
    for (Tag& t : tail.tags) w.tags.push_back(std::move(t));
    for (Tag& t : gradient.tags) w.tags.push_back(std::move(t));
}

}  // namespace

bool decodeCurves(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w) {
    using namespace type;
    const Document& d = ctx.doc;
    BitReader& b = s.data;
    switch (d.fixedType(o)) {
    case Line: line(d, b, w); return true;
    case Circle: circleOrArc(d, false, b, w); return true;
    case Arc: circleOrArc(d, true, b, w); return true;
    case Point: point(d, b, w); return true;
    case Ellipse: ellipse(b, w); return true;
    case Ray: rayOrXline("AcDbRay", b, w); return true;
    case Xline: rayOrXline("AcDbXline", b, w); return true;
    case Solid: solid(d, "AcDbTrace", b, w); return true;
    case Trace: solid(d, "AcDbTrace", b, w); return true;
    case Face3d: face3d(d, b, w); return true;
    case LwPolyline: lwpolyline(d, b, w); return true;
    case Polyline2d:
    case Polyline3d:
    case PolylinePface:
    case PolylineMesh: polyline(d, o, b, w); return true;
    case Vertex2d:
    case Vertex3d:
    case VertexMesh:
    case VertexPface:
    case VertexPfaceFace: vertex(d, o, b, w); return true;
    case Spline: spline(d, b, w); return true;
    case Hatch: hatch(d, s, w); return true;
    case Viewport: viewport(d, b, w); return true;
    case Seqend: w.str(100, "AcDbSequenceEnd"); return true;
    case Endblk: w.str(100, "AcDbBlockEnd"); return true;
    default: return false;
    }
}

}  // namespace dxf::dwg
