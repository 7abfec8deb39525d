// The helpers shared by the rule exchange and the layer survey: rules read
// from a selection, tables into sheets, the state rule choice lists.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "calc/RuleExchange.h"
#include "calc/tests/OfficeFixture.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"

using namespace calc;
using calctest::CalcTest;
using calctest::office;
using calctest::openpyxl;

namespace {

host::DocumentPtr drawingWithPlotStyles(const QStringList& styles) {
    auto state = std::make_shared<fakehost::HostState>();
    fakehost::DrawingData& d = state->file("/tmp/p.dwg");
    d.linetypes = QStringList{"ByBlock", "BYLAYER", "Continuous", "HIDDEN"};
    for (int i = 0; i < styles.size(); ++i) {
        d.plotStyles << styles[i];
        d.layer(QStringLiteral("L%1").arg(i)).plotStyle = styles[i];
    }
    state->openByUser("/tmp/p.dwg");
    static std::vector<std::shared_ptr<host::Application>> keep;
    keep.push_back(fakehost::makeApplication(state));
    return keep.back()->activeDocument();
}

}  // namespace

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

TEST(PlotStyleList, WholeNamesAreComparedSoAShorterNameIsStillOffered) {
    QString list;
    subMakePlotStyleList(list, drawingWithPlotStyles({"Style 10", "Style 1", "Style 10", "Normal"}));
    // Part of a name listed before is still a name of its own.
    EXPECT_EQ(list, QStringLiteral("(変更なし),Normal,Style 10,Style 1"));  // layers 0 and Defpoints come first
    subMakePlotStyleList(list, nullptr);
    EXPECT_EQ(list, QStringLiteral("(変更なし)"));
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

TEST_F(CalcTest, RuleValidationFillsTheChoiceListsAndValidatesColumnsCToJ) {
    Workbook wb = office()->addWorkbook();
    Worksheet rules = wb.worksheet(1);
    Worksheet list = wb.worksheet(2);
    list.setName("list_source");
    office()->setScreenUpdating(false);
    subSetRuleValidation(rules, list, drawingWithPlotStyles({"Style 10", "Style 1"}));
    office()->setScreenUpdating(true);

    const CellBlock col = list.values(1, 1, 257, 3);
    EXPECT_EQ(col[0][0], QVariant(QStringLiteral("(変更なし)")));
    EXPECT_EQ(col[255][0].toDouble(), 255.0);
    EXPECT_EQ(col[1][1], QVariant("Continuous"));  // ByBlock and ByLayer left out, any case
    EXPECT_EQ(col[2][1], QVariant("HIDDEN"));
    EXPECT_EQ(col[1][2], QVariant("Default"));
    EXPECT_EQ(col[25][2], QVariant("2.11 mm"));

    QTemporaryDir dir;
    const QString path = dir.filePath("v.xlsx");
    wb.saveCopyAs(path);
    const QString names = openpyxl(path, "print(sorted((d.name, d.attr_text) for d in wb.defined_names.definedName))");
    EXPECT_TRUE(names.contains("('ColorList', 'list_source!$A$1:$A$256')")) << names.toStdString();
    EXPECT_TRUE(names.contains("('LinetypeList', 'list_source!$B$1:$B$3')")) << names.toStdString();
    EXPECT_TRUE(names.contains("('LineweightList', 'list_source!$C$1:$C$26')")) << names.toStdString();
    // One line per validated column: its letter, type, alert style, blanks,
    // source, first row. (The office's .xlsx export cuts a whole-column
    // validation at row 1001; in the office it covers the whole column.)
    const QString dv = openpyxl(path,
        "from openpyxl.utils import get_column_letter as L\n"
        "ws=wb.worksheets[0]\nout=[]\n"
        "for d in ws.data_validations.dataValidation:\n"
        "  for r in d.sqref.ranges:\n"
        "    out+=[(L(c), d.type, d.errorStyle, d.allow_blank, d.formula1, r.min_row) for c in range(r.min_col, r.max_col+1)]\n"
        "for o in sorted(out): print(*o)");
    const QString yesNo = QStringLiteral(" list stop True \"(変更なし),する,しない\" 1");
    EXPECT_EQ(dv.split('\n'), QStringList({"C" + yesNo, "D" + yesNo, "E" + yesNo, "F list stop True ColorList 1",
                                           "G list stop True LinetypeList 1", "H list stop True LineweightList 1",
                                           QStringLiteral("I list stop True \"(変更なし),Normal,Style 10,Style 1\" 1"),
                                           "J" + yesNo}))
        << dv.toStdString();
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
