// Toolbar buttons 2 and 5 (rules from and to the spreadsheet), the state
// rule choice lists and the mode-3 workbook in the office, against the test
// run's headless office.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "calc/CalcConnection.h"
#include "calc/tests/OfficeFixture.h"
#include "host/HostConnection.h"
#include "host/tests/FakeDrawingHost.h"
#include "host/RuleValidation.h"
#include "main/CalcSurveySink.h"
#include "main/SpreadsheetExchange.h"
#include "support/RecordingMessageBox.h"

using calctest::CalcTest;
using calctest::office;
using calctest::openpyxl;

namespace {

support::ListTable stateRules() {
    const QStringList header{"No", QStringLiteral("画層名規則"), QStringLiteral("表示"), QStringLiteral("ﾌﾘｰｽﾞ"),
                             QStringLiteral("ﾛｯｸ"), QStringLiteral("色"), QStringLiteral("線種"),
                             QStringLiteral("線の太さ"), QStringLiteral("印刷ｽﾀｲﾙ"), QStringLiteral("印刷")};
    const QStringList rule{"1", "^001$", QStringLiteral("する"), QStringLiteral("(変更なし)"), QStringLiteral("しない"),
                           "3", "HIDDEN", "0.25 mm", "Normal", QStringLiteral("する")};
    support::ListTable t(2, 10);
    for (int c = 0; c < 10; ++c) {
        t.set(0, c, header[c]);
        t.set(1, c, rule[c]);
    }
    return t;
}

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

// The only workbook open in the test office (each test closes its own).
calc::Workbook onlyWorkbook() {
    std::optional<calc::Workbook> wb = office()->activeWorkbook();
    if (!wb) throw std::runtime_error("no workbook");
    return *wb;
}

struct HostGuard {
    std::shared_ptr<fakehost::FakeProvider> provider;
    explicit HostGuard(bool withDrawing) {
        auto state = std::make_shared<fakehost::HostState>();
        if (withDrawing) {
            state->file("/d/a.dwg").linetypes = QStringList{"ByLayer", "ByBlock", "Continuous"};
            state->openByUser("/d/a.dwg");
        }
        provider = std::make_shared<fakehost::FakeProvider>(state);
        host::setHostProvider(provider);
    }
    ~HostGuard() { host::setHostProvider(nullptr); }
};

}  // namespace

TEST_F(CalcTest, ExportThenImportBringsTheStateRulesBack) {
    support::RecordingMessageBox box;
    HostGuard host(true);
    mainwin::writeRulesToSpreadsheet(2, stateRules());
    EXPECT_EQ(box.count(), 0);
    calc::Workbook wb = onlyWorkbook();
    EXPECT_EQ(wb.worksheet(2).name(), "list_source");
    EXPECT_EQ(wb.worksheet(2).values(2, 2, 1, 1)[0][0], QVariant("Continuous"));
    QTemporaryDir dir;
    wb.saveCopyAs(dir.filePath("rules.xlsx"));
    EXPECT_EQ(openpyxl(dir.filePath("rules.xlsx"), "print(len(wb.worksheets[0].data_validations.dataValidation) > 0, wb.worksheets[0]['A2'].data_type)"),
              "True s");

    // Select the table with its header row, plus a row with an empty cell.
    calc::Worksheet ws = wb.worksheet(1);
    ws.setValues(3, 1, {{2, "x", "", "", "", "", "", "", "", ""}});
    ws.select(1, 1, 3, 10);
    std::optional<QList<QStringList>> rules = mainwin::readRulesFromSpreadsheet(2);
    ASSERT_TRUE(rules.has_value());
    ASSERT_EQ(rules->size(), 1);
    EXPECT_EQ(rules->at(0)[0], "1");
    EXPECT_EQ(rules->at(0)[1], "^001$");
    EXPECT_EQ(rules->at(0)[7], "0.25 mm");

    // The wrong shape: two warnings and nothing to import.
    ws.select(1, 1, 2, 4);
    EXPECT_FALSE(mainwin::readRulesFromSpreadsheet(2).has_value());
    ASSERT_EQ(box.count(), 2);
    EXPECT_EQ(box.messages[1].text, QStringLiteral("取り込むデータがありません。"));
    wb.close();
}

TEST_F(CalcTest, RuleValidationThroughTheOfficeDefinesTheNamesAndValidatesColumnsCToJ) {
    calc::Workbook wb = office()->addWorkbook();
    mainwin::CalcSheetSink rules(wb.worksheet(1));
    calc::Worksheet list = wb.worksheet(2);
    list.setName("list_source");
    mainwin::CalcSheetSink listSink(list);
    office()->setScreenUpdating(false);
    host::subSetRuleValidation(rules, listSink, drawingWithPlotStyles({"Style 10", "Style 1"}));
    office()->setScreenUpdating(true);

    const calc::CellBlock col = list.values(1, 1, 257, 3);
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

TEST_F(CalcTest, ExportWithoutADrawingKeepsTheTableAndExplains) {
    support::RecordingMessageBox box;
    HostGuard host(false);
    mainwin::writeRulesToSpreadsheet(2, stateRules());
    ASSERT_EQ(box.count(), 1);
    EXPECT_EQ(box.last().text, QStringLiteral("AutoCADの図面が見つかりませんので\r画層色、線種、線幅等のリスト候補を取得することが出来ませんでした。"));
    EXPECT_EQ(box.last().style, support::vbExclamation);
    calc::Workbook wb = onlyWorkbook();
    EXPECT_EQ(wb.worksheet(1).values(2, 2, 1, 1)[0][0], QVariant("^001$"));
    EXPECT_EQ(wb.worksheet(2).usedRange().rows, 1);
    EXPECT_TRUE(wb.worksheet(2).values(1, 1, 1, 1)[0][0].toString().isEmpty());
    wb.close();
    EXPECT_EQ(office()->workbooksCount(), 0);
}

TEST_F(CalcTest, ImportWithNoWorkbookOpenGivesBothWarnings) {
    support::RecordingMessageBox box;
    ASSERT_EQ(office()->workbooksCount(), 0);
    EXPECT_FALSE(mainwin::readRulesFromSpreadsheet(1).has_value());
    ASSERT_EQ(box.count(), 2);
    EXPECT_EQ(box.messages[0].text, QStringLiteral("Excelシートが見つかりません。"));
    EXPECT_EQ(box.messages[1].text, QStringLiteral("取り込むデータがありません。"));
}

TEST_F(CalcTest, SurveyWorkbookHasItsSheetsInOrderAndEndsOnLayerSheet) {
    for (bool text : {false, true}) {
        std::unique_ptr<mainwin::CalcSurveySink> book = mainwin::CalcSurveySink::open(text);
        ASSERT_TRUE(book);
        QStringList names;
        for (int i = 1; i <= book->workbook().worksheetCount(); ++i) names << book->workbook().worksheet(i).name();
        QStringList expected{QStringLiteral("画層情報"), QStringLiteral("画層名変更規則"), QStringLiteral("画層状態変更規則"), "list_source"};
        if (text) expected.insert(1, QStringLiteral("文字出力"));
        EXPECT_EQ(names, expected);
        book->workbook().worksheet(3).activate();
        book->finish();
        QTemporaryDir dir;
        book->workbook().saveCopyAs(dir.filePath("s.xlsx"));
        EXPECT_EQ(openpyxl(dir.filePath("s.xlsx"), "print(wb.active.title)"), QStringLiteral("画層情報"));
        book->workbook().close();
    }
}

TEST(SpreadsheetMissing, ImportAndExportSayTheOfficeIsMissing) {
    support::RecordingMessageBox box;
    const calc::OfficeOptions saved = calc::officeOptions();
    calc::OfficeOptions o = saved;
    o.pipeName = "laminor_calc_nobody_here";
    o.sofficeProgram = "/nonexistent/soffice";
    o.startTimeoutMs = 300;
    calc::setOfficeOptions(o);
    EXPECT_FALSE(mainwin::readRulesFromSpreadsheet(1).has_value());
    mainwin::writeRulesToSpreadsheet(1, support::ListTable(1, 3));
    EXPECT_FALSE(mainwin::CalcSurveySink::open(false));
    calc::setOfficeOptions(saved);
    ASSERT_EQ(box.count(), 2);
    for (const auto& m : box.messages) {
        EXPECT_EQ(m.text, QStringLiteral("Excelが見つかりません。"));
        EXPECT_EQ(m.style, support::vbCritical);
    }
}
