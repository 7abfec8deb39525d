// The scene a drawing makes, one drawing feature at a time: what geometry
// each kind of object turns into, checked on small drawings made for it.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>

#include "SceneChecks.h"
#include "drawhost/DrawingScene.h"
#include "drawhost/LineRaster.h"
#include "drawhost/Linetypes.h"
#include "drawhost/ScenePainter.h"
#include "drawhost/SceneText.h"

using namespace drawhost;
using namespace scenetest;

namespace {

std::string n(double v) { return std::to_string(v); }

TEST(SceneTest, LinetypesScaleWithLtscaleAndTheObject) {
    Spec s;
    s.ltscale = "2";
    s.linetypes = {{"DASHED", {0.5, -0.25}}, {"DASHDOT", {0.5, -0.25, 0, -0.25}}};
    s.layers = {{"H", 1, "DASHED"}};
    s.entities = object("LINE", {{48, "0.5"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "0"}}, "H") +
                 object("LINE", {{6, "DASHDOT"}, {10, "0"}, {20, "1"}, {11, "10"}, {21, "1"}}, "H");
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 2u);
    EXPECT_EQ(b.scene.ltscale, 2);
    // By layer: the layer's pattern, at $LTSCALE times the object's own scale.
    const Item& line = b.item(0);
    EXPECT_EQ(line.linetype, kLinetypeByLayer);
    const Linetype& dashed = b.scene.linetypes.at(b.scene.layers.at(line.layer).linetype);
    EXPECT_EQ(dashed.name, "DASHED");
    std::vector<QLineF> dashes;
    std::vector<QPointF> dots;
    ASSERT_TRUE(strokePattern(b.scene.space.pointsOf(line), line.count, false, dashed.pattern,
                              b.scene.ltscale * line.linetypeScale, dashes, dots));
    // Dashes of 0.5 every 0.75 over 10 units: 13 whole ones and a quarter.
    ASSERT_EQ(dashes.size(), 14u);
    EXPECT_NEAR(dashes[0].length(), 0.5, 1e-9);
    expectPoint(dashes[1].p1(), 0.75, 0);
    EXPECT_NEAR(dashes.back().length(), 0.25, 1e-9);
    EXPECT_TRUE(dots.empty());

    // Its own linetype, with dots; the pattern runs on across a polyline's corners.
    const Item& dotted = b.item(1);
    const Linetype& dashdot = b.scene.linetypes.at(dotted.linetype);
    dashes.clear();
    ASSERT_TRUE(strokePattern(b.scene.space.pointsOf(dotted), dotted.count, false, dashdot.pattern, 2, dashes, dots));
    EXPECT_EQ(dots.size(), 5u);  // one every 2 units
    expectPoint(dots[0], 1.5, 1);
    const QPointF corner[3] = {QPointF(0, 0), QPointF(0.6, 0), QPointF(0.6, 1)};
    dashes.clear();
    ASSERT_TRUE(strokePattern(corner, 3, false, dashed.pattern, 1, dashes, dots));
    expectPoint(dashes[1].p1(), 0.6, 0.15);  // 0.1 of the dash went along the first side

    // A pattern repeating too often for its polyline is drawn solid.
    EXPECT_FALSE(strokePattern(corner, 3, false, dashed.pattern, 1e-9, dashes, dots));
}

TEST(SceneTest, ColorsAndLineweightsComeFromTheObjectTheLayerOrTheBlock) {
    Spec s;
    s.layers = {{"A", 1, "CONTINUOUS", 50, 0x123456}, {"B", 3}};
    s.blocks = block("K", 0, 0, object("LINE", {{62, "0"}, {370, "-2"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}));
    s.entities = object("LINE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}, "A") +
                 object("LINE", {{62, "5"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}, "A") +
                 object("LINE", {{62, "5"}, {420, std::to_string(0xFF8000)}, {370, "35"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}, "B") +
                 object("INSERT", {{2, "K"}, {62, "2"}, {10, "5"}, {20, "5"}}, "B");
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 4u);
    // The layer's true colour wins over its colour index.
    const SceneLayer& a = b.scene.layers.at(b.item(0).layer);
    EXPECT_EQ(b.item(0).colorBy, By::Layer);
    EXPECT_EQ(a.rgb, qRgb(0x12, 0x34, 0x56));
    EXPECT_EQ(a.lineweight, 50);
    EXPECT_EQ(b.item(0).lineweight, kLineweightByLayer);
    EXPECT_EQ(b.item(1).colorBy, By::Value);
    EXPECT_EQ(b.item(1).rgb, aciColor(5).rgb());
    EXPECT_EQ(b.item(2).rgb, qRgb(0xFF, 0x80, 0x00));
    EXPECT_EQ(b.item(2).lineweight, 35);
    // Inside a block: by block, on the reference's layer.
    const Item& ref = b.item(3);
    ASSERT_EQ(ref.kind, Item::Instance);
    EXPECT_EQ(ref.rgb, aciColor(2).rgb());
    const Item& inner = b.scene.blocks.at(b.scene.space.instances.at(ref.first).block).items.at(0);
    EXPECT_EQ(inner.colorBy, By::Block);
    EXPECT_EQ(inner.lineweight, kLineweightByBlock);
    EXPECT_EQ(inner.layer, kInheritLayer);
    EXPECT_EQ(aciColor(1).rgb(), qRgb(255, 0, 0));
    EXPECT_EQ(aciColor(11).rgb(), qRgb(255, 127, 127));
    EXPECT_EQ(aciColor(250).rgb(), qRgb(51, 51, 51));
}

TEST(SceneTest, TextsKeepTheirAlignmentHeightRotationAndWidth) {
    Spec s;
    const Groups abc = {{1, "ABC"}, {40, "2.5"}};
    auto text = [&](Groups extra) {
        Groups g = abc;
        g.insert(g.end(), extra.begin(), extra.end());
        return object("TEXT", g);
    };
    s.entities = text({{10, "10"}, {20, "10"}}) +
                 text({{10, "0"}, {20, "0"}, {11, "50"}, {21, "10"}, {72, "2"}}) +
                 text({{10, "0"}, {20, "0"}, {11, "30"}, {21, "20"}, {72, "4"}}) +
                 text({{10, "0"}, {20, "0"}, {50, "90"}}) +
                 text({{10, "0"}, {20, "0"}, {41, "0.5"}}) +
                 text({{10, "0"}, {20, "0"}, {11, "20"}, {21, "0"}, {72, "5"}}) +
                 text({{10, "0"}, {20, "0"}, {11, "20"}, {21, "0"}, {72, "3"}}) +
                 object("TEXT", {{1, "%%c100 %%d %%p0.5 100%%%"}, {40, "1"}, {10, "0"}, {20, "0"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 8u);
    const TextRun& plain = b.text(0);
    expectPoint(plain.origin, 10, 10);
    EXPECT_EQ(plain.height, 2.5);
    const double width = plain.advance * 2.5;
    EXPECT_GT(width, 2.5);  // three capitals are wider than high
    // Right aligned: the box ends at the alignment point.
    expectPoint(b.text(1).box()[1], 50, 10);
    // Middle: the box is centred on it.
    const QPolygonF middle = b.text(2).box();
    expectPoint((middle[0] + middle[2]) / 2, 30, 20);
    // Turned a quarter: the baseline runs up.
    expectPoint(b.text(3).box()[1], 0, width);
    // Half as wide.
    EXPECT_NEAR(b.text(4).box()[1].x(), width / 2, 1e-9);
    // Fit: squeezed between the points at its height; aligned: its height follows.
    expectPoint(b.text(5).box()[1], 20, 0);
    EXPECT_EQ(b.text(5).height, 2.5);
    expectPoint(b.text(6).box()[1], 20, 0);
    EXPECT_NEAR(b.text(6).height, 2.5 * 20 / width, 1e-9);
    EXPECT_EQ(b.text(7).text, QStringLiteral("\u2300100 \u00B0 \u00B10.5 100%"));
}

TEST(SceneTest, MultiLineTextsFollowTheirInlineCodesAndAttachment) {
    Spec s;
    s.entities =
        object("MTEXT", {{10, "0"}, {20, "0"}, {40, "2"}, {71, "1"}, {1, "First\\PSecond {\\H2x;Big}\\~{\\fArial|b1;end}"}}) +
        object("MTEXT", {{10, "100"}, {20, "100"}, {40, "2"}, {71, "5"}, {1, "One\\PTwo"}}) +
        object("MTEXT", {{10, "0"}, {20, "-50"}, {40, "1"}, {41, "3"}, {71, "1"}, {1, "aaa bbb ccc"}}) +
        object("MTEXT", {{10, "0"}, {20, "-80"}, {40, "1"}, {1, "{\\C1;red} %%d"}});
    Built b(s);
    std::vector<const Item*> first, middle, wrapped, colored;
    for (const Item& it : b.scene.space.items) {
        const TextRun& r = b.scene.space.texts.at(it.first);
        (r.origin.y() > -20 && r.origin.x() < 50 ? first : r.origin.x() > 50 ? middle : r.origin.y() > -70 ? wrapped : colored)
            .push_back(&it);
    }
    auto run = [&](const Item* it) -> const TextRun& { return b.scene.space.texts.at(it->first); };
    // \P starts a line 5/3 of the height lower; \H2x doubles the height; \~ is a space; \f|b1 makes a bold run.
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(run(first[0]).text, "First");
    expectPoint(run(first[0]).origin, 0, -2);
    EXPECT_EQ(run(first[1]).text, "Second ");
    EXPECT_EQ(run(first[2]).text, "Big");
    EXPECT_EQ(run(first[2]).height, 4);
    EXPECT_EQ(run(first[3]).text, "end");
    EXPECT_TRUE(run(first[3]).bold);
    EXPECT_FALSE(run(first[2]).bold);
    // The second line is as far below the first as its tallest run asks.
    EXPECT_NEAR(run(first[1]).origin.y(), -2 - 4 * 5.0 / 3, 1e-9);
    EXPECT_NEAR(run(first[2]).origin.x(), run(first[1]).origin.x() + run(first[1]).advance * 2, 1e-9);
    // Middle centre: the lines centred on the insertion point.
    ASSERT_EQ(middle.size(), 2u);
    QRectF box;
    for (const Item* it : middle) box = box.isNull() ? run(it).box().boundingRect() : box.united(run(it).box().boundingRect());
    EXPECT_NEAR(box.center().x(), 100, 0.5);
    EXPECT_NEAR(box.center().y(), 100, 1.0);
    // A reference width wraps words.
    ASSERT_EQ(wrapped.size(), 3u);
    EXPECT_EQ(run(wrapped[2]).text, "ccc");
    EXPECT_EQ(run(wrapped[2]).origin.x(), 0);
    // \C gives a run its colour; %%d works here too.
    ASSERT_EQ(colored.size(), 2u);
    EXPECT_EQ(colored[0]->colorBy, By::Value);
    EXPECT_EQ(colored[0]->rgb, aciColor(1).rgb());
    EXPECT_EQ(colored[1]->colorBy, By::Layer);
    EXPECT_EQ(run(colored[1]).text, QStringLiteral(" \u00B0"));
}

TEST(SceneTest, MultiLineTextColumnDataLeavesTheTextLevel) {
    Spec s;
    // After group 101 come the column data, whose 11/21 repeat the insertion point.
    s.entities = object("MTEXT", {{10, "22"}, {20, "60"}, {40, "1"}, {71, "1"}, {1, "SPLINE"}, {101, "Embedded Object"},
                                  {70, "1"}, {10, "1"}, {20, "0"}, {11, "22"}, {21, "60"}}) +
                 object("MTEXT", {{10, "0"}, {20, "0"}, {40, "1"}, {71, "1"}, {1, "up"}, {11, "0"}, {21, "1"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.texts.size(), 2u);
    EXPECT_NEAR(b.scene.space.texts[0].angle, 0, 1e-12);
    expectPoint(b.scene.space.texts[0].origin, 22, 59);
    EXPECT_NEAR(b.scene.space.texts[1].angle, M_PI / 2, 1e-12);
}

TEST(SceneTest, AttributesShowWithTheirReferenceUnlessInvisible) {
    Spec s;
    s.blocks = block("DOOR", 0, 0,
                     object("LINE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}) +
                         object("ATTDEF", {{1, "?"}, {2, "NO"}, {3, "Number"}, {40, "1"}, {10, "0"}, {20, "0"}}));
    s.entities = object("INSERT", {{66, "1"}, {2, "DOOR"}, {10, "100"}, {20, "0"}}) +
                 object("ATTRIB", {{1, "D-12"}, {2, "NO"}, {40, "1"}, {10, "0"}, {20, "0"}, {11, "100"}, {21, "0"},
                                   {72, "1"}, {74, "2"}}) +
                 object("ATTRIB", {{1, "hidden"}, {2, "NOTE"}, {40, "1"}, {70, "1"}, {10, "100"}, {20, "0"}}) +
                 object("SEQEND", {});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 2u);
    EXPECT_EQ(b.item(0).kind, Item::Instance);
    // The definition's tag is not drawn inside the reference.
    EXPECT_EQ(b.scene.blocks.at(0).items.size(), 1u);
    ASSERT_EQ(b.item(1).kind, Item::Text);
    EXPECT_EQ(b.text(1).text, "D-12");
    // Centred and middle (its vertical alignment is in group 74).
    const QPolygonF box = b.text(1).box();
    expectPoint((box[0] + box[2]) / 2, 100, 0);
}

TEST(SceneTest, DimensionsAndTablesDrawTheirBlockWhereTheyStand) {
    Spec s;
    s.blocks = block("*D1", 0, 0,
                     object("LINE", {{10, "0"}, {20, "0"}, {11, "10"}, {21, "0"}}) +
                         object("MTEXT", {{10, "5"}, {20, "1"}, {40, "1"}, {71, "8"}, {1, "10"}}));
    s.entities = object("DIMENSION", {{2, "*D1"}, {10, "0"}, {20, "0"}, {70, "32"}}) +
                 object("DIMENSION", {{2, "*D1"}, {12, "0"}, {22, "50"}, {70, "32"}}) +
                 // A table's block stands at its insertion point, along its direction; 41 is not a scale.
                 object("ACAD_TABLE", {{2, "*D1"}, {10, "100"}, {20, "0"}, {11, "0"}, {21, "1"}, {41, "0.03"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 3u);
    expectPoint(b.scene.space.instances.at(2).transform.map(QPointF(10, 0)), 100, 10);
    const Geometry& dim = b.scene.blocks.at(b.scene.space.instances.at(0).block);
    ASSERT_EQ(dim.items.size(), 2u);
    EXPECT_EQ(dim.items[0].kind, Item::Polyline);
    EXPECT_EQ(b.scene.space.instances.at(0).transform.map(dim.points[1]), QPointF(10, 0));
    EXPECT_EQ(b.scene.space.instances.at(1).transform.map(dim.points[1]), QPointF(10, 50));
    EXPECT_EQ(b.scene.space.texts.size() + dim.texts.size(), 1u);
    EXPECT_GE(b.scene.extents.bottom(), 51);  // the second one's text, 50 higher
}

TEST(SceneTest, HatchesFillOrLayTheirPatternInsideTheBoundary) {
    auto square = [](double lo, double hi) {
        return Groups{{92, "2"}, {72, "0"}, {73, "1"}, {93, "4"}, {10, n(lo)}, {20, n(lo)}, {10, n(hi)}, {20, n(lo)},
                      {10, n(hi)}, {20, n(hi)}, {10, n(lo)}, {20, n(hi)}, {97, "0"}};
    };
    auto hatch = [&](bool solid, const Groups& paths, int count, const Groups& pattern) {
        Groups g = {{10, "0"}, {20, "0"}, {2, solid ? "SOLID" : "LINES"}, {70, solid ? "1" : "0"}, {71, "0"}, {91, n(count)}};
        g.insert(g.end(), paths.begin(), paths.end());
        g.insert(g.end(), {{75, "0"}, {76, "1"}});
        g.insert(g.end(), pattern.begin(), pattern.end());
        return object("HATCH", g);
    };
    Groups holed = square(0, 10);
    const Groups hole = square(4, 6);
    holed.insert(holed.end(), hole.begin(), hole.end());
    // A circle made of one arc edge.
    const Groups circle = {{92, "1"}, {93, "1"}, {72, "2"}, {10, "50"}, {20, "0"}, {40, "5"}, {50, "0"}, {51, "360"}, {73, "1"}, {97, "0"}};
    const Groups lines = {{52, "0"}, {41, "1"}, {77, "0"}, {78, "1"}, {53, "0"}, {43, "0"}, {44, "0.5"}, {45, "0"}, {46, "1"}, {79, "0"}};
    const Groups dashes = {{52, "0"}, {41, "1"}, {77, "0"}, {78, "1"}, {53, "0"}, {43, "0"}, {44, "0.5"}, {45, "0"}, {46, "1"},
                           {79, "2"}, {49, "1"}, {49, "-1"}};
    Spec s;
    s.entities = hatch(true, square(0, 10), 1, {}) + hatch(true, circle, 1, {}) + hatch(false, holed, 2, lines) +
                 hatch(false, square(0, 10), 1, dashes);
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 4u);
    EXPECT_EQ(b.item(0).kind, Item::Fill);
    EXPECT_EQ(b.item(0).bounds, QRectF(0, 0, 10, 10));
    EXPECT_NEAR(b.item(1).bounds.left(), 45, 1e-6);
    EXPECT_NEAR(b.item(1).bounds.top(), -5, 0.01);
    EXPECT_NEAR(b.item(1).bounds.width(), 10, 0.01);

    // Ten rows at y = 0.5 ... 9.5; the two through the hole stop at it.
    ASSERT_EQ(b.item(2).kind, Item::Hatch);
    const HatchGeom& h = b.scene.space.hatches.at(b.item(2).first);
    EXPECT_EQ(h.spacing, 1);
    std::vector<QLineF> segments;
    std::vector<QPointF> dots;
    ASSERT_TRUE(hatchLines(h, segments, dots));
    EXPECT_EQ(segments.size(), 12u);
    for (const QLineF& l : segments) {
        EXPECT_GE(std::min(l.x1(), l.x2()), -1e-9);
        EXPECT_LE(std::max(l.x1(), l.x2()), 10 + 1e-9);
        if (l.y1() > 4 && l.y1() < 6) EXPECT_TRUE(std::max(l.x1(), l.x2()) <= 4 + 1e-9 || std::min(l.x1(), l.x2()) >= 6 - 1e-9);
    }
    // Dashes of 1 with gaps of 1: five a row.
    segments.clear();
    ASSERT_TRUE(hatchLines(b.scene.space.hatches.at(b.item(3).first), segments, dots));
    EXPECT_EQ(segments.size(), 50u);
    // Too dense: refused.
    EXPECT_FALSE(hatchLines(h, segments, dots, 5));
}

TEST(SceneTest, SolidFillsKeepTheirHolesWhenPainted) {
    // An outline with a hole, and a square over part of it in another colour.
    Groups paths = {{92, "2"}, {72, "0"}, {73, "1"}, {93, "4"}, {10, "0"}, {20, "0"}, {10, "10"}, {20, "0"}, {10, "10"}, {20, "10"},
                    {10, "0"}, {20, "10"}, {97, "0"}, {92, "2"}, {72, "0"}, {73, "1"}, {93, "4"}, {10, "4"}, {20, "4"}, {10, "6"},
                    {20, "4"}, {10, "6"}, {20, "6"}, {10, "4"}, {20, "6"}, {97, "0"}};
    Groups holed = {{10, "0"}, {20, "0"}, {2, "SOLID"}, {70, "1"}, {71, "0"}, {91, "2"}, {62, "1"}};
    holed.insert(holed.end(), paths.begin(), paths.end());
    holed.insert(holed.end(), {{75, "0"}, {76, "1"}});
    Spec s;
    s.entities = object("HATCH", holed) + object("SOLID", {{62, "3"}, {10, "8"}, {20, "8"}, {11, "12"}, {21, "8"}, {12, "8"},
                                                           {22, "12"}, {13, "12"}, {23, "12"}});
    Built b(s);
    // Straight into the pixels (RGB32) and through the painter (plain ARGB32).
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        QImage image(160, 160, format);
        image.fill(Qt::black);
        {
            QPainter p(&image);
            PaintOptions o;
            o.antialias = false;
            paintScene(p, b.scene, QTransform(10, 0, 0, -10, 10, 150), QRectF(image.rect()), o);
        }
        const auto at = [&](double x, double y) { return image.pixel(int(10 + x * 10), int(150 - y * 10)) & 0xFFFFFF; };
        EXPECT_EQ(at(2, 2), 0xFF0000u) << format;   // the outline's
        EXPECT_EQ(at(5, 5), 0u) << format;          // the hole
        EXPECT_EQ(at(9, 9), 0x00FF00u) << format;   // the later fill over it
        EXPECT_EQ(at(11, 11), 0x00FF00u) << format;
        EXPECT_EQ(at(13, 5), 0u) << format;
    }
}

TEST(SceneTest, WidePolylinesAndBulgesMakeTheirShapes) {
    Spec s;
    s.entities = object("LWPOLYLINE", {{90, "2"}, {70, "0"}, {10, "0"}, {20, "0"}, {42, "1"}, {10, "10"}, {20, "0"}}) +
                 object("LWPOLYLINE", {{90, "2"}, {70, "0"}, {43, "2"}, {10, "0"}, {20, "20"}, {10, "10"}, {20, "20"}}) +
                 object("LWPOLYLINE", {{90, "2"}, {70, "0"}, {10, "0"}, {20, "40"}, {40, "0"}, {41, "4"}, {10, "10"}, {20, "40"}}) +
                 object("LWPOLYLINE", {{90, "4"}, {70, "1"}, {10, "0"}, {20, "60"}, {10, "5"}, {20, "60"}, {10, "5"}, {20, "65"}, {10, "0"}, {20, "65"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 4u);
    // Bulge 1: a half circle, turning left from (0,0) to (10,0), so below the chord.
    const Item& arc = b.item(0);
    const QPointF* pts = b.scene.space.pointsOf(arc);
    for (std::uint32_t i = 0; i < arc.count; ++i) EXPECT_NEAR(QLineF(pts[i], QPointF(5, 0)).length(), 5, 1e-9);
    EXPECT_NEAR(arc.bounds.top(), -5, 0.05);
    EXPECT_NEAR(arc.bounds.bottom(), 0, 1e-9);
    // Widths make filled outlines.
    EXPECT_EQ(b.item(1).kind, Item::Fill);
    EXPECT_EQ(b.item(1).bounds, QRectF(0, 19, 10, 2));
    EXPECT_EQ(b.item(2).kind, Item::Fill);
    EXPECT_EQ(b.item(2).bounds, QRectF(0, 38, 10, 4));
    EXPECT_TRUE(b.scene.space.fills.at(b.item(2).first).contains(QPointF(9, 40)));
    EXPECT_FALSE(b.scene.space.fills.at(b.item(2).first).contains(QPointF(1, 40.8)));
    EXPECT_EQ(b.item(3).count, 4u);
    EXPECT_TRUE(b.item(3).flags & Item::Closed);
}

TEST(SceneTest, SplinesEllipticArcsAndPoints) {
    Spec s;
    Groups spline = {{70, "8"}, {71, "3"}, {72, "8"}, {73, "4"}};
    for (const char* k : {"0", "0", "0", "0", "1", "1", "1", "1"}) spline.emplace_back(40, k);
    for (auto [x, y] : {std::pair{0, 0}, {0, 10}, {10, 10}, {10, 0}}) spline.emplace_back(10, n(x)), spline.emplace_back(20, n(y));
    s.entities = object("SPLINE", spline) +
                 object("SPLINE", {{70, "8"}, {71, "3"}, {74, "3"}, {11, "0"}, {21, "0"}, {11, "5"}, {21, "5"}, {11, "10"}, {21, "0"}}) +
                 object("ELLIPSE", {{10, "0"}, {20, "0"}, {11, "10"}, {21, "0"}, {40, "0.5"}, {41, "0"}, {42, n(M_PI / 2)}}) +
                 object("POINT", {{10, "3"}, {20, "4"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 4u);
    // A cubic with clamped knots: from the first control point to the last, (5, 7.5) halfway.
    const Item& curve = b.item(0);
    const QPointF* pts = b.scene.space.pointsOf(curve);
    expectPoint(pts[0], 0, 0);
    expectPoint(pts[curve.count - 1], 10, 0);
    expectPoint(pts[curve.count / 2], 5, 7.5);
    // Through its fit points.
    const Item& fitted = b.item(1);
    bool through = false;
    for (std::uint32_t i = 0; i < fitted.count; ++i) through = through || QLineF(b.scene.space.pointsOf(fitted)[i], QPointF(5, 5)).length() < 1e-9;
    EXPECT_TRUE(through);
    // A quarter of an ellipse twice as wide as high.
    const ArcGeom& e = b.scene.space.arcs.at(b.item(2).first);
    expectPoint(e.at(e.t0), 10, 0);
    expectPoint(e.at(e.t1), 0, 5, 1e-5);
    EXPECT_NEAR(b.item(2).bounds.width(), 10, 1e-5);
    EXPECT_NEAR(b.item(2).bounds.height(), 5, 1e-5);
    EXPECT_EQ(b.item(3).kind, Item::Dot);
    EXPECT_EQ(b.scene.space.points.at(b.item(3).first), QPointF(3, 4));
}

TEST(SceneTest, BlockReferencesRepeatInRowsAndColumns) {
    Spec s;
    s.blocks = block("K", 1, 0, object("LINE", {{10, "1"}, {20, "0"}, {11, "2"}, {21, "0"}}));
    s.entities = object("INSERT", {{2, "K"}, {10, "100"}, {20, "100"}, {50, "90"}, {41, "2"}, {70, "3"}, {71, "2"}, {44, "10"}, {45, "20"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 1u);
    ASSERT_EQ(b.item(0).count, 6u);
    const auto& inst = b.scene.space.instances;
    // Block coordinates start at its base point; the spacing is along the turned axes.
    expectPoint(inst[0].transform.map(QPointF(0, 0)), 100, 100);
    expectPoint(inst[0].transform.map(QPointF(1, 0)), 100, 102);
    expectPoint(inst[1].transform.map(QPointF(0, 0)), 100, 110);
    expectPoint(inst[3].transform.map(QPointF(0, 0)), 80, 100);
    EXPECT_NEAR(b.scene.extents.top(), 100, 1e-9);
    EXPECT_NEAR(b.scene.extents.bottom(), 122, 1e-9);
}

TEST(SceneTest, ReferencesToMissingOrSelfHoldingBlocksDrawNothing) {
    Spec s;
    // A block holding a reference to itself, and a block that does not exist, named twice.
    s.blocks = block("SELF", 0, 0, object("LINE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}) +
                                       object("INSERT", {{2, "SELF"}, {10, "5"}, {20, "0"}}));
    s.entities = object("INSERT", {{2, "GONE"}, {10, "0"}, {20, "0"}}) + object("INSERT", {{2, "GONE"}, {10, "1"}, {20, "0"}}) +
                 object("DIMENSION", {{2, "GONE"}, {10, "0"}, {20, "0"}}) + object("INSERT", {{2, "SELF"}, {10, "0"}, {20, "0"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 1u);
    ASSERT_EQ(b.scene.blocks.size(), 1u);
    EXPECT_EQ(b.scene.blocks[0].items.size(), 1u);  // the line; the reference to itself is left out
}

TEST(SceneTest, ImagesAndWipeoutsAreOutlined) {
    Spec s;
    s.entities = object("IMAGE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}, {12, "0"}, {22, "1"}, {13, "100"}, {23, "50"}}) +
                 object("WIPEOUT", {{10, "0"}, {20, "0"}, {11, "0.1"}, {21, "0"}, {12, "0"}, {22, "0.1"}, {13, "1"}, {23, "1"},
                                    {71, "1"}, {91, "2"}, {14, "-0.5"}, {24, "-0.5"}, {14, "0.5"}, {24, "0.5"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 2u);
    EXPECT_EQ(b.item(0).bounds, QRectF(0, 0, 100, 50));
    EXPECT_TRUE(b.item(0).flags & Item::Closed);
    EXPECT_EQ(b.item(0).count, 4u);
    EXPECT_NEAR(b.item(1).bounds.width(), 0.1, 1e-9);
}

TEST(SceneTest, MultileadersDrawLinesArrowsLandingAndTextAndMeshesTheirFaces) {
    Spec s;
    s.entities =
        object("MULTILEADER", {{270, "2"}, {300, "CONTEXT_DATA{"}, {40, "1"}, {10, "12"}, {20, "5"}, {41, "0.5"}, {140, "0.3"},
                               {290, "1"}, {304, "Note"}, {12, "12.1"}, {22, "5.25"}, {13, "1"}, {23, "0"}, {171, "1"},
                               {302, "LEADER{"}, {290, "1"}, {10, "10"}, {20, "5"}, {11, "1"}, {21, "0"}, {40, "2"},
                               {304, "LEADER_LINE{"}, {10, "0"}, {20, "0"}, {10, "4"}, {20, "3"}, {305, "}"},
                               {303, "}"}, {301, "}"}, {170, "1"}, {291, "1"}, {42, "0.18"}}) +
        // Two triangles sharing an edge; a face naming a missing vertex is left out.
        object("MESH", {{71, "2"}, {72, "0"}, {91, "0"}, {92, "4"}, {10, "0"}, {20, "20"}, {30, "0"}, {10, "1"}, {20, "20"},
                        {30, "0"}, {10, "1"}, {20, "21"}, {30, "0"}, {10, "0"}, {20, "21"}, {30, "0"}, {93, "12"},
                        {90, "3"}, {90, "0"}, {90, "1"}, {90, "2"}, {90, "3"}, {90, "0"}, {90, "2"}, {90, "3"}, {90, "0"},
                        {90, "1"}, {90, "9"}});
    Built b(s);
    std::vector<const Item*> lines, fills, texts;
    for (const Item& item : b.scene.space.items)
        (item.kind == Item::Polyline ? lines : item.kind == Item::Fill ? fills : texts).push_back(&item);
    ASSERT_EQ(lines.size(), 4u);
    ASSERT_EQ(fills.size(), 1u);
    ASSERT_EQ(texts.size(), 1u);
    // The leader runs from its arrow's tip through its vertices to the landing,
    // the dogleg on from there along its direction.
    const QPointF* leader = b.scene.space.pointsOf(*lines[0]);
    ASSERT_EQ(lines[0]->count, 3u);
    expectPoint(leader[0], 0, 0);
    expectPoint(leader[2], 10, 5);
    const QPointF* dogleg = b.scene.space.pointsOf(*lines[1]);
    expectPoint(dogleg[0], 10, 5);
    expectPoint(dogleg[1], 12, 5);
    // The arrowhead of the context's size points along the first segment.
    EXPECT_NEAR(fills[0]->bounds.left(), 0, 1e-9);
    EXPECT_NEAR(QLineF(QPointF(), fills[0]->bounds.bottomRight()).length(), 0.3, 0.05);
    // The text hangs from its location (attached top left) at its height.
    const TextRun& note = b.scene.space.texts.at(texts[0]->first);
    EXPECT_EQ(note.text, "Note");
    EXPECT_NEAR(note.height, 0.5, 1e-9);
    EXPECT_NEAR(note.origin.x(), 12.1, 1e-9);
    EXPECT_LT(note.origin.y(), 5.25);
    // The mesh: each whole face as a closed outline.
    EXPECT_TRUE(lines[2]->flags & Item::Closed);
    EXPECT_EQ(lines[2]->count, 3u);
    EXPECT_EQ(lines[3]->bounds, QRectF(0, 20, 1, 1));
}

TEST(SceneTest, LayersOffOrFrozenAreHiddenAsTheirStateChanges) {
    Spec s;
    s.layers = {{"WALL", 1}, {"DOOR", 2}};
    s.blocks = block("B", 0, 0, object("LINE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}) +
                                    object("LINE", {{10, "0"}, {20, "0"}, {11, "0"}, {21, "1"}}, "DOOR"));
    s.entities = object("INSERT", {{2, "B"}, {10, "0"}, {20, "0"}}, "WALL");
    Built b(s);
    const std::int32_t wall = b.scene.layerIndex("wall"), door = b.scene.layerIndex("DOOR");
    ASSERT_GE(wall, 0);
    EXPECT_EQ(b.item(0).layer, wall);
    const Geometry& block = b.scene.blocks.at(0);
    EXPECT_EQ(block.items.at(0).layer, kInheritLayer);  // drawn on the reference's layer
    EXPECT_EQ(block.items.at(1).layer, door);
    EXPECT_TRUE(b.scene.layerShows(wall));
    b.drawing->layer("WALL").setLayerOn(false);
    b.drawing->layer("DOOR").setFreeze(true);
    b.drawing->layer("DOOR").setColor(4);
    b.scene.refreshLayers(*b.drawing);
    EXPECT_FALSE(b.scene.layerShows(wall));
    EXPECT_FALSE(b.scene.layerShows(door));
    EXPECT_EQ(b.scene.layers.at(door).rgb, aciColor(4).rgb());
}

TEST(SceneTest, MirroredObjectCoordinatesAndPolylineVertices) {
    Spec s;
    s.entities = object("ARC", {{10, "5"}, {20, "0"}, {40, "1"}, {50, "0"}, {51, "90"}, {210, "0"}, {220, "0"}, {230, "-1"}}) +
                 object("POLYLINE", {{66, "1"}, {70, "1"}, {10, "0"}, {20, "0"}}) +
                 object("VERTEX", {{10, "0"}, {20, "0"}}) + object("VERTEX", {{10, "4"}, {20, "0"}, {42, "1"}}) +
                 object("VERTEX", {{10, "8"}, {20, "0"}}) + object("SEQEND", {});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), 2u);
    // Seen from below: x runs the other way.
    const ArcGeom& a = b.scene.space.arcs.at(b.item(0).first);
    expectPoint(a.center, -5, 0);
    expectPoint(a.at(a.t0), -6, 0);
    expectPoint(a.at(a.t1), -5, 1);
    // An old-style polyline's vertices come from the records after it, bulges included.
    EXPECT_TRUE(b.item(1).flags & Item::Closed);
    EXPECT_NEAR(b.item(1).bounds.top(), -2, 0.01);
    EXPECT_GT(b.item(1).count, 3u);
}

TEST(SceneTest, TheGridFindsTheItemsInARectangle) {
    Spec s;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j)
            s.entities += object("LINE", {{10, n(i * 10)}, {20, n(j * 10)}, {11, n(i * 10 + 5)}, {21, n(j * 10)}});
    s.entities += object("LINE", {{10, "-1000"}, {20, "-1000"}, {11, "1000"}, {21, "1000"}});
    Built b(s);
    // Built when first needed, not with the scene.
    EXPECT_EQ(b.scene.space.grid.columns, 0);
    std::vector<std::uint32_t> found;
    b.scene.space.itemsIn(QRectF(101, 101, 18, 18), found);
    ASSERT_GT(b.scene.space.grid.columns, 0);
    // The short lines of row y = 110 from x = 100 and 110, and the long diagonal.
    ASSERT_EQ(found.size(), 3u);
    b.scene.space.itemsIn(QRectF(99, 99, 22, 22), found);
    EXPECT_EQ(found.size(), 3u * 3 + 1);
    for (std::size_t i = 1; i < found.size(); ++i) EXPECT_LT(found[i - 1], found[i]);
}

TEST(SceneTest, TwoThreadsBuildTheSceneOneThreadBuilds) {
    // Every kind of object, on layers of the table and names it lacks, with
    // blocks first referenced from either half: each thread builds half.
    Spec s;
    s.layers = {{"A", 1}, {"B", 3}};
    s.blocks = block("INNER", 0, 0, object("CIRCLE", {{10, "0"}, {20, "0"}, {40, "1"}})) +
               block("OUTER", 2, 0, object("LINE", {{10, "0"}, {20, "0"}, {11, "4"}, {21, "0"}}) +
                                        object("INSERT", {{2, "INNER"}, {10, "2"}, {20, "0"}}));
    for (int i = 0; i < 400; ++i) {
        const std::string layer = i % 3 == 0 ? "A" : i % 3 == 1 ? "B" : "X" + std::to_string(i % 7);
        const std::string x = n(i * 10), y = n(i % 20);
        s.entities += object("LINE", {{10, x}, {20, y}, {11, n(i * 10 + 5)}, {21, y}}, layer) +
                      object("ARC", {{10, x}, {20, y}, {40, "2"}, {50, "0"}, {51, "90"}}, layer) +
                      object("TEXT", {{10, x}, {20, y}, {40, "1"}, {1, "\x93\xfa\x96\x7b " + std::to_string(i)}}, layer) +
                      object("MTEXT", {{10, x}, {20, y}, {40, "1"}, {1, "a\\Pb"}}, layer) +
                      object("LWPOLYLINE", {{90, "3"}, {70, "1"}, {10, x}, {20, "0"}, {10, x}, {20, "5"}, {10, "1"}, {20, "5"}}, layer) +
                      object("SOLID", {{10, x}, {20, "0"}, {11, x}, {21, "1"}, {12, "0"}, {22, "1"}}, layer) +
                      object("POINT", {{10, x}, {20, y}}, layer) +
                      object("INSERT", {{2, i < 200 ? "INNER" : "OUTER"}, {10, x}, {20, y}}, layer) +
                      object("INSERT", {{2, i < 200 ? "OUTER" : "INNER"}, {10, x}, {20, y}}, layer);
    }
    const auto drawing = scenetest::drawing(s);
    const Scene one = buildScene(*drawing, drawing->modelSpace(), 1);
    const Scene two = buildScene(*drawing, drawing->modelSpace(), 2);
    ASSERT_EQ(two.space.items.size(), one.space.items.size());
    EXPECT_EQ(two.extents, one.extents);
    EXPECT_EQ(two.layers.size(), one.layers.size());
    EXPECT_EQ(two.blocks.size(), one.blocks.size());
    for (std::size_t i = 0; i < one.space.items.size(); ++i) {
        const Item &a = one.space.items[i], &b = two.space.items[i];
        ASSERT_EQ(b.kind, a.kind) << i;
        EXPECT_EQ(b.bounds, a.bounds) << i;
        EXPECT_EQ(b.rgb, a.rgb) << i;
        EXPECT_EQ(two.layers.at(b.layer).name, one.layers.at(a.layer).name) << i;
        ASSERT_EQ(b.count, a.count) << i;
        switch (a.kind) {
        case Item::Polyline:
        case Item::Dot:
            for (std::uint32_t k = 0; k < a.count; ++k) EXPECT_EQ(two.space.points[b.first + k], one.space.points[a.first + k]);
            break;
        case Item::Arc: EXPECT_EQ(two.space.arcs[b.first].center, one.space.arcs[a.first].center) << i; break;
        case Item::Text: EXPECT_EQ(two.space.texts[b.first].text, one.space.texts[a.first].text) << i; break;
        case Item::Fill: EXPECT_EQ(two.space.fills[b.first], one.space.fills[a.first]) << i; break;
        case Item::Instance: {
            const Instance &p = one.space.instances[a.first], &q = two.space.instances[b.first];
            EXPECT_EQ(q.transform, p.transform) << i;
            EXPECT_EQ(two.blocks[q.block].items.size(), one.blocks[p.block].items.size()) << i;
            break;
        }
        default: break;
        }
    }
}

TEST(SceneTest, BlocksHoldingEachOtherDoNotHoldUpTwoThreads) {
    // Each thread may start on one block of the pair while the other starts
    // on the other one; neither may wait for the other for good.
    Spec s;
    s.blocks = block("P", 0, 0, object("LINE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}) + object("INSERT", {{2, "Q"}})) +
               block("Q", 0, 0, object("LINE", {{10, "0"}, {20, "0"}, {11, "0"}, {21, "1"}}) + object("INSERT", {{2, "P"}}));
    for (int i = 0; i < 600; ++i) s.entities += object("INSERT", {{2, i < 256 ? "P" : "Q"}, {10, n(i)}, {20, "0"}});
    const auto drawing = scenetest::drawing(s);
    for (int round = 0; round < 60; ++round) {
        const Scene two = buildScene(*drawing, drawing->modelSpace(), 2);
        EXPECT_EQ(two.space.items.size(), 600u);
    }
}

TEST(SceneTest, LinesRasterisedInTwoBandsOfRowsLightThePixelsOfOne) {
    // Lines of every slope, some crossing the bands' seam or the clip, antialiased or not.
    std::vector<QLineF> lines;
    std::uint32_t seed = 7;
    const auto next = [&seed] { return (seed = seed * 1103515245 + 12345) >> 8 & 0xFFFF; };
    for (int i = 0; i < 3000; ++i)
        lines.emplace_back(next() % 260 - 30, next() % 220 - 30, next() % 260 - 30, next() % 220 - 30);
    for (bool antialias : {false, true}) {
        QImage whole(200, 160, QImage::Format_RGB32), banded = whole;
        whole.fill(Qt::black);
        banded.fill(Qt::black);
        const QRect clip(5, 5, 190, 150);
        LineRaster one(whole, clip);
        LineRaster upper(banded, clip, INT_MIN, 79), lower(banded, clip, 80, INT_MAX);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const QRgb color = qRgb(int(i * 37 % 256), int(i * 91 % 256), 200);
            one.line(lines[i], color, antialias);
            upper.line(lines[i], color, antialias);
            lower.line(lines[i], color, antialias);
        }
        EXPECT_EQ(banded, whole) << antialias;
    }
}

TEST(SceneTest, ConvexFillsLightThePixelsThePainterLights) {
    // Triangles, turned rectangles and hexagons, opaque and as tints over a
    // pattern, some reaching past the clip; then outlines that are not convex.
    std::uint32_t seed = 11;
    const auto next = [&seed] { return double((seed = seed * 1103515245 + 12345) >> 8 & 0xFFFF) / 65536; };
    long lit = 0, differ = 0;
    for (int shape = 0; shape < 300; ++shape) {
        QImage ours(80, 60, QImage::Format_RGB32);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) ours.setPixel(x, y, qRgb(x * 3, y * 4, (x ^ y) & 0xFF));
        QImage theirs = ours.copy();  // (the raster writes in place, past any sharing)
        const int corners = 3 + shape % 4;
        const QPointF centre(-10 + 100 * next(), -10 + 80 * next());
        const double r = 2 + 30 * next(), turn = 6.3 * next();
        std::vector<QPointF> pts;
        for (int k = 0; k < corners; ++k) pts.emplace_back(centre.x() + r * std::cos(turn + 6.2832 * k / corners),
                                                           centre.y() + 0.7 * r * std::sin(turn + 6.2832 * k / corners));
        const QRgb color = qRgba(200, 40, 90, shape % 3 ? 255 : 96);
        const QRect clip(2, 3, 75, 54);
        LineRaster raster(ours, clip);
        ASSERT_TRUE(raster.convex(pts.data(), int(pts.size()), color)) << shape;
        QPainter p(&theirs);
        p.setClipRect(clip);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgba(color));
        p.drawPolygon(pts.data(), int(pts.size()), Qt::OddEvenFill);
        p.end();
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                const QRgb a = ours.pixel(x, y), b = theirs.pixel(x, y);
                if (a != b) ++differ;
                if (b != qRgb(x * 3, y * 4, (x ^ y) & 0xFF)) ++lit;
            }
    }
    // The painter finds the edges in fixed point: a pixel whose centre lies
    // on an edge may go either way, and nothing else may differ.
    EXPECT_GT(lit, 20000);
    EXPECT_LT(differ, lit / 500);

    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QImage black = image.copy();
    LineRaster raster(image, image.rect());
    const QPointF star[5] = {{20, 0}, {32, 36}, {1, 13}, {39, 13}, {8, 36}};
    const QPointF notch[6] = {{0, 0}, {30, 0}, {30, 30}, {15, 10}, {0, 30}, {0, 0}};
    const QPointF line[3] = {{0, 0}, {10, 10}, {20, 20}};
    EXPECT_FALSE(raster.convex(star, 5, qRgb(255, 0, 0)));
    EXPECT_FALSE(raster.convex(notch, 6, qRgb(255, 0, 0)));
    EXPECT_TRUE(raster.convex(line, 3, qRgb(255, 0, 0)));  // nothing to fill
    EXPECT_EQ(image, black);
}

TEST(SceneTest, CoordinatesReadAsTheStandardLibraryReadsThem) {
    // Plain decimals take a short way; the others the library's.
    const std::vector<std::string> texts = {"0", "-0", "12.5", "-12.5", "+3", "1.", ".25", "-.25", "0.1",
                                            "123456789.123456", "1234567890123456789", "0.30000000000000004",
                                            "1e3", "-2.5E-3", "99999999999999.9", "0.000000000000001234",
                                            "5876.601077409746", "-0.1234567890123456", "9007199254740.993",
                                            "9007199254740992", "9007199254740993", "0.9999999999999999999"};
    Spec s;
    for (const std::string& t : texts) s.entities += object("LINE", {{10, t}, {20, "0"}, {11, "1"}, {21, "1"}});
    Built b(s);
    ASSERT_EQ(b.scene.space.items.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string_view v(texts[i]);
        if (v.front() == '+') v.remove_prefix(1);
        double expected = 0;
        std::from_chars(v.data(), v.data() + v.size(), expected);
        const double got = b.scene.space.pointsOf(b.item(i))[0].x();
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected)) << texts[i];
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
