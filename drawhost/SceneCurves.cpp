// Curves of the scene builder: polylines with bulges and widths, the old
// polyline with its vertex records (meshes and polyface meshes among them),
// ellipses, splines and leaders.
#include <cmath>

#include "SceneBuild.h"

namespace drawhost {

namespace {

bool inSweep(double t, double t0, double t1) {
    while (t < t0) t += 2 * M_PI;
    return t <= t1;
}

// The outline of a wide segment from a to b (bulged or straight), its width
// going from w0 to w1.
QPolygonF wideSegment(const QPointF& a, const QPointF& b, double bulge, double w0, double w1) {
    QPolygonF centre;
    centre << a;
    if (bulge != 0) bulgePoints(a, b, bulge, centre);
    else centre << b;
    QPolygonF left, right;
    const int n = int(centre.size());
    for (int i = 0; i < n; ++i) {
        const QPointF d = centre[std::min(i + 1, n - 1)] - centre[std::max(i - 1, 0)];
        const double len = std::hypot(d.x(), d.y());
        if (!(len > 0)) continue;
        const QPointF normal(-d.y() / len, d.x() / len);
        const double w = (w0 + (w1 - w0) * i / std::max(1, n - 1)) / 2;
        left << centre[i] + normal * w;
        right.prepend(centre[i] - normal * w);
    }
    return left + right;
}

}  // namespace

QRectF arcBounds(const ArcGeom& a) {
    QRectF r;
    bool any = false;
    extend(r, any, a.at(a.t0));
    extend(r, any, a.at(a.t1));
    // x and y are extreme where their derivative is zero.
    const double tx = std::atan2(a.minor.x(), a.major.x()), ty = std::atan2(a.minor.y(), a.major.y());
    for (double t : {tx, tx + M_PI, ty, ty + M_PI})
        if (inSweep(t, a.t0, a.t1)) extend(r, any, a.at(t));
    return r;
}

void bulgePoints(const QPointF& a, const QPointF& b, double bulge, QPolygonF& out) {
    if (bulge == 0 || !std::isfinite(bulge)) {
        out << b;
        return;
    }
    const QPointF chord = b - a;
    const double c = std::hypot(chord.x(), chord.y());
    if (!(c > 0)) {
        out << b;
        return;
    }
    const QPointF mid = (a + b) / 2;
    const QPointF left(-chord.y() / c, chord.x() / c);
    const double h = c / 2 * (1 - bulge * bulge) / (2 * bulge);
    const QPointF center = mid + left * h;
    const double radius = std::hypot(a.x() - center.x(), a.y() - center.y());
    const double start = std::atan2(a.y() - center.y(), a.x() - center.x());
    const double sweep = 4 * std::atan(bulge);
    const int steps = std::clamp(int(std::ceil(std::abs(sweep) / (5 * M_PI / 180))), 2, 90);
    for (int k = 1; k < steps; ++k) {
        const double t = start + sweep * k / steps;
        out << center + QPointF(std::cos(t), std::sin(t)) * radius;
    }
    out << b;
}

QPolygonF splinePoints(int degree, const std::vector<QPointF>& control, std::vector<double> knots,
                       const std::vector<double>& weights, bool closed) {
    QPolygonF out;
    const int n = int(control.size());
    if (n < 2) return out;
    const int p = std::clamp(degree, 1, n - 1);
    if (int(knots.size()) != n + p + 1) {
        // Clamped and uniform when the file's knots do not fit.
        knots.clear();
        for (int i = 0; i < n + p + 1; ++i) knots.push_back(std::clamp(i - p, 0, n - p));
    }
    const bool rational = int(weights.size()) == n;
    const double lo = knots[p], hi = knots[n];
    if (!(hi > lo)) return out;
    const int samples = std::clamp(n * 8, 16, 2000);
    std::vector<double> x(p + 1), y(p + 1), w(p + 1);
    for (int s = 0; s <= samples; ++s) {
        const double u = lo + (hi - lo) * s / samples;
        int k = p;
        while (k < n - 1 && knots[k + 1] <= u) ++k;
        // de Boor's algorithm in homogeneous coordinates.
        for (int j = 0; j <= p; ++j) {
            const int i = k - p + j;
            const double wi = rational ? weights[i] : 1;
            x[j] = control[i].x() * wi;
            y[j] = control[i].y() * wi;
            w[j] = wi;
        }
        for (int r = 1; r <= p; ++r)
            for (int j = p; j >= r; --j) {
                const int i = k - p + j;
                const double denom = knots[i + p - r + 1] - knots[i];
                const double alpha = denom > 0 ? (u - knots[i]) / denom : 0;
                x[j] = (1 - alpha) * x[j - 1] + alpha * x[j];
                y[j] = (1 - alpha) * y[j - 1] + alpha * y[j];
                w[j] = (1 - alpha) * w[j - 1] + alpha * w[j];
            }
        if (w[p] != 0) out << QPointF(x[p] / w[p], y[p] / w[p]);
    }
    if (closed && !out.isEmpty() && out.front() != out.back()) out << out.front();
    return out;
}

QPolygonF fitPointCurve(const std::vector<QPointF>& fit, bool closed) {
    QPolygonF out;
    const int n = int(fit.size());
    if (n < 2) return out;
    // Centripetal Catmull-Rom through the points.
    auto point = [&](int i) {
        if (closed) return fit[((i % n) + n) % n];
        if (i < 0) return fit[0] * 2 - fit[1];
        if (i >= n) return fit[n - 1] * 2 - fit[n - 2];
        return fit[i];
    };
    const int segments = closed ? n : n - 1;
    out << fit[0];
    for (int i = 0; i < segments; ++i) {
        const QPointF p0 = point(i - 1), p1 = point(i), p2 = point(i + 1), p3 = point(i + 2);
        auto knot = [](const QPointF& a, const QPointF& b, double t) {
            return t + std::max(1e-9, std::sqrt(std::hypot(b.x() - a.x(), b.y() - a.y())));
        };
        const double t0 = 0, t1 = knot(p0, p1, t0), t2 = knot(p1, p2, t1), t3 = knot(p2, p3, t2);
        for (int s = 1; s <= 8; ++s) {
            const double t = t1 + (t2 - t1) * s / 8;
            const QPointF a1 = p0 * ((t1 - t) / (t1 - t0)) + p1 * ((t - t0) / (t1 - t0));
            const QPointF a2 = p1 * ((t2 - t) / (t2 - t1)) + p2 * ((t - t1) / (t2 - t1));
            const QPointF a3 = p2 * ((t3 - t) / (t3 - t2)) + p3 * ((t - t2) / (t3 - t2));
            const QPointF b1 = a1 * ((t2 - t) / (t2 - t0)) + a2 * ((t - t0) / (t2 - t0));
            const QPointF b2 = a2 * ((t3 - t) / (t3 - t1)) + a3 * ((t - t1) / (t3 - t1));
            out << b1 * ((t2 - t) / (t2 - t1)) + b2 * ((t - t1) / (t2 - t1));
        }
    }
    return out;
}

void SceneBuilder::Impl::lwpolyline(Geometry& g, const Groups& gr, const Common& c) {
    std::vector<LwVertex>& vertices = lwVertices_;
    vertices.clear();
    const double constant = gr.num(43, 0);
    bool bulged = false;
    for (std::size_t i = 0; i < gr.size(); ++i) {
        const int code = gr.code(i);
        if (code >= 1000) break;
        if (code == 10) vertices.push_back(LwVertex{QPointF(gr.number(i), 0)});
        else if (vertices.empty()) continue;
        else if (code == 20) vertices.back().p.setY(gr.number(i));
        else if (code == 40) vertices.back().w0 = gr.number(i);
        else if (code == 41) vertices.back().w1 = gr.number(i);
        else if (code == 42) bulged = (vertices.back().bulge = gr.number(i)) != 0 || bulged;
    }
    if (vertices.size() < 2) return;
    const bool closed = gr.integer(70) & 1;
    const std::size_t segments = closed ? vertices.size() : vertices.size() - 1;
    bool wide = constant > 0;
    for (const LwVertex& v : vertices) wide = wide || v.w0 > 0 || v.w1 > 0;
    if (wide) {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        for (std::size_t i = 0; i < segments; ++i) {
            const LwVertex& a = vertices[i];
            const LwVertex& b = vertices[(i + 1) % vertices.size()];
            const double w0 = a.w0 >= 0 ? a.w0 : constant, w1 = a.w1 >= 0 ? a.w1 : constant;
            QPolygonF outline = w0 > 0 || w1 > 0 ? wideSegment(a.p, b.p, a.bulge, w0, w1) : QPolygonF();
            if (outline.size() < 3) continue;
            path.addPolygon(c.ocs.map(outline));
            path.closeSubpath();
        }
        pushFill(g, c.item, path);
        return;
    }
    if (!bulged) {
        // Straight segments only (most polylines): the vertices themselves.
        std::vector<QPointF>& points = lwPoints_;
        points.clear();
        for (const LwVertex& v : vertices) points.push_back(c.ocs.map(v.p));
        pushPolyline(g, c.item, points.data(), points.size(), closed);
        return;
    }
    QPolygonF points;
    points << vertices[0].p;
    for (std::size_t i = 0; i < segments; ++i)
        bulgePoints(vertices[i].p, vertices[(i + 1) % vertices.size()].p, vertices[i].bulge, points);
    if (closed) points.removeLast();  // back at the start
    pushPolyline(g, c.item, c.ocs.map(points), closed);
}

void SceneBuilder::Impl::polyline(Geometry& g, const dxf::Entity& e, const Groups& gr, const Common& c) {
    const int flags = gr.integer(70);
    const double w0 = gr.num(40), w1 = gr.num(41);
    struct Vertex {
        QPointF p;
        double w0 = 0, w1 = 0, bulge = 0;
        int flags = 0;
        int face[4] = {0, 0, 0, 0};
    };
    std::vector<Vertex> vertices;
    Groups& vg = groupsAt(kMaxNesting + 1);
    auto* drawing = const_cast<dxf::Drawing*>(&d_);
    for (std::uint32_t r = e.record() + 1; vertices.size() < 1000000; ++r) {
        const dxf::Entity vertex(drawing, r);
        vg.read(vertex);
        if (vg.size() == 0 || vg.value(0) != "VERTEX") break;
        Vertex v;
        v.p = QPointF(vg.num(10), vg.num(20));
        v.w0 = vg.num(40, w0);
        v.w1 = vg.num(41, w1);
        v.bulge = vg.num(42);
        v.flags = vg.integer(70);
        for (int k = 0; k < 4; ++k) v.face[k] = vg.integer(71 + k);
        vertices.push_back(v);
    }
    if (flags & 64) {
        // Polyface mesh: positions, then faces naming them (a negative index hides that edge).
        std::vector<QPointF> positions;
        for (const Vertex& v : vertices)
            if ((v.flags & 128) && (v.flags & 64)) positions.push_back(v.p);
        for (const Vertex& v : vertices) {
            if (!(v.flags & 128) || (v.flags & 64)) continue;
            int corners = 0;
            while (corners < 4 && v.face[corners] != 0) ++corners;
            for (int k = 0; k < corners; ++k) {
                const int from = v.face[k], to = v.face[(k + 1) % corners];
                if (from < 0) continue;
                const int a = std::abs(from) - 1, b = std::abs(to) - 1;
                if (a < int(positions.size()) && b < int(positions.size())) {
                    const QPointF edge[2] = {positions[a], positions[b]};
                    pushPolyline(g, c.item, edge, 2, false);
                }
            }
        }
        return;
    }
    if (flags & 16) {
        // Polygon mesh: m × n vertices, drawn as its grid.
        const int m = gr.integer(71), n = gr.integer(72);
        if (m < 1 || n < 1 || std::size_t(m) * n > vertices.size()) return;
        for (int i = 0; i < m; ++i) {
            QPolygonF row;
            for (int j = 0; j < n; ++j) row << vertices[std::size_t(i) * n + j].p;
            pushPolyline(g, c.item, row, flags & 32);
        }
        for (int j = 0; j < n; ++j) {
            QPolygonF column;
            for (int i = 0; i < m; ++i) column << vertices[std::size_t(i) * n + j].p;
            pushPolyline(g, c.item, column, flags & 1);
        }
        return;
    }
    // A spline-fit polyline is drawn through its curve points, not its frame.
    std::erase_if(vertices, [](const Vertex& v) { return v.flags & 16; });
    if (vertices.size() < 2) return;
    const bool closed = flags & 1;
    const bool flat = !(flags & 8);  // a 3-D polyline is in world coordinates
    const QTransform ocs = flat ? c.ocs : QTransform();
    const std::size_t segments = closed ? vertices.size() : vertices.size() - 1;
    bool wide = false;
    for (const Vertex& v : vertices) wide = wide || v.w0 > 0 || v.w1 > 0;
    if (wide && flat) {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        for (std::size_t i = 0; i < segments; ++i) {
            const Vertex& a = vertices[i];
            const Vertex& b = vertices[(i + 1) % vertices.size()];
            const QPolygonF outline = wideSegment(a.p, b.p, a.bulge, a.w0, a.w1);
            if (outline.size() < 3) continue;
            path.addPolygon(ocs.map(outline));
            path.closeSubpath();
        }
        pushFill(g, c.item, path);
        return;
    }
    QPolygonF points;
    points << vertices[0].p;
    for (std::size_t i = 0; i < segments; ++i)
        bulgePoints(vertices[i].p, vertices[(i + 1) % vertices.size()].p, flat ? vertices[i].bulge : 0, points);
    if (closed) points.removeLast();
    pushPolyline(g, c.item, ocs.map(points), closed);
}

void SceneBuilder::Impl::ellipse(Geometry& g, const Groups& gr, const Common& c) {
    const double mx = gr.num(11), my = gr.num(21), mz = gr.num(31);
    const double ratio = gr.num(40, 1);
    if (!(std::hypot(mx, my, mz) > 0)) return;
    const double nx = gr.num(210), ny = gr.num(220), nz = gr.num(230, 1);
    ArcGeom a;
    a.center = QPointF(gr.num(10), gr.num(20));
    a.major = QPointF(mx, my);
    // The minor axis is the normal × the major axis, shortened by the ratio.
    a.minor = QPointF(ny * mz - nz * my, nz * mx - nx * mz) * ratio;
    a.t0 = gr.num(41, 0);
    a.t1 = gr.num(42, 2 * M_PI);
    while (a.t1 <= a.t0) a.t1 += 2 * M_PI;
    pushArc(g, c.item, a);
}

void SceneBuilder::Impl::spline(Geometry& g, const Groups& gr, const Common& c) {
    std::vector<QPointF> control, fit;
    std::vector<double> knots, weights;
    for (std::size_t i = 0; i < gr.size(); ++i) {
        const int code = gr.code(i);
        if (code >= 1000) break;
        if (code == 10) control.emplace_back(gr.number(i), 0);
        else if (code == 20 && !control.empty()) control.back().setY(gr.number(i));
        else if (code == 11) fit.emplace_back(gr.number(i), 0);
        else if (code == 21 && !fit.empty()) fit.back().setY(gr.number(i));
        else if (code == 40) knots.push_back(gr.number(i));
        else if (code == 41) weights.push_back(gr.number(i));
    }
    const bool closed = gr.integer(70) & 1;
    const QPolygonF points = control.size() >= 2 ? splinePoints(gr.integer(71, 3), control, knots, weights, closed)
                                                 : fitPointCurve(fit, closed);
    pushPolyline(g, c.item, points, false);
}

double SceneBuilder::Impl::dimensionArrow(const Groups& gr) const {
    const auto style = owner_.dimArrow_.find(gr.str(3));
    DimArrow a = style == owner_.dimArrow_.end() ? owner_.headerArrow_ : style->second;
    // Overrides: 1001 ACAD, 1000 DSTYLE, 1002 {, then pairs of a 1070 group
    // code and its value, 1002 }. DIMASZ is 41, DIMSCALE 40.
    bool inStyle = false;
    for (std::size_t i = gr.find(1001); i + 1 < gr.size(); ++i) {
        if (gr.code(i) == 1001) inStyle = false;
        else if (gr.code(i) == 1000 && gr.value(i) == "DSTYLE") inStyle = true;
        else if (inStyle && gr.code(i) == 1070 && (gr.code(i + 1) == 1040 || gr.code(i + 1) == 1070)) {
            const int code = int(gr.number(i));
            if (code == 41) a.size = gr.number(i + 1, a.size);
            else if (code == 40) a.scale = gr.number(i + 1, a.scale);
            ++i;
        }
    }
    // A scale of 0 fits the viewport, which the model view draws as 1.
    return a.size * (a.scale > 0 ? a.scale : 1);
}

void SceneBuilder::Impl::leader(Geometry& g, const Groups& gr, const Common& c) {
    QPolygonF points;
    for (std::size_t i = 0; i < gr.size(); ++i) {
        if (gr.code(i) >= 1000) break;
        if (gr.code(i) == 10) points << QPointF(gr.number(i), 0);
        else if (gr.code(i) == 20 && !points.isEmpty()) points.back().setY(gr.number(i));
    }
    if (points.size() < 2) return;
    const double size = dimensionArrow(gr);
    const qsizetype vertices = points.size();
    addLeaderHook(points, gr, size);
    if (gr.integer(72) == 1 && points.size() >= 3) {
        // A spline leader curves through its vertices; its hook stays straight.
        const bool hooked = points.size() > vertices || gr.integer(75) == 1;
        const std::vector<QPointF> fit(points.begin(), hooked ? points.end() - 1 : points.end());
        QPolygonF curve = fitPointCurve(fit, false);
        if (hooked) curve << points.back();
        if (curve.size() >= 2) points = curve;
    }
    pushPolyline(g, c.item, points, false);
    if (gr.integer(71, 1) == 0) return;
    // The arrowhead at the first point, as long as the dimension style's arrows.
    const QPointF tip = points[0], d = points[1] - points[0];
    const double len = std::hypot(d.x(), d.y());
    if (!(len > 0) || !(size > 0)) return;
    const QPointF along = d / len * size, across(-along.y() / 6, along.x() / 6);
    QPainterPath head;
    head.addPolygon(QPolygonF({tip, tip + along + across, tip + along - across}));
    head.closeSubpath();
    pushFill(g, c.item, head);
}

void SceneBuilder::Impl::addLeaderHook(QPolygonF& points, const Groups& gr, double length) const {
    // The hook runs from the last vertex along the horizontal direction (211),
    // against it unless 74 is 1, for an arrow's length. A DXF writer stores
    // its far end as a vertex of its own; a DWG stores no hook flag (75) nor
    // that vertex, and a hook is there when the leader has an annotation and
    // its last segment leans more than 15 degrees from the horizontal.
    QPointF horizontal(gr.num(211, 1), gr.num(221));
    const double hl = std::hypot(horizontal.x(), horizontal.y());
    if (!(hl > 0) || !(length > 0)) return;
    horizontal /= hl;
    const QPointF end = points.back(), last = end - points[points.size() - 2];
    const double lastLength = std::hypot(last.x(), last.y());
    if (!(lastLength > 0)) return;
    const double sine = std::abs(last.x() * horizontal.y() - last.y() * horizontal.x()) / lastLength;
    const bool leans = sine > std::sin(15 * M_PI / 180);
    bool hook;
    if (gr.has(75)) hook = gr.integer(75) == 1 && sine > 1e-9;  // a horizontal last segment is the hook
    else hook = d_.isDwg() && gr.integer(73, 3) != 3 && gr.has(340) && leans;
    if (!hook) return;
    const QPointF start = end + horizontal * (gr.integer(74) == 1 ? length : -length);
    points.insert(points.size() - 1, start);
}

}  // namespace drawhost
