// The lineweight and colour tables, a layer's settings as texts, and the
// choice lists of the state rule dialog.
#include <gtest/gtest.h>

#include "host/ValueLists.h"
#include "host/tests/FakeDrawingHost.h"

namespace {

using namespace host;

TEST(Lineweights, NamesAndValuesBothWays) {
    LineweightTable table;
    subGetLineweightTable(table);
    ASSERT_EQ(table.size(), 27u);
    EXPECT_EQ(table.front().name, QStringLiteral("ByLayer"));
    EXPECT_EQ(table.back().name, QStringLiteral("2.11 mm"));
    EXPECT_EQ(fun_lGetLineweightValue(QStringLiteral("1.48 mm")), 158);
    EXPECT_EQ(lineweightName(158), QStringLiteral("1.48 mm"));
    EXPECT_TRUE(lineweightName(148).isNull());
    EXPECT_EQ(fun_lGetLineweightValue(QStringLiteral("0.25 mm")), 25);
    EXPECT_EQ(fun_lGetLineweightValue(QStringLiteral("ByLayer")), -1);
    // Exact names only; everything else is Default.
    EXPECT_EQ(fun_lGetLineweightValue(QStringLiteral("bylayer")), -3);
    EXPECT_EQ(fun_lGetLineweightValue(QStringLiteral("0.25mm")), -3);
    EXPECT_EQ(fun_lGetLineweightValue(QString()), -3);
}

TEST(Colors, TellingRowsOfThePalette) {
    struct Row {
        int index;
        long r, g, b;
    };
    const Row rows[] = {
        {1, 255, 0, 0},     {2, 255, 255, 0},   {7, 255, 255, 255}, {8, 128, 128, 128}, {9, 192, 192, 192},
        {10, 255, 0, 0},    {11, 255, 127, 127}, {20, 255, 63, 0},  {21, 255, 159, 127}, {40, 255, 191, 0},
        {50, 255, 255, 0},  {128, 0, 76, 57},   {130, 0, 255, 255}, {170, 0, 0, 255},   {210, 255, 0, 255},
        {249, 76, 38, 47},  {250, 51, 51, 51},  {254, 214, 214, 214}, {255, 255, 255, 255},
        // Outside the table: red.
        {0, 255, 0, 0},     {256, 255, 0, 0},   {257, 255, 0, 0},   {-1, 255, 0, 0},
    };
    for (const Row& row : rows) {
        long r = -1, g = -1, b = -1;
        subGetColorRGB(row.index, r, g, b);
        EXPECT_EQ(r, row.r) << row.index;
        EXPECT_EQ(g, row.g) << row.index;
        EXPECT_EQ(b, row.b) << row.index;
    }
    EXPECT_EQ(colorTable().at(11), QStringLiteral("255,127,127"));
}

TEST(Colors, ShadesNeverExceedTheirBrightness) {
    // Even shades are brightness × c, odd ones the paler brightness × (1 + c) / 2.
    static const int brightness[10] = {255, 255, 204, 204, 153, 153, 127, 127, 76, 76};
    for (int index = 10; index <= 249; ++index) {
        long r, g, b;
        subGetColorRGB(index, r, g, b);
        const long top = brightness[index % 10];
        EXPECT_EQ(std::max({r, g, b}), top) << index;
        if (index % 2 == 1) EXPECT_GE(std::min({r, g, b}), top / 2) << index;
    }
}

TEST(LayerState, EightTextsFromTheHost) {
    auto state = std::make_shared<fakehost::HostState>();
    auto& file = state->file(QStringLiteral("/p/a.dwg"));
    auto& wall = file.layer(QStringLiteral("WALL"));
    wall.on = false;
    wall.locked = true;
    wall.color = 3;
    wall.linetype = QStringLiteral("DASHED");
    wall.lineweight = 158;
    wall.plotStyle = QStringLiteral("Style1");
    wall.plottable = false;
    file.layer(QStringLiteral("ODD")).lineweight = 148;
    auto app = fakehost::makeApplication(state);
    auto doc = app->documents()->open(QStringLiteral("/p/a.dwg"));

    QStringList vState;
    ASSERT_TRUE(fun_bGetLayerState(doc->layers()->item(QStringLiteral("WALL")), vState));
    EXPECT_EQ(vState, (QStringList{QStringLiteral("しない"), QStringLiteral("しない"), QStringLiteral("する"),
                                   QStringLiteral("3"), QStringLiteral("DASHED"), QStringLiteral("1.48 mm"),
                                   QStringLiteral("Style1"), QStringLiteral("しない")}));
    // The list is reused: a lineweight without a row must not keep WALL's.
    ASSERT_TRUE(fun_bGetLayerState(doc->layers()->item(QStringLiteral("ODD")), vState));
    EXPECT_EQ(vState[5], QString());
    EXPECT_EQ(vState[0], QStringLiteral("する"));

    auto layer = doc->layers()->item(QStringLiteral("WALL"));
    doc->close(false);
    QStringList fresh;
    EXPECT_FALSE(fun_bGetLayerState(layer, fresh));
    EXPECT_EQ(fresh.size(), 8);
}

TEST(ChoiceLists, EntriesAfterNoChange) {
    EXPECT_EQ(yesNoChoices(), (QStringList{kNoChange, kYes, kNo}));
    const QStringList colors = colorChoices();
    ASSERT_EQ(colors.size(), 256);
    EXPECT_EQ(colors.at(0), kNoChange);
    EXPECT_EQ(colors.at(3), QStringLiteral("3"));
    EXPECT_EQ(colors.at(255), QStringLiteral("255"));

    const QStringList weights = lineweightChoices();
    ASSERT_EQ(weights.size(), 26);
    EXPECT_EQ(weights.at(1), QStringLiteral("Default"));
    EXPECT_EQ(weights.last(), QStringLiteral("2.11 mm"));

    EXPECT_EQ(linetypeChoices({QStringLiteral("BYLAYER"), QStringLiteral("byBlock"), QStringLiteral("Continuous"),
                               QStringLiteral("DASHED")}),
              (QStringList{kNoChange, QStringLiteral("Continuous"), QStringLiteral("DASHED")}));
    // A name already inside the names offered before it is not offered again.
    EXPECT_EQ(plotStyleChoices({QStringLiteral("Normal"), QStringLiteral("Style1"), QStringLiteral("Normal"),
                                QStringLiteral("Style"), QStringLiteral("Thick")}),
              (QStringList{kNoChange, QStringLiteral("Normal"), QStringLiteral("Style1"), QStringLiteral("Thick")}));
}

TEST(LeadingNumber, ReadsTheNumericStart) {
    EXPECT_EQ(leadingNumber(QStringLiteral("5")), 5);
    EXPECT_EQ(leadingNumber(QStringLiteral(" 12abc")), 12);
    EXPECT_EQ(leadingNumber(QStringLiteral("2.5")), 2.5);
    EXPECT_EQ(leadingNumber(QStringLiteral("-4")), -4);
    EXPECT_EQ(leadingNumber(QStringLiteral("red")), 0);
    EXPECT_EQ(leadingNumber(QString()), 0);
}

}  // namespace
