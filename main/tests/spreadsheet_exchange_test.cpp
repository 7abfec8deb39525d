// Toolbar buttons 2 and 5 (rules from and to the spreadsheet) and the mode-3
// workbook, against the test run's headless office.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "calc/CalcConnection.h"
#include "calc/tests/OfficeFixture.h"
#include "host/HostConnection.h"
#include "host/tests/FakeDrawingHost.h"
#include "main/CalcSurveyWorkbook.h"
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
        std::unique_ptr<mainwin::CalcSurveyWorkbook> book = mainwin::CalcSurveyWorkbook::open(text);
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
    EXPECT_FALSE(mainwin::CalcSurveyWorkbook::open(false));
    calc::setOfficeOptions(saved);
    ASSERT_EQ(box.count(), 2);
    for (const auto& m : box.messages) {
        EXPECT_EQ(m.text, QStringLiteral("Excelが見つかりません。"));
        EXPECT_EQ(m.style, support::vbCritical);
    }
}
