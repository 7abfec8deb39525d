// Reading the window's lists into list tables: shapes, holes, packing and
// the "no table" state of an empty list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTreeWidget>

#include "main/ListConversion.h"

namespace mainwin {
namespace {

class ListTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        names.resize(400, 150);
        states.resize(400, 150);
        drawings.resize(400, 150);
        subInitLstvLayerName(names);
        subInitLstvLayerState(states);
        subInitLstvDWGs(drawings);
    }
    QTreeWidget names, states, drawings;
};

TEST_F(ListTableTest, EmptyListsGiveNoTable) {
    EXPECT_FALSE(subGetLayerNameListSelected(names).has_value());
    EXPECT_FALSE(subGetLayerNameListAll(names).has_value());
    EXPECT_FALSE(subGetLayerStateListSelected(states).has_value());
    EXPECT_FALSE(subGetLayerStateListAll(states).has_value());
    EXPECT_FALSE(subGetDWGListSelected(drawings).has_value());
}

TEST_F(ListTableTest, SelectedRulesKeepOneRowPerListRowWithHoles) {
    appendRow(names, {"a", "A"});
    appendRow(names, {"b", ""});  // a selected rule with an empty replacement
    appendRow(names, {"c", "C"});
    names.topLevelItem(1)->setSelected(true);

    const auto table = subGetLayerNameListSelected(names);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->upperRow(), 2);
    EXPECT_EQ(table->upperColumn(), 2);
    for (int c = 0; c < 3; ++c) {
        EXPECT_TRUE(table->isEmpty(0, c)) << c;
        EXPECT_TRUE(table->isEmpty(2, c)) << c;
    }
    EXPECT_EQ(table->at(1, 0), "2");
    EXPECT_EQ(table->at(1, 1), "b");
    // Written, though empty: only unselected rows have unwritten cells.
    EXPECT_FALSE(table->isEmpty(1, 2));
    EXPECT_EQ(table->at(1, 2), "");
}

TEST_F(ListTableTest, RowsWithoutSelectionGiveAFullSizeEmptyTable) {
    appendRow(names, {"a", "A"});
    appendRow(names, {"b", "B"});
    const auto table = subGetLayerNameListSelected(names);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->rows(), 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_TRUE(table->isEmpty(r, c));
}

TEST_F(ListTableTest, DrawingTableIsTransposedAndPacksSelectedToTheFront) {
    appendRow(drawings, {"one.dwg", "/d/one.dwg"});
    appendRow(drawings, {"two.dwg", "/d/two.dwg"});
    appendRow(drawings, {"three.dwg", "/d/three.dwg"});
    drawings.topLevelItem(1)->setSelected(true);
    drawings.topLevelItem(2)->setSelected(true);

    const auto table = subGetDWGListSelected(drawings);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->upperRow(), 1);
    EXPECT_EQ(table->upperColumn(), 2);
    EXPECT_EQ(table->at(0, 0), "two.dwg");
    EXPECT_EQ(table->at(1, 0), "/d/two.dwg");
    EXPECT_EQ(table->at(0, 1), "three.dwg");
    EXPECT_EQ(table->at(1, 1), "/d/three.dwg");
    EXPECT_TRUE(table->isEmpty(0, 2));
    EXPECT_TRUE(table->isEmpty(1, 2));
}

TEST_F(ListTableTest, AllRowsTablesStartWithTheHeaders) {
    appendRow(states, {"^A.*", "する", "(変更なし)", "しない", "1", "CONTINUOUS", "0.25 mm", "", "する"});
    const auto table = subGetLayerStateListAll(states);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->upperRow(), 1);
    EXPECT_EQ(table->upperColumn(), 9);
    const QStringList headers{"No", "画層名規則", "表示", "ﾌﾘｰｽﾞ", "ﾛｯｸ", "色", "線種", "線の太さ", "印刷ｽﾀｲﾙ", "印刷"};
    for (int c = 0; c < 10; ++c) EXPECT_EQ(table->at(0, c), headers[c]);
    EXPECT_EQ(table->at(1, 0), "1");
    EXPECT_EQ(table->at(1, 1), "^A.*");
    EXPECT_EQ(table->at(1, 9), "する");
    // Rows are read whatever their selection.
    appendRow(names, {"x", "y"});
    const auto rename = subGetLayerNameListAll(names);
    ASSERT_TRUE(rename.has_value());
    EXPECT_EQ(rename->rows(), 2);
    EXPECT_EQ(rename->at(0, 1), "検索文字");
    EXPECT_EQ(rename->at(1, 2), "y");
}

TEST_F(ListTableTest, ValuesAreCopiedAsShown) {
    appendRow(names, {"  spaced  ", "全角"});
    names.topLevelItem(0)->setSelected(true);
    const auto table = subGetLayerNameListSelected(names);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(table->at(0, 1), "  spaced  ");
    EXPECT_EQ(table->at(0, 2), "全角");
}

TEST_F(ListTableTest, ColumnsFitHeaderAndContentAndTheLastOneStretches) {
    appendRow(drawings, {"a-rather-long-drawing-name.dxf", "/home/user/projects/2026/site/a-rather-long-drawing-name.dxf"});
    for (QTreeWidget* list : {&names, &states, &drawings}) list->show();
    QApplication::processEvents();
    for (QTreeWidget* list : {&names, &states, &drawings}) {
        const QFontMetrics fm = list->header()->fontMetrics();
        for (int c = 0; c < list->columnCount(); ++c)
            EXPECT_GT(list->columnWidth(c), fm.horizontalAdvance(list->headerItem()->text(c)))
                << list->headerItem()->text(c).toStdString();
    }
    // Rename rules and drawings fit: the last column ends at the list's edge.
    for (QTreeWidget* list : {&names, &drawings}) {
        const int last = list->columnCount() - 1;
        EXPECT_EQ(list->header()->sectionViewportPosition(last) + list->columnWidth(last), list->viewport()->width());
    }
    EXPECT_GE(drawings.columnWidth(1), drawings.fontMetrics().horizontalAdvance("a-rather-long-drawing-name.dxf"));
    EXPECT_EQ(drawings.textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(drawings.headerItem()->text(1), "ファイル名");
    EXPECT_EQ(names.selectionMode(), QAbstractItemView::ExtendedSelection);
}

}  // namespace
}  // namespace mainwin
