// The scene of annotations: stacked fractions in multi-line texts, leader
// hook lines, multilines and multileaders holding a block.
#include <algorithm>
#include <gtest/gtest.h>

#include <cmath>

#include "SceneChecks.h"
#include "drawhost/SceneText.h"

using namespace drawhost;
using namespace scenetest;

namespace {

std::string n(double v) { return std::to_string(v); }

TEST(SceneAnnotationTest, StackedFractionsStandOneAboveTheOther) {
    Spec s;
    s.entities = object("MTEXT", {{10, "0"}, {20, "0"}, {40, "10"}, {71, "1"}, {1, "4\\S1/16;x"}}) +
                 object("MTEXT", {{10, "0"}, {20, "-100"}, {40, "10"}, {71, "1"}, {1, "\\S3#4;%%d"}}) +
                 object("MTEXT", {{10, "0"}, {20, "-200"}, {40, "10"}, {71, "1"}, {1, "\\S+0.1^ -0.2;"}}) +
                 object("MTEXT", {{10, "0"}, {20, "-300"}, {40, "10"}, {71, "1"}, {1, "\\Sa\\/b/c;"}});
    Built b(s);
    std::vector<const TextRun*> texts[4];
    std::vector<const Item*> bars[4];
    for (const Item& it : b.scene.space.items) {
        const int k = int(std::floor(-it.bounds.center().y() / 100 + 0.5));
        ASSERT_TRUE(k >= 0 && k < 4);
        if (it.kind == Item::Text) texts[k].push_back(&b.scene.space.texts.at(it.first));
        else if (it.kind == Item::Polyline) bars[k].push_back(&it);
    }
    // a/b: "4", the parts at 70 % centred over a bar across the wider part, then "x" after it.
    ASSERT_EQ(texts[0].size(), 4u);
    ASSERT_EQ(bars[0].size(), 1u);
    const TextRun &four = *texts[0][0], &upper = *texts[0][1], &lower = *texts[0][2], &x = *texts[0][3];
    EXPECT_EQ(upper.text, "1");
    EXPECT_EQ(lower.text, "16");
    EXPECT_NEAR(upper.height, 7, 1e-9);
    EXPECT_NEAR(lower.height, 7, 1e-9);
    const QPointF* bar = b.scene.space.pointsOf(*bars[0][0]);
    const double start = four.origin.x() + four.advance * 10, width = lower.advance * 7;
    EXPECT_NEAR(bar[0].x(), start, 1e-9);
    EXPECT_NEAR(bar[1].x(), start + width, 1e-9);
    EXPECT_NEAR(bar[0].y(), bar[1].y(), 1e-9);
    EXPECT_GT(upper.origin.y(), bar[0].y());  // above the bar
    EXPECT_LT(lower.origin.y() + lower.height, bar[0].y());  // below it
    EXPECT_NEAR(upper.origin.x() + upper.advance * 3.5, start + width / 2, 1e-9);  // centred
    EXPECT_NEAR(x.origin.x(), start + width, 1e-9);
    EXPECT_NEAR(x.origin.y(), four.origin.y(), 1e-9);
    // a#b: a slash rising from below the upper part's end to above the lower part's
    // start; the codes after it still expand.
    ASSERT_EQ(texts[1].size(), 3u);
    EXPECT_EQ(texts[1][2]->text, QStringLiteral("\u00B0"));
    ASSERT_EQ(bars[1].size(), 1u);
    const QPointF* slash = b.scene.space.pointsOf(*bars[1][0]);
    EXPECT_GT(slash[1].y() - slash[0].y(), 10);
    EXPECT_GT(slash[1].x(), slash[0].x());
    EXPECT_LE(texts[1][0]->bounds().right(), slash[1].x() + 1e-9);
    EXPECT_GE(texts[1][1]->bounds().left(), slash[0].x() - 1e-9);
    // a^b: a tolerance, upper over lower, no bar ("^ " is the file's caret).
    ASSERT_EQ(texts[2].size(), 2u);
    EXPECT_TRUE(bars[2].empty());
    EXPECT_EQ(texts[2][0]->text, "+0.1");
    EXPECT_EQ(texts[2][1]->text, "-0.2");
    EXPECT_GT(texts[2][0]->origin.y(), texts[2][1]->origin.y() + 7);
    // An escaped separator is text.
    ASSERT_EQ(texts[3].size(), 2u);
    EXPECT_EQ(texts[3][0]->text, "a/b");
    EXPECT_EQ(texts[3][1]->text, "c");
}

// How far an arrowhead reaches from its tip to the middle of its back.
double arrowLength(const Geometry& g, const Item& head) {
    const QPainterPath& path = g.fills.at(head.first);
    const QPointF tip = path.elementAt(0), back = (QPointF(path.elementAt(1)) + QPointF(path.elementAt(2))) / 2;
    return QLineF(tip, back).length();
}

// The leader's polyline (the first polyline of the space).
const Item& leaderLine(const Built& b) {
    for (const Item& it : b.scene.space.items)
        if (it.kind == Item::Polyline) return it;
    throw std::runtime_error("no leader line");
}

TEST(SceneAnnotationTest, LeaderHooksStartAnArrowLengthFromTheEnd) {
    // The arrow size comes from the dimension style's overrides in the extended data.
    const Groups dstyle = {{1001, "ACAD"}, {1000, "DSTYLE"}, {1002, "{"}, {1070, "41"}, {1040, "2.0"},
                           {1070, "40"}, {1040, "1.5"}, {1002, "}"}};
    auto leader = [&](Groups g) {
        g.insert(g.end(), dstyle.begin(), dstyle.end());
        return object("LEADER", g);
    };
    const Groups steep = {{73, "0"}, {76, "2"}, {10, "0"}, {20, "0"}, {10, "10"}, {20, "10"}, {340, "1F"}};
    auto with = [&](Groups flags) {
        flags.insert(flags.end(), steep.begin(), steep.end());
        return flags;
    };
    for (const auto& [groups, hookX] : std::vector<std::pair<Groups, double>>{
             {with({{74, "0"}, {75, "1"}}), 7},   // the hook vertex missing: put in, against 211
             {with({{74, "1"}, {75, "1"}}), 13},  // along 211
             {with({{74, "0"}, {75, "0"}}), 10},  // no hook
             {with({{74, "0"}}), 10},             // no flag in a DXF: no hook
         }) {
        Spec s;
        s.entities = leader(groups);
        Built b(s);
        const Item& line = leaderLine(b);
        const QPointF* p = b.scene.space.pointsOf(line);
        if (hookX == 10) {
            EXPECT_EQ(line.count, 2u);
            continue;
        }
        ASSERT_EQ(line.count, 3u);
        expectPoint(p[1], hookX, 10);  // 2 × 1.5 from the end
        expectPoint(p[2], 10, 10);
    }
    // A leader that already ends in its hook keeps its vertices; its
    // arrowhead is as long as the style's arrows.
    Spec s;
    s.entities = leader({{74, "0"}, {75, "1"}, {76, "3"}, {10, "0"}, {20, "0"}, {10, "7"}, {20, "10"}, {10, "10"}, {20, "10"}});
    Built b(s);
    EXPECT_EQ(leaderLine(b).count, 3u);
    const Item& head = b.scene.space.items.back();
    ASSERT_EQ(head.kind, Item::Fill);
    EXPECT_NEAR(arrowLength(b.scene.space, head), 3, 1e-9);

    // A spline leader (72 = 1) curves through its vertices up to its hook,
    // which stays straight.
    Spec curved;
    curved.entities = leader({{72, "1"}, {74, "0"}, {75, "1"}, {76, "4"}, {10, "0"}, {20, "0"}, {10, "4"}, {20, "6"},
                              {10, "7"}, {20, "10"}, {10, "10"}, {20, "10"}});
    Built c(curved);
    const Item& spline = leaderLine(c);
    const QPointF* q = c.scene.space.pointsOf(spline);
    ASSERT_GT(spline.count, 6u);
    expectPoint(q[0], 0, 0);
    EXPECT_TRUE(std::any_of(q, q + spline.count, [](const QPointF& p) { return QLineF(p, QPointF(4, 6)).length() < 1e-9; }));
    expectPoint(q[spline.count - 2], 7, 10);
    expectPoint(q[spline.count - 1], 10, 10);
    // Halfway to the second vertex the curve is off the straight segment.
    const QPointF half = q[4];
    EXPECT_GT(std::abs(half.x() * 6 - half.y() * 4) / std::hypot(4.0, 6.0), 1e-3);
}

TEST(SceneAnnotationTest, LeadersReadFromDwgDrawLikeTheirDxfTwins) {
    // The DXF has the hook vertex and the dimension style's arrow size (2.5,
    // where the header says 0.18); the DWG stores neither.
    const std::string corpus = LAMINOR_CORPUS_DIR;
    std::vector<QPolygonF> lines;
    for (const char* name : {"acadsharp_sample_AC1015_ascii.dxf", "acadsharp_sample_AC1015.dwg", "acadsharp_sample_AC1032.dwg"}) {
        const auto drawing = dxf::Drawing::open(corpus + "/" + name);
        std::vector<dxf::Entity> leaders;
        for (const dxf::Entity& e : drawing->modelSpace())
            if (e.type() == "LEADER") leaders.push_back(e);
        ASSERT_EQ(leaders.size(), 1u) << name;
        const Scene scene = buildScene(*drawing, leaders);
        ASSERT_EQ(scene.space.items.size(), 2u) << name;
        const Item& line = scene.space.items[0];
        lines.emplace_back(scene.space.pointsOf(line), scene.space.pointsOf(line) + line.count);
        ASSERT_EQ(scene.space.items[1].kind, Item::Fill);
        EXPECT_NEAR(arrowLength(scene.space, scene.space.items[1]), 2.5, 1e-9) << name;
    }
    ASSERT_EQ(lines[0].size(), 4);
    for (std::size_t k = 1; k < lines.size(); ++k) {
        ASSERT_EQ(lines[k].size(), lines[0].size());
        for (int i = 0; i < lines[0].size(); ++i) expectPoint(lines[k][i], lines[0][i].x(), lines[0][i].y(), 1e-9);
    }
}

TEST(SceneAnnotationTest, MultilinesReadFromDwgDrawLikeTheirDxfTwins) {
    // The DWG gives the multiline's vertices and parameters but not its style.
    const std::string corpus = LAMINOR_CORPUS_DIR;
    std::vector<std::vector<QPolygonF>> drawn;
    for (const char* name : {"acadsharp_sample_AC1015_ascii.dxf", "acadsharp_sample_AC1015.dwg", "acadsharp_sample_AC1032.dwg"}) {
        const auto drawing = dxf::Drawing::open(corpus + "/" + name);
        std::vector<dxf::Entity> mlines;
        for (const dxf::Entity& e : drawing->modelSpace())
            if (e.type() == "MLINE") mlines.push_back(e);
        ASSERT_FALSE(mlines.empty()) << name;
        const Scene scene = buildScene(*drawing, mlines);
        drawn.emplace_back();
        for (const Item& item : scene.space.items)
            if (item.kind == Item::Polyline) drawn.back().emplace_back(scene.space.pointsOf(item), scene.space.pointsOf(item) + item.count);
        ASSERT_FALSE(drawn.back().empty()) << name;
    }
    for (std::size_t k = 1; k < drawn.size(); ++k) {
        ASSERT_EQ(drawn[k].size(), drawn[0].size());
        for (std::size_t l = 0; l < drawn[0].size(); ++l) {
            ASSERT_EQ(drawn[k][l].size(), drawn[0][l].size()) << l;
            for (int i = 0; i < drawn[0][l].size(); ++i) expectPoint(drawn[k][l][i], drawn[0][l][i].x(), drawn[0][l][i].y(), 1e-9);
        }
    }
}

// The groups of a multiline vertex: its point, directions and per element its parameters.
Groups mlineVertex(double x, double y, QPointF direction, QPointF miter, const std::vector<std::vector<double>>& elements) {
    Groups g = {{11, n(x)}, {21, n(y)}, {31, "0"}, {12, n(direction.x())}, {22, n(direction.y())}, {32, "0"},
                {13, n(miter.x())}, {23, n(miter.y())}, {33, "0"}};
    for (const auto& p : elements) {
        g.emplace_back(74, std::to_string(p.size()));
        for (double v : p) g.emplace_back(41, n(v));
        g.emplace_back(75, "0");
    }
    return g;
}

TEST(SceneAnnotationTest, MultilinesDrawTheirElementsCapsAndMiters) {
    Spec s;
    // Three elements 1 apart, red, by layer and blue; miters shown, a line
    // across the start, a half circle round the end.
    s.objects = object("MLINESTYLE", {{5, "77"}, {2, "CAPS"}, {70, std::to_string(2 | 16 | 1024)}, {3, ""}, {62, "256"},
                                      {51, "90"}, {52, "90"}, {71, "3"}, {49, "1"}, {62, "1"}, {6, "BYLAYER"},
                                      {49, "0"}, {62, "256"}, {6, "BYLAYER"}, {49, "-1"}, {62, "5"}, {6, "BYLAYER"}});
    const double r = std::sqrt(2.0);
    Groups open = {{2, "CAPS"}, {340, "77"}, {40, "1"}, {70, "1"}, {71, "1"}, {72, "3"}, {73, "3"}, {10, "0"}, {20, "0"}};
    // Along x, then up; the middle element has a gap from 2 to 4 along its first segment.
    for (const Groups& v : {mlineVertex(0, 0, {1, 0}, {0, 1}, {{1, 0}, {0, 0, 2, 4}, {-1, 0}}),
                            mlineVertex(10, 0, {0, 1}, {-1 / r, 1 / r}, {{r, 0}, {0, 0}, {-r, 0}}),
                            mlineVertex(10, 10, {0, 1}, {-1, 0}, {{1, 0}, {0, 0}, {-1, 0}})})
        open.insert(open.end(), v.begin(), v.end());
    // Closed, without parameters: the style's offsets, scaled by 2, justified to the bottom.
    Groups closed = {{2, "CAPS"}, {340, "77"}, {40, "2"}, {70, "2"}, {71, "3"}, {72, "3"}, {73, "3"}, {10, "0"}, {20, "100"}};
    for (const Groups& v : {mlineVertex(0, 100, {1, 0}, {0, 1}, {}), mlineVertex(10, 100, {-1, 1}, {0, 1}, {}),
                            mlineVertex(0, 110, {0, -1}, {1, 0}, {})})
        closed.insert(closed.end(), v.begin(), v.end());
    s.entities = object("MLINE", open) + object("MLINE", closed);
    Built b(s);
    std::vector<std::vector<QPointF>> lines;
    std::vector<const Item*> items;
    for (const Item& it : b.scene.space.items) {
        ASSERT_EQ(it.kind, Item::Polyline);
        lines.emplace_back(b.scene.space.pointsOf(it), b.scene.space.pointsOf(it) + it.count);
        items.push_back(&it);
    }
    // Open: the left element, the middle one in two pieces, the right one,
    // the miter at the corner, the start line and the end's half circle.
    ASSERT_GE(lines.size(), 7u);
    ASSERT_EQ(lines[0].size(), 3u);
    expectPoint(lines[0][0], 0, 1);
    expectPoint(lines[0][1], 9, 1);
    expectPoint(lines[0][2], 9, 10);
    EXPECT_EQ(items[0]->rgb, aciColor(1).rgb());
    ASSERT_EQ(lines[1].size(), 2u);
    expectPoint(lines[1][1], 2, 0);
    ASSERT_EQ(lines[2].size(), 3u);
    expectPoint(lines[2][0], 4, 0);
    EXPECT_EQ(items[2]->colorBy, By::Layer);
    expectPoint(lines[3][1], 11, -1);
    EXPECT_EQ(items[3]->rgb, aciColor(5).rgb());
    expectPoint(lines[4][0], 9, 1);  // the miter line
    expectPoint(lines[4][1], 11, -1);
    expectPoint(lines[5][0], 0, 1);  // the start line
    expectPoint(lines[5][1], 0, -1);
    const std::vector<QPointF>& round = lines[6];  // from the right end round to the left, above the end
    expectPoint(round.front(), 11, 10);
    expectPoint(round.back(), 9, 10);
    EXPECT_NEAR(round[round.size() / 2].y(), 11, 0.05);
    // Closed: each element once round, no caps; the bottom element on the
    // vertices, the others 2 and 4 to its left.
    ASSERT_EQ(lines.size(), 7u + 3u + 3u);
    expectPoint(lines[7][0], 0, 104);   // offset 1, top: 2 × (1 - (-1)) from the bottom
    expectPoint(lines[9][0], 0, 100);   // offset -1, the bottom: on the vertex
    EXPECT_EQ(lines[9].size(), 4u);     // round the three sides
    expectPoint(lines[9].back(), 0, 100);

    // A style with its fill on: the area between the outermost elements,
    // in the style's fill colour, under them.
    Spec filled;
    filled.objects = object("MLINESTYLE", {{5, "78"}, {2, "FILLED"}, {70, "1"}, {3, ""}, {62, "3"}, {51, "90"}, {52, "90"},
                                           {71, "2"}, {49, "0.5"}, {62, "256"}, {6, "BYLAYER"}, {49, "-0.5"}, {62, "256"}, {6, "BYLAYER"}});
    Groups wall = {{2, "FILLED"}, {340, "78"}, {40, "1"}, {70, "1"}, {71, "1"}, {72, "2"}, {73, "2"}, {10, "0"}, {20, "0"}};
    for (const Groups& v : {mlineVertex(0, 0, {1, 0}, {0, 1}, {{0.5, 0}, {-0.5, 0}}), mlineVertex(10, 0, {1, 0}, {0, 1}, {{0.5, 0}, {-0.5, 0}})})
        wall.insert(wall.end(), v.begin(), v.end());
    filled.entities = object("MLINE", wall);
    Built f(filled);
    ASSERT_EQ(f.scene.space.items.size(), 3u);
    EXPECT_EQ(f.item(0).kind, Item::Fill);
    EXPECT_EQ(f.item(0).rgb, aciColor(3).rgb());
    EXPECT_EQ(f.item(0).bounds, QRectF(0, -0.5, 10, 1));
}

TEST(SceneAnnotationTest, MultileadersWithABlockDrawItWhereItStands) {
    Spec s;
    s.blockRecords = {{"TAG", "2F"}};
    s.blocks = block("TAG", 0, 0, object("LINE", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}));
    auto multileader = [](const std::string& handle) {
        return object("MULTILEADER", {{300, "CONTEXT_DATA{"}, {40, "1"}, {10, "5"}, {20, "3"}, {41, "4"}, {140, "1"},
                                      {290, "0"}, {296, "1"}, {341, handle}, {14, "0"}, {24, "0"}, {34, "1"},
                                      {15, "5"}, {25, "3"}, {35, "0"}, {16, "2"}, {26, "2"}, {36, "2"},
                                      {46, n(M_PI / 2)}, {93, "-1056964608"}, {302, "LEADER{"}, {290, "1"},
                                      {10, "4"}, {20, "3"}, {11, "1"}, {21, "0"}, {40, "0"}, {304, "LEADER_LINE{"},
                                      {10, "-10"}, {20, "-6"}, {305, "}"}, {303, "}"}, {301, "}"}, {170, "1"},
                                      {172, "1"}});
    };
    // The second names no block record: its leader still draws.
    s.entities = multileader("2F") + multileader("99");
    Built b(s);
    std::vector<const Item*> refs, lines;
    for (const Item& it : b.scene.space.items) {
        if (it.kind == Item::Instance) refs.push_back(&it);
        if (it.kind == Item::Polyline) lines.push_back(&it);
    }
    ASSERT_EQ(refs.size(), 1u);
    EXPECT_EQ(lines.size(), 2u);
    // At its position, twice its size, turned a quarter.
    const Instance& tag = b.scene.space.instances.at(refs[0]->first);
    expectPoint(tag.transform.map(QPointF(0, 0)), 5, 3);
    expectPoint(tag.transform.map(QPointF(1, 0)), 5, 5);
    EXPECT_EQ(b.scene.blocks.at(tag.block).items.size(), 1u);
}

}  // namespace
