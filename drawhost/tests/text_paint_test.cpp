// Texts painted into a view's image from glyph masks land where, and in the
// colour, the font engine puts them.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "SceneDrawings.h"
#include "drawhost/DrawingScene.h"
#include "drawhost/GlyphCache.h"
#include "drawhost/ScenePainter.h"

using namespace drawhost;
using namespace scenetest;

namespace {

struct Ink {
    QRect box;           // of the pixels lit more than a quarter
    double total = 0;    // coverage summed over the image, in pixels
    bool tinted = true;  // every lit pixel a shade of the text's colour
};

// Paints the scene at 1.6 pixels a unit, the origin at (220, 170), white on
// black: into an RGB32 image (drawn from masks), or into a non-premultiplied
// ARGB32 one (drawn by the font engine through the painter).
Ink paint(const Scene& scene, QImage::Format format) {
    QImage image(480, 340, format);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        PaintOptions o;
        paintScene(p, scene, QTransform(1.6, 0, 0, -1.6, 220, 170), QRectF(image.rect()), o);
    }
    // Colour 1 is red: green and blue stay dark where the text blends into black.
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            ink.total += qRed(c) / 255.0;
            if (qGreen(c) > 8 || qBlue(c) > 8) ink.tinted = false;
            if (qRed(c) > 64) ink.box |= QRect(x, y, 1, 1);
        }
    return ink;
}

TEST(TextPaintTest, MaskedTextsLandWhereTheFontEngineDrawsThem) {
    const auto text = [](const std::string& s, Groups extra) {
        Groups g = {{1, s}, {40, "10"}, {10, "0"}, {20, "0"}, {62, "1"}};
        g.insert(g.end(), extra.begin(), extra.end());
        return object("TEXT", g);
    };
    const std::string japanese = "\\U+56F3\\U+9762\\U+756A\\U+53F7 A-12";  // 図面番号
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"upright", text("Layer 0 Ag", {})},
        {"japanese", text(japanese, {})},
        {"quarter turn", text("Room 101", {{50, "90"}})},
        {"half turned", text(japanese, {{50, "180"}})},
        {"thirty degrees", text("Plan B", {{50, "30"}})},
        {"half wide", text("WIDTH 0.5", {{41, "0.5"}})},
        {"slanted", text("Oblique", {{51, "15"}})},
        {"mirrored", text("Mirror", {{71, "2"}})},
        {"upside down", text("Flip", {{71, "4"}})},
        {"bold italic", object("MTEXT", {{10, "0"}, {20, "0"}, {40, "10"}, {62, "1"}, {71, "7"},
                                         {1, "{\\fArial|b1|i1;Bold} \\U+6587\\U+5B57"}})},
    };
    for (const auto& [name, entities] : cases) {
        Spec s;
        s.entities = entities;
        const auto drawing = scenetest::drawing(s);
        const Scene scene = buildScene(*drawing);
        const Ink masked = paint(scene, QImage::Format_RGB32);
        const Ink engine = paint(scene, QImage::Format_ARGB32);
        ASSERT_FALSE(engine.box.isEmpty()) << name;
        EXPECT_NEAR(masked.box.left(), engine.box.left(), 2) << name;
        EXPECT_NEAR(masked.box.right(), engine.box.right(), 2) << name;
        EXPECT_NEAR(masked.box.top(), engine.box.top(), 2) << name;
        EXPECT_NEAR(masked.box.bottom(), engine.box.bottom(), 2) << name;
        // As much ink: strokes are neither lost nor smeared.
        EXPECT_NEAR(masked.total, engine.total, engine.total * 0.15) << name;
        EXPECT_TRUE(masked.tinted) << name;
    }
}

TEST(TextPaintTest, MasksStandOnlyForCharactersThatNeedNoShaping) {
    for (char16_t c : {u'A', u'g', u'0', u' ', u'%', u'\u00B0', u'\u2300', u'\u3042', u'\u30A2', u'\uFF71', u'\u56F3',
                       u'\uAC00', u'\u0416'})
        EXPECT_TRUE(GlyphCache::covers(c)) << int(c);
    // Combining marks, surrogate halves, scripts that join or reorder, controls.
    for (char16_t c : {u'\u0301', u'\u3099', char16_t(0xD83D), char16_t(0xDE00), u'\u0627', u'\u0915', u'\u0E01',
                       u'\u1100', u'\u200D', u'\t'})
        EXPECT_FALSE(GlyphCache::covers(c)) << int(c);

    // A mask is the character's ink; a space has none; half as wide, about half the ink.
    GlyphCache& cache = GlyphCache::instance();
    const auto ink = [](const GlyphMask& m) {
        double sum = 0;
        for (uchar a : m.alpha) sum += a / 255.0;
        return sum;
    };
    const auto full = cache.mask(u'\u56F3', 20, false, false, GlyphCache::kScaleSteps);
    const auto half = cache.mask(u'\u56F3', 20, false, false, GlyphCache::kScaleSteps / 2);
    ASSERT_TRUE(full && half);
    EXPECT_GE(full->width, 16);
    EXPECT_LE(full->top, -14);  // above the baseline
    EXPECT_NEAR(half->width, full->width / 2.0, 2);
    EXPECT_NEAR(ink(*half), ink(*full) / 2, ink(*full) * 0.15);
    EXPECT_EQ(cache.mask(u' ', 20, false, false, GlyphCache::kScaleSteps)->width, 0);
    EXPECT_EQ(cache.mask(u'A', GlyphCache::kMaxPixelSize + 1, false, false, GlyphCache::kScaleSteps), nullptr);

    // Over its budget the cache starts afresh; a mask held meanwhile stays whole.
    cache.setBudget(20000);
    const auto held = cache.mask(u'\u9762', 30, false, false, GlyphCache::kScaleSteps);
    for (char16_t c = u'\u4E00'; c < u'\u4E40'; ++c) cache.mask(c, 30, false, false, GlyphCache::kScaleSteps);
    EXPECT_LT(cache.size(), 40u);
    EXPECT_GT(ink(*held), 100);
    EXPECT_EQ(held->alpha.size(), std::size_t(held->width) * held->height);
    cache.setBudget(GlyphCache::kDefaultBudget);
}

}  // namespace
