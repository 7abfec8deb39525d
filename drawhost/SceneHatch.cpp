// Hatches: their boundary paths read from the groups, solid fills, and the
// lines of a pattern clipped to the boundary.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "SceneBuild.h"

namespace drawhost {

namespace {

constexpr double kDegree = M_PI / 180;

// Reads groups in order, tolerating a few groups it does not expect.
class Cursor {
public:
    explicit Cursor(const Groups& g, std::size_t at) : g_(g), i_(at) {}
    bool at(int code) const { return i_ < g_.size() && g_.code(i_) == code; }
    int codeAhead(std::size_t k = 0) const { return i_ + k < g_.size() ? g_.code(i_ + k) : -1; }
    bool done() const { return i_ >= g_.size(); }
    double take(int code, double fallback = 0) {
        for (std::size_t k = i_; k < g_.size() && k < i_ + 6; ++k)
            if (g_.code(k) == code) {
                i_ = k + 1;
                return g_.number(k, fallback);
            }
        return fallback;
    }
    // Moves to the next group of one of the codes; false at the end.
    bool seek(std::initializer_list<int> codes) {
        for (; i_ < g_.size(); ++i_)
            for (int c : codes)
                if (g_.code(i_) == c) return true;
        return false;
    }
    void skip() { ++i_; }
    // A point: the x group, then the y group (10 more), read in that order.
    QPointF point(int xcode) {
        const double x = take(xcode);
        return QPointF(x, take(xcode + 10));
    }

private:
    const Groups& g_;
    std::size_t i_;
};

void addArcPoints(QPolygonF& out, const QPointF& center, const QPointF& major, const QPointF& minor, double t0,
                  double t1) {
    const int steps = std::clamp(int(std::ceil(std::abs(t1 - t0) / (5 * kDegree))), 2, 144);
    for (int k = 0; k <= steps; ++k) {
        const double t = t0 + (t1 - t0) * k / steps;
        out << center + major * std::cos(t) + minor * std::sin(t);
    }
}

// One edge path (lines, arcs, elliptic arcs, splines) as a polygon.
QPolygonF edgePath(Cursor& c, int edges) {
    QPolygonF out;
    for (int e = 0; e < edges && !c.done(); ++e) {
        const int type = int(c.take(72, 1));
        if (type == 1) {
            const QPointF a = c.point(10);
            const QPointF b = c.point(11);
            if (out.isEmpty() || out.back() != a) out << a;
            out << b;
        } else if (type == 2 || type == 3) {
            const QPointF center = c.point(10);
            QPointF major, minor;
            double ratio = 1;
            if (type == 2) {
                const double r = c.take(40);
                major = QPointF(r, 0);
                minor = QPointF(0, r);
            } else {
                major = c.point(11);
                ratio = c.take(40, 1);
                minor = QPointF(-major.y(), major.x()) * ratio;
            }
            double a0 = c.take(50) * kDegree, a1 = c.take(51) * kDegree;
            const bool ccw = c.take(73, 1) != 0;
            // Clockwise arcs keep their angles mirrored (360° - angle), end first.
            if (!ccw) std::tie(a0, a1) = std::pair(2 * M_PI - a1, 2 * M_PI - a0);
            if (type == 3) {
                // Angles of an ellipse edge are angles, not parameters.
                a0 = std::atan2(std::sin(a0) / ratio, std::cos(a0));
                a1 = std::atan2(std::sin(a1) / ratio, std::cos(a1));
            }
            while (a1 <= a0) a1 += 2 * M_PI;
            QPolygonF arc;
            addArcPoints(arc, center, major, minor, a0, a1);
            if (!ccw) std::reverse(arc.begin(), arc.end());
            out += arc;
        } else if (type == 4) {
            const int degree = int(c.take(94, 3));
            const bool rational = c.take(73) != 0;
            c.take(74);
            const int knotCount = int(c.take(95)), controlCount = int(c.take(96));
            std::vector<double> knots, weights;
            std::vector<QPointF> control;
            for (int k = 0; k < knotCount && c.at(40); ++k) knots.push_back(c.take(40));
            for (int k = 0; k < controlCount && c.at(10); ++k) {
                control.push_back(c.point(10));
                if (rational && c.at(42)) weights.push_back(c.take(42));
            }
            // Fit data (newer files): a count, the points, and maybe tangents.
            if (c.at(97)) {
                const int next = c.codeAhead(1);
                if (next == 11 || next == 97 || next == 72 || next == 12) {
                    const int fits = int(c.take(97));
                    for (int k = 0; k < fits && c.at(11); ++k) c.point(11);
                    if (c.at(12)) c.point(12), c.point(13);
                }
            }
            out += splinePoints(degree, control, knots, weights, false);
        } else {
            break;
        }
    }
    return out;
}

}  // namespace

void SceneBuilder::Impl::hatch(Geometry& g, const Groups& gr, const Common& c) {
    Cursor cur(gr, gr.find(91));
    if (cur.done()) return;
    const int paths = int(cur.take(91));
    QPainterPath boundary;
    boundary.setFillRule(Qt::OddEvenFill);
    for (int p = 0; p < paths && cur.seek({92}); ++p) {
        const int flags = int(cur.take(92));
        QPolygonF outline;
        if (flags & 2) {
            const bool bulged = cur.take(72) != 0;
            const bool closed = cur.take(73) != 0;
            (void)closed;  // a boundary is closed either way
            const int count = int(cur.take(93));
            std::vector<std::pair<QPointF, double>> vertices;
            for (int k = 0; k < count && cur.at(10); ++k) {
                const QPointF v = cur.point(10);
                const double bulge = bulged && cur.at(42) ? cur.take(42) : 0;
                vertices.emplace_back(v, bulge);
            }
            if (!vertices.empty()) outline << vertices[0].first;
            for (std::size_t k = 0; k < vertices.size(); ++k)
                bulgePoints(vertices[k].first, vertices[(k + 1) % vertices.size()].first, vertices[k].second, outline);
        } else {
            outline = edgePath(cur, int(cur.take(93)));
        }
        if (outline.size() >= 3) {
            boundary.addPolygon(c.ocs.map(outline));
            boundary.closeSubpath();
        }
    }
    if (boundary.isEmpty()) return;
    const bool solid = gr.integer(70) == 1 || (gr.has(450) && gr.integer(450) == 1);
    if (solid) {
        pushFill(g, c.item, boundary);
        return;
    }
    HatchGeom h;
    h.boundary = boundary;
    if (cur.seek({78})) {
        const int lines = int(cur.take(78));
        for (int k = 0; k < lines && cur.at(53); ++k) {
            HatchGeom::Line line;
            const double angle = cur.take(53) * kDegree;
            const double bx = cur.take(43), by = cur.take(44), ox = cur.take(45), oy = cur.take(46);
            const QPointF base(bx, by), offset(ox, oy);
            const int dashes = int(cur.take(79));
            for (int d = 0; d < dashes && cur.at(49); ++d) line.dashes.push_back(cur.take(49));
            // The pattern in world coordinates.
            const QPointF dir = c.ocs.map(QPointF(std::cos(angle), std::sin(angle))) - c.ocs.map(QPointF());
            line.angle = std::atan2(dir.y(), dir.x());
            line.base = c.ocs.map(base);
            line.offset = c.ocs.map(offset) - c.ocs.map(QPointF());
            const double spacing = std::abs(-std::sin(line.angle) * line.offset.x() + std::cos(line.angle) * line.offset.y());
            if (!(spacing > 0)) continue;
            h.spacing = h.lines.empty() ? spacing : std::min(h.spacing, spacing);
            h.lines.push_back(std::move(line));
        }
    }
    if (h.lines.empty()) {
        // A pattern without lines shows its boundary.
        for (const QPolygonF& poly : boundary.toSubpathPolygons()) pushPolyline(g, c.item, poly, true);
        return;
    }
    Item item = c.item;
    item.kind = Item::Hatch;
    item.first = std::uint32_t(g.hatches.size());
    item.count = 1;
    item.bounds = boundary.boundingRect();
    g.hatches.push_back(std::move(h));
    extend(g.bounds, anyExtents_, item.bounds);
    g.items.push_back(item);
}

bool hatchLines(const HatchGeom& h, std::vector<QLineF>& lines, std::vector<QPointF>& dots, std::size_t limit) {
    const QList<QPolygonF> polygons = h.boundary.toSubpathPolygons();
    const QRectF box = h.boundary.boundingRect();
    const QPointF corners[4] = {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()};
    std::size_t total = 0;
    std::vector<double> hits;
    for (const HatchGeom::Line& line : h.lines) {
        const QPointF d(std::cos(line.angle), std::sin(line.angle)), n(-d.y(), d.x());
        auto dot = [](const QPointF& a, const QPointF& b) { return a.x() * b.x() + a.y() * b.y(); };
        const double step = dot(line.offset, n);
        if (std::abs(step) < 1e-12) continue;
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (const QPointF& c : corners) lo = std::min(lo, dot(c, n)), hi = std::max(hi, dot(c, n));
        const double s0 = dot(line.base, n);
        double k0 = std::ceil((lo - s0) / step), k1 = std::floor((hi - s0) / step);
        if (k0 > k1) std::swap(k0, k1);
        if (k1 - k0 + 1 + total > limit) return false;
        total += std::size_t(k1 - k0 + 1);
        double period = 0;
        for (double v : line.dashes) period += std::abs(v);
        for (double k = k0; k <= k1; ++k) {
            const QPointF p = line.base + line.offset * k;
            const double s = dot(p, n);
            hits.clear();
            for (const QPolygonF& poly : polygons)
                for (qsizetype i = 0; i < poly.size(); ++i) {
                    const QPointF& a = poly[i];
                    const QPointF& b = poly[(i + 1) % poly.size()];
                    const double da = dot(a, n) - s, db = dot(b, n) - s;
                    if ((da > 0) == (db > 0)) continue;
                    hits.push_back(dot(a + (b - a) * (da / (da - db)) - p, d));
                }
            std::sort(hits.begin(), hits.end());
            for (std::size_t i = 0; i + 1 < hits.size(); i += 2) {
                const double t0 = hits[i], t1 = hits[i + 1];
                if (line.dashes.empty() || !(period > 0)) {
                    lines.emplace_back(p + d * t0, p + d * t1);
                    continue;
                }
                double at = std::floor(t0 / period) * period;
                for (std::size_t e = 0; at <= t1 && e < 100000; ++e) {
                    const double v = line.dashes[e % line.dashes.size()];
                    const double len = std::abs(v);
                    if (v > 0) {
                        const double a = std::max(at, t0), b = std::min(at + len, t1);
                        if (b > a) lines.emplace_back(p + d * a, p + d * b);
                    } else if (v == 0 && at >= t0) {
                        dots.push_back(p + d * at);
                    }
                    at += len;
                }
            }
        }
    }
    return true;
}

}  // namespace drawhost
