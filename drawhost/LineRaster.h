#pragma once
// Draws thin lines and dots straight into a 32-bit image. A view at the
// extents of a large drawing draws hundreds of thousands of lines a few
// pixels long; QPainter spends far more on each line than on its pixels,
// this spends little more than the pixels.
#include <QImage>
#include <QLineF>
#include <QRect>
#include <climits>

namespace drawhost {

class LineRaster {
public:
    // image: Format_RGB32 or Format_ARGB32_Premultiplied; nothing is drawn
    // outside `clip`, nor outside the rows from `rowFrom` to `rowTo`: two
    // rasters over two bands of rows light the pixels one over both would.
    LineRaster(QImage& image, const QRect& clip, int rowFrom = INT_MIN, int rowTo = INT_MAX);
    static bool supports(const QImage& image);

    // A line one pixel wide in an opaque colour; antialiased lines blend
    // with what lies beneath.
    void line(const QLineF& line, QRgb color, bool antialias);
    // A square dot of `size` pixels centred on p.
    void dot(const QPointF& p, QRgb color, int size);
    // A convex polygon filled in a colour (laid over what is beneath by its
    // alpha), plainly (no antialiasing):
    // the pixels whose centres lie inside, as the painter's own fill lights
    // them. False, with nothing drawn, when the points (at most kMaxCorners)
    // are not the corners of a convex polygon in order.
    static constexpr int kMaxCorners = 32;
    bool convex(const QPointF* points, int count, QRgb color);

    // Lays an opaque colour over a pixel at alpha 0-256.
    static void mix(quint32& d, QRgb color, int alpha) {
        if (alpha <= 0) return;
        if (alpha >= 256) {
            d = color;
            return;
        }
        // Both colours are opaque: blend red/blue and green in two steps.
        const quint32 rb = (((color & 0xFF00FF) * alpha + (d & 0xFF00FF) * (256 - alpha)) >> 8) & 0xFF00FF;
        const quint32 g = (((color & 0x00FF00) * alpha + (d & 0x00FF00) * (256 - alpha)) >> 8) & 0x00FF00;
        d = 0xFF000000u | rb | g;
    }

private:
    void blend(int x, int y, QRgb color, int alpha);  // alpha 0-256
    void plot(int x, int y, QRgb color) {
        if (x >= x0_ && x <= x1_ && y >= y0_ && y <= y1_) row(y)[x] = color;
    }
    quint32* row(int y) { return reinterpret_cast<quint32*>(bits_ + std::ptrdiff_t(y) * stride_); }

    uchar* bits_;
    qsizetype stride_;
    int cx0_, cy0_, cx1_, cy1_;  // clip, inclusive: lines are cut to it
    int x0_, y0_, x1_, y1_;      // the pixels drawn: the clip's in the rows asked for
    double lo_[2], hi_[2];       // the clip with a pixel's margin (x, y)
    double above_, below_;       // lines wholly beyond these rows draw nothing
};

}  // namespace drawhost
