// The helpers of the rule exchange: rules read from a selection, tables into
// sheets.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "main/RuleExchange.h"
#include "calc/tests/OfficeFixture.h"
#include "support/RecordingMessageBox.h"

using namespace mainwin;
using calc::Workbook;
using calctest::CalcTest;
using calctest::office;
using calctest::openpyxl;

TEST(RuleImport, HeaderAndIncompleteRowsAreSkippedAndNumbersBecomeText) {
    const CellBlock rename{{"No", QStringLiteral("検索文字"), QStringLiteral("置換文字")},
                           {1.0, "A-(.*)", "B-$1"},
                           {2.0, "", "x"},
                           {QVariant(), "C", "D"},
                           {"NO", "q", "r"},     // "no" in any letter case is a header
                           {3.0, QStringLiteral("検索文字"), "z"},  // one header text suffices
                           {2.5, "E", "F"}};
    const std::vector<QStringList> rules = importRuleRows(rename, 1);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0], QStringList({"1", "A-(.*)", "B-$1"}));
    EXPECT_EQ(rules[1], QStringList({"2.5", "E", "F"}));

    std::vector<QVariant> header{"No", QStringLiteral("画層名規則"), QStringLiteral("表示"), QStringLiteral("ﾌﾘｰｽﾞ"),
                                 QStringLiteral("ﾛｯｸ"), QStringLiteral("色"), QStringLiteral("線種"),
                                 QStringLiteral("線の太さ"), QStringLiteral("印刷ｽﾀｲﾙ"), QStringLiteral("印刷")};
    std::vector<QVariant> rule{7.0, "^A$", QStringLiteral("する"), QStringLiteral("しない"), QStringLiteral("(変更なし)"),
                               3.0, "HIDDEN", "0.25 mm", "Normal", QStringLiteral("する")};
    const std::vector<QStringList> states = importRuleRows({header, rule}, 2);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0][0], "7");
    EXPECT_EQ(states[0][5], "3");
}

TEST(RuleImport, CellTexts) {
    EXPECT_EQ(cellText(QVariant(1.0)), "1");
    EXPECT_EQ(cellText(QVariant(-12.0)), "-12");
    EXPECT_EQ(cellText(QVariant(0.1)), "0.1");
    EXPECT_EQ(cellText(QVariant(QStringLiteral("001"))), "001");
    EXPECT_TRUE(cellText(QVariant()).isEmpty());
}

TEST_F(CalcTest, PutTableWritesOneBlockAtTheRowAndKeepsTexts) {
    Workbook wb = office()->addWorkbook();
    Worksheet ws = wb.worksheet(1);
    support::ListTable t(2, 3);
    t.set(0, 0, "No");
    t.set(1, 0, "1");
    t.set(1, 1, "1E5");
    EXPECT_TRUE(fun_bPutTable(ws, t, 4));
    const CellBlock back = ws.values(4, 1, 2, 3);
    EXPECT_EQ(back[0][0], QVariant("No"));
    EXPECT_EQ(back[1][0], QVariant("1"));  // a list table is text throughout
    EXPECT_EQ(back[1][1], QVariant("1E5"));
    EXPECT_EQ(ws.usedRange().row, 4);
    wb.close();
}

TEST_F(CalcTest, SelectionOfTheWrongShapeWarnsAndLeavesNoValues) {
    support::RecordingMessageBox box;
    Workbook wb = office()->addWorkbook();
    Worksheet ws = wb.worksheet(1);
    ws.setValues(1, 1, {{1, "a", "b", "c"}});

    std::optional<CellBlock> v;
    ws.select(1, 1, 1, 1);  // one cell
    EXPECT_TRUE(fun_bGetSelectionValues(office(), v, 1));
    EXPECT_FALSE(v.has_value());
    ASSERT_EQ(box.count(), 1);
    EXPECT_EQ(box.last().text, QStringLiteral("ExcelシートでNo、検索文字、置換文字の列、合計3列分を選択してください。"));
    EXPECT_EQ(box.last().style, support::vbExclamation);

    ws.select(1, 1, 1, 4);  // four columns in mode 1
    EXPECT_TRUE(fun_bGetSelectionValues(office(), v, 1));
    EXPECT_FALSE(v.has_value());
    ws.select(1, 1, 1, 4);
    EXPECT_TRUE(fun_bGetSelectionValues(office(), v, 2));
    EXPECT_EQ(box.last().text, QStringLiteral("ExcelシートでNoや画層名規則、表示等を含む合計10列分を選択してください。"));

    ws.select(1, 1, 1, 3);
    box.clear();
    EXPECT_TRUE(fun_bGetSelectionValues(office(), v, 1));
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->front()[1], QVariant("a"));
    EXPECT_EQ(box.count(), 0);
    wb.close();
}
