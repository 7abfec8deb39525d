#include "LineRaster.h"

#include <algorithm>
#include <cmath>

namespace drawhost {

namespace {
// Rounds half away from zero, as std::lround does, without a library call
// (the coordinates here are far inside the range of long).
long roundToLong(double v) { return long(v + std::copysign(0.5, v)); }

// The smallest whole number not below v, for v within a billion of zero
// (beyond, the nearest end).
int ceilToInt(double v) {
    if (!(v > -1e9)) return -1000000000;
    if (!(v < 1e9)) return 1000000000;
    const int i = int(v);
    return i < v ? i + 1 : i;
}

// Each of a pixel's four bytes times a / 255, rounded.
quint32 scaled(quint32 x, quint32 a) {
    quint32 rb = (x & 0xFF00FF) * a;
    rb = ((rb + ((rb >> 8) & 0xFF00FF) + 0x800080) >> 8) & 0xFF00FF;
    quint32 ag = ((x >> 8) & 0xFF00FF) * a;
    ag = (ag + ((ag >> 8) & 0xFF00FF) + 0x800080) & 0xFF00FF00;
    return ag | rb;
}
}  // namespace

LineRaster::LineRaster(QImage& image, const QRect& clip, int rowFrom, int rowTo) {
    // The image is the caller's alone: its memory is written in place.
    bits_ = const_cast<uchar*>(image.constBits());
    stride_ = image.bytesPerLine();
    const QRect r = clip & image.rect();
    cx0_ = r.left(), cy0_ = r.top(), cx1_ = r.right(), cy1_ = r.bottom();
    x0_ = cx0_, x1_ = cx1_, y0_ = std::max(cy0_, rowFrom), y1_ = std::min(cy1_, rowTo);
    lo_[0] = cx0_ - 1.0, lo_[1] = cy0_ - 1.0, hi_[0] = cx1_ + 1.0, hi_[1] = cy1_ + 1.0;
    above_ = y0_ - 1.0, below_ = y1_ + 2.0;
}

bool LineRaster::supports(const QImage& image) {
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
}

void LineRaster::blend(int x, int y, QRgb color, int alpha) {
    if (x < x0_ || x > x1_ || y < y0_ || y > y1_) return;
    mix(row(y)[x], color, alpha);
}

void LineRaster::line(const QLineF& l, QRgb color, bool antialias) {
    double ax = l.x1(), ay = l.y1(), bx = l.x2(), by = l.y2();
    // Nothing of a line wholly above or below the rows drawn.
    if (std::max(ay, by) < above_ || std::min(ay, by) > below_) return;
    // Clip to the rectangle (Liang-Barsky), a pixel wide margin for
    // antialiasing; most lines lie inside it and need none.
    const double* lo = lo_;
    const double* hi = hi_;
    const bool inside = std::min(ax, bx) >= lo[0] && std::max(ax, bx) <= hi[0] && std::min(ay, by) >= lo[1] &&
                        std::max(ay, by) <= hi[1];
    if (!inside) {
        const double dx = bx - ax, dy = by - ay;
        double t0 = 0, t1 = 1;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {ax - lo[0], hi[0] - ax, ay - lo[1], hi[1] - ay};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0) return;
                continue;
            }
            const double r = q[i] / p[i];
            if (p[i] < 0) t0 = std::max(t0, r);
            else t1 = std::min(t1, r);
            if (t0 > t1) return;
        }
        bx = ax + t1 * dx, by = ay + t1 * dy;
        ax = ax + t0 * dx, ay = ay + t0 * dy;
    }
    color |= 0xFF000000u;
    // Pixel centres lie at half coordinates.
    ax -= 0.5, ay -= 0.5, bx -= 0.5, by -= 0.5;
    const bool steep = std::abs(by - ay) > std::abs(bx - ax);
    if (steep) std::swap(ax, ay), std::swap(bx, by);
    if (ax > bx) std::swap(ax, bx), std::swap(ay, by);
    const double slope = bx - ax > 0 ? (by - ay) / (bx - ax) : 0;
    const int xs = int(roundToLong(ax)), xe = int(roundToLong(bx));
    if (!antialias) {
        // Fixed point along the minor axis.
        const long step = roundToLong(slope * 65536.0);
        long y = roundToLong((ay + (xs - ax) * slope) * 65536.0) + 32768;
        // Most lines lie wholly within the pixels drawn: no test per pixel.
        const int ya = int(y >> 16), yb = int((y + step * long(xe - xs)) >> 16);
        const int minorLo = std::min(ya, yb), minorHi = std::max(ya, yb);
        if (steep ? xs >= y0_ && xe <= y1_ && minorLo >= x0_ && minorHi <= x1_
                  : xs >= x0_ && xe <= x1_ && minorLo >= y0_ && minorHi <= y1_) {
            if (steep)
                for (int x = xs; x <= xe; ++x, y += step) row(x)[y >> 16] = color;
            else
                for (int x = xs; x <= xe; ++x, y += step) row(int(y >> 16))[x] = color;
            return;
        }
        for (int x = xs; x <= xe; ++x, y += step) {
            const int yi = int(y >> 16);
            if (steep) plot(yi, x, color);
            else plot(x, yi, color);
        }
        return;
    }
    double y = ay + (xs - ax) * slope;
    const double yEnd = y + slope * (xe - xs);
    // (A pixel of margin: the sum of the steps may round differently from the product.)
    const int minorLo = int(std::floor(std::min(y, yEnd))) - 1, minorHi = int(std::floor(std::max(y, yEnd))) + 2;
    if (steep ? xs >= y0_ && xe <= y1_ && minorLo >= x0_ && minorHi <= x1_
              : xs >= x0_ && xe <= x1_ && minorLo >= y0_ && minorHi <= y1_) {
        for (int x = xs; x <= xe; ++x, y += slope) {
            const double fy = std::floor(y);
            const int yi = int(fy);
            const int a = int((y - fy) * 256);
            if (steep) {
                mix(row(x)[yi], color, 256 - a);
                mix(row(x)[yi + 1], color, a);
            } else {
                mix(row(yi)[x], color, 256 - a);
                mix(row(yi + 1)[x], color, a);
            }
        }
        return;
    }
    for (int x = xs; x <= xe; ++x, y += slope) {
        const double fy = std::floor(y);
        const int yi = int(fy);
        const int a = int((y - fy) * 256);
        if (steep) {
            blend(yi, x, color, 256 - a);
            blend(yi + 1, x, color, a);
        } else {
            blend(x, yi, color, 256 - a);
            blend(x, yi + 1, color, a);
        }
    }
}

void LineRaster::dot(const QPointF& p, QRgb color, int size) {
    color |= 0xFF000000u;
    const int half = size / 2;
    const int cx = int(std::floor(p.x())), cy = int(std::floor(p.y()));
    for (int y = cy - half; y < cy - half + size; ++y)
        for (int x = cx - half; x < cx - half + size; ++x) plot(x, y, color);
}

bool LineRaster::convex(const QPointF* pts, int n, QRgb color) {
    while (n > 1 && pts[n - 1] == pts[0]) --n;  // closed by repeating the first point
    if (n < 3 || n > kMaxCorners) return false;
    // Convex: every turn the same way, and the edges go up and down once
    // each (a star turns one way too, but goes round more than once).
    double ymin = pts[0].y(), ymax = ymin;
    int turn = 0, flips = 0, firstDy = 0, lastDy = 0;
    for (int i = 0; i < n; ++i) {
        const QPointF &a = pts[i], &b = pts[(i + 1) % n], &c = pts[(i + 2) % n];
        if (!std::isfinite(a.x()) || !std::isfinite(a.y())) return false;
        const double cross = (b.x() - a.x()) * (c.y() - b.y()) - (b.y() - a.y()) * (c.x() - b.x());
        const int t = cross > 0 ? 1 : cross < 0 ? -1 : 0;
        if (t != 0) {
            if (turn != 0 && t != turn) return false;
            turn = t;
        }
        const int dy = b.y() > a.y() ? 1 : b.y() < a.y() ? -1 : 0;
        if (dy != 0) {
            if (lastDy != 0 && dy != lastDy) ++flips;
            if (firstDy == 0) firstDy = dy;
            lastDy = dy;
        }
        ymin = std::min(ymin, a.y()), ymax = std::max(ymax, a.y());
    }
    // (The way from the last edge round to the first counts too.)
    if (firstDy != lastDy) ++flips;
    if (flips > 2) return false;
    // A tint (translucent) lies over what is beneath, as the painter lays it:
    // the premultiplied colour plus what is beneath times 1 - alpha.
    const int alpha = qAlpha(color);
    const QRgb over = qPremultiply(color);
    color |= 0xFF000000u;
    // Rows whose pixel centres lie within the polygon's height; each row's
    // span from where it crosses the two chains of edges from the top
    // corner down to the bottom one, one going each way round.
    int topCorner = 0;
    for (int i = 1; i < n; ++i)
        if (pts[i].y() < pts[topCorner].y()) topCorner = i;
    struct Chain {
        int at, step;  // the edge from corner `at` to the next one `step` round
        double slope = 0;
    } chains[2] = {{topCorner, 1}, {topCorner, n - 1}};
    const auto next = [n](int i, int step) { return (i + step) % n; };
    const int top = std::max(y0_, ceilToInt(ymin - 0.5)), bottom = std::min(y1_, ceilToInt(ymax - 0.5) - 1);
    for (Chain& c : chains) {
        // Passes over edges ending above the first row's centre.
        while (pts[next(c.at, c.step)].y() <= top + 0.5 && next(c.at, c.step) != topCorner &&
               pts[next(c.at, c.step)].y() < ymax)
            c.at = next(c.at, c.step);
        const QPointF &a = pts[c.at], &b = pts[next(c.at, c.step)];
        c.slope = b.y() != a.y() ? (b.x() - a.x()) / (b.y() - a.y()) : 0;
    }
    for (int y = top; y <= bottom; ++y) {
        const double cy = y + 0.5;
        double x[2];
        for (int k = 0; k < 2; ++k) {
            Chain& c = chains[k];
            if (cy >= pts[next(c.at, c.step)].y()) {
                // The next edge down (past any flat ones).
                do c.at = next(c.at, c.step);
                while (cy >= pts[next(c.at, c.step)].y() && pts[next(c.at, c.step)].y() < ymax);
                const QPointF &a = pts[c.at], &b = pts[next(c.at, c.step)];
                c.slope = b.y() != a.y() ? (b.x() - a.x()) / (b.y() - a.y()) : 0;
            }
            x[k] = pts[c.at].x() + (cy - pts[c.at].y()) * c.slope;
        }
        const int from = std::max(x0_, ceilToInt(std::min(x[0], x[1]) - 0.5));
        const int to = std::min(x1_, ceilToInt(std::max(x[0], x[1]) - 0.5) - 1);
        if (from > to) continue;
        if (alpha == 255) {
            std::fill_n(row(y) + from, to - from + 1, color);
        } else {
            quint32* r = row(y);
            for (int x = from; x <= to; ++x) r[x] = over + scaled(r[x], 255 - alpha);
        }
    }
    return true;
}

}  // namespace drawhost
