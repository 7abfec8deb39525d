#pragma once
// Draws small text runs straight into a 32-bit image from the glyph masks of
// GlyphCache: the font engine renders each character once per size instead
// of once per size and turn, and no font is looked up per text.
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>

#include "DrawingScene.h"

namespace drawhost {

struct GlyphMask;

// Where a run's glyphs go: glyph space (font pixels, x along the baseline,
// y downwards, the run's origin at 0) maps to the device by
// device = origin + x * xAxis + y * yAxis.
struct TextPlacement {
    QPointF origin, xAxis, yAxis;
    int pixelSize = 1;      // the font's pixel size
    double capPixels = 1;   // the run's cap height in glyph space: advances are per unit of it
};

class GlyphRaster {
public:
    // image: a format LineRaster supports; nothing is drawn outside `clip`.
    GlyphRaster(QImage& image, const QRect& clip);

    // Draws the run in an opaque colour; false, with nothing drawn, when
    // masks cannot stand for it (a character they do not cover, a size or
    // squeeze beyond the cache's), so that the font engine draws it.
    bool draw(const TextRun& run, const TextPlacement& at, QRgb color);

private:
    struct MaskMap;
    static bool makeMap(QPointF x, QPointF y, MaskMap& m);
    void copy(const GlyphMask& m, const QPointF& corner, const MaskMap& map, QRgb color);
    void resample(const GlyphMask& m, const QPointF& corner, const MaskMap& map, QRgb color);
    void blend(quint32& d, QRgb color, int alpha);  // alpha 0-255

    uchar* bits_;
    qsizetype stride_;
    QRect clip_;
};

}  // namespace drawhost
