#include "GlyphRaster.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "GlyphCache.h"
#include "LineRaster.h"
#include "SceneText.h"

namespace drawhost {

// The maps between a mask's pixels and the device. Masks are squeezed
// horizontally as the run is (they are rendered so), which leaves turns,
// mirrors and slants, and only slants and odd angles need resampling.
struct GlyphRaster::MaskMap {
    QPointF x, y;                    // mask space to device
    double i11, i12, i21, i22;       // device to mask space
    bool exact;                      // a quarter turn or mirror: device pixels fall on mask pixels
};

bool GlyphRaster::makeMap(QPointF x, QPointF y, MaskMap& m) {
    const auto whole = [](double v) { return std::abs(v - std::round(v)) < 0.01 && std::abs(std::round(v)) <= 1; };
    m.exact = whole(x.x()) && whole(x.y()) && whole(y.x()) && whole(y.y());
    if (m.exact) {
        x = QPointF(std::round(x.x()), std::round(x.y()));
        y = QPointF(std::round(y.x()), std::round(y.y()));
    }
    const double det = x.x() * y.y() - x.y() * y.x();
    if (std::abs(det) < 1e-9) return false;
    m.x = x, m.y = y;
    m.i11 = y.y() / det, m.i12 = -y.x() / det;
    m.i21 = -x.y() / det, m.i22 = x.x() / det;
    return true;
}

GlyphRaster::GlyphRaster(QImage& image, const QRect& clip) {
    // The image is the caller's alone: its memory is written in place.
    bits_ = const_cast<uchar*>(image.constBits());
    stride_ = image.bytesPerLine();
    clip_ = clip & image.rect();
}

inline void GlyphRaster::blend(quint32& d, QRgb color, int alpha) {
    LineRaster::mix(d, color, alpha + (alpha >> 7));  // 0-255 taken to 0-256
}

// A quarter turn or mirror of the mask: each mask pixel lights one device pixel.
void GlyphRaster::copy(const GlyphMask& m, const QPointF& corner, const MaskMap& map, QRgb color) {
    const int dx1 = int(map.x.x()), dy1 = int(map.x.y()), dx2 = int(map.y.x()), dy2 = int(map.y.y());
    // The device pixel holding the centre of mask pixel (0, 0).
    const int x0 = int(std::lround(corner.x())) + int(std::floor(0.5 * (dx1 + dx2)));
    const int y0 = int(std::lround(corner.y())) + int(std::floor(0.5 * (dy1 + dy2)));
    const int left = clip_.left(), right = clip_.right(), top = clip_.top(), bottom = clip_.bottom();
    const uchar* a = m.alpha.data();
    for (int j = 0; j < m.height; ++j) {
        int x = x0 + j * dx2, y = y0 + j * dy2;
        for (int i = 0; i < m.width; ++i, ++a, x += dx1, y += dy1) {
            if (*a == 0 || x < left || x > right || y < top || y > bottom) continue;
            blend(reinterpret_cast<quint32*>(bits_ + std::ptrdiff_t(y) * stride_)[x], color, *a);
        }
    }
}

// Any other turn or slant: each device pixel the mask covers takes the
// mask's coverage at its centre, interpolated between the four nearest.
void GlyphRaster::resample(const GlyphMask& m, const QPointF& corner, const MaskMap& map, QRgb color) {
    const QPointF ends[3] = {corner + map.x * m.width, corner + map.y * m.height,
                             corner + map.x * m.width + map.y * m.height};
    double left = corner.x(), right = left, top = corner.y(), bottom = top;
    for (const QPointF& e : ends) {
        left = std::min(left, e.x()), right = std::max(right, e.x());
        top = std::min(top, e.y()), bottom = std::max(bottom, e.y());
    }
    const int x0 = std::max(clip_.left(), int(std::floor(left)) - 1), x1 = std::min(clip_.right(), int(std::ceil(right)) + 1);
    const int y0 = std::max(clip_.top(), int(std::floor(top)) - 1), y1 = std::min(clip_.bottom(), int(std::ceil(bottom)) + 1);
    const auto sample = [&m](int i, int j) -> double {
        return i < 0 || j < 0 || i >= m.width || j >= m.height ? 0.0 : m.alpha[std::size_t(j) * m.width + i];
    };
    for (int y = y0; y <= y1; ++y) {
        auto* row = reinterpret_cast<quint32*>(bits_ + std::ptrdiff_t(y) * stride_);
        const double dx = x0 + 0.5 - corner.x(), dy = y + 0.5 - corner.y();
        // Mask coordinates of the pixel centre, less half a pixel: mask pixel
        // (i, j) covers [i, i + 1) x [j, j + 1), its centre at (i + 0.5, j + 0.5).
        double u = map.i11 * dx + map.i12 * dy - 0.5, v = map.i21 * dx + map.i22 * dy - 0.5;
        for (int x = x0; x <= x1; ++x, u += map.i11, v += map.i21) {
            const int i = int(std::floor(u)), j = int(std::floor(v));
            if (i < -1 || j < -1 || i >= m.width || j >= m.height) continue;
            const double fx = u - i, fy = v - j;
            const int a = int((sample(i, j) * (1 - fx) + sample(i + 1, j) * fx) * (1 - fy) +
                              (sample(i, j + 1) * (1 - fx) + sample(i + 1, j + 1) * fx) * fy + 0.5);
            if (a > 0) blend(row[x], color, a);
        }
    }
}

bool GlyphRaster::draw(const TextRun& run, const TextPlacement& at, QRgb color) {
    if (at.pixelSize > GlyphCache::kMaxPixelSize) return false;
    for (QChar c : run.text)
        if (!GlyphCache::covers(c.unicode())) return false;
    // How much narrower than high the glyphs show: the squeeze of the masks.
    const double sx = std::hypot(at.xAxis.x(), at.xAxis.y());
    const double area = std::abs(at.xAxis.x() * at.yAxis.y() - at.xAxis.y() * at.yAxis.x());
    if (sx < 1e-9 || area < 1e-9) return true;  // flattened to nothing
    const int scale = int(std::lround(sx * sx / area * GlyphCache::kScaleSteps));
    if (scale < GlyphCache::kMinScale || scale > GlyphCache::kMaxScale) return false;
    const double squeeze = double(scale) / GlyphCache::kScaleSteps;
    MaskMap map;
    if (!makeMap(at.xAxis / squeeze, at.yAxis, map)) return true;

    GlyphCache& cache = GlyphCache::instance();
    std::vector<std::shared_ptr<const GlyphMask>> masks;
    masks.reserve(std::size_t(run.text.size()));
    for (QChar c : run.text) {
        masks.push_back(cache.mask(c.unicode(), at.pixelSize, run.bold, run.italic, scale));
        if (!masks.back()) return false;
    }

    color |= 0xFF000000u;
    TextMetrics& metrics = TextMetrics::instance();
    double pen = 0;  // glyph space, along the baseline
    for (qsizetype k = 0; k < run.text.size(); ++k) {
        const GlyphMask& m = *masks[std::size_t(k)];
        const double mx = pen * squeeze + m.left, my = m.top;
        pen += metrics.advance(run.text[k].unicode(), run.bold) * at.capPixels;
        if (m.width == 0) continue;
        const QPointF corner = at.origin + map.x * mx + map.y * my;
        if (map.exact) copy(m, corner, map, color);
        else resample(m, corner, map, color);
    }
    return true;
}

}  // namespace drawhost
