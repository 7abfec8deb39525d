// The spreadsheet application driven as the system drives it, against a real
// headless office with a private profile (started once for the whole run).
// What is written is read back through the office and, saved as .xlsx, by
// openpyxl.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "calc/CalcConnection.h"
#include "calc/tests/OfficeFixture.h"

using namespace calc;

namespace {

QTemporaryDir* profile = nullptr;
ApplicationPtr theOffice;

class OfficeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QStandardPaths::findExecutable("soffice").isEmpty()) return;
        profile = new QTemporaryDir();
        OfficeOptions o;
        o.headless = true;
        o.profileDir = profile->path();
        o.pipeName = QStringLiteral("laminor_calc_test_%1").arg(QCoreApplication::applicationPid());
        setOfficeOptions(o);
        if (!fun_bGetExcel(theOffice)) theOffice.reset();
    }
    void TearDown() override {
        theOffice.reset();
        terminateOffice();
        delete profile;
    }
};

}  // namespace

namespace calctest {

calc::ApplicationPtr office() { return theOffice; }

QString openpyxl(const QString& path, const QString& script) {
    QProcess p;
    p.start("/usr/bin/python3", {"-c", "import openpyxl,sys\nwb=openpyxl.load_workbook(sys.argv[1])\n" + script, path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace calctest

using calctest::CalcTest;
using calctest::openpyxl;

TEST_F(CalcTest, NewWorkbookHasThreeSheetsAndSheetsAddAfter) {
    Workbook wb = calctest::office()->addWorkbook();
    ASSERT_EQ(wb.worksheetCount(), 3);
    wb.worksheet(1).setName(QStringLiteral("画層情報"));
    wb.worksheet(2).setName(QStringLiteral("画層名変更規則"));
    wb.worksheet(3).setName(QStringLiteral("画層状態変更規則"));
    wb.addWorksheetAfter(wb.worksheet(3)).setName("list_source");
    wb.addWorksheetAfter(wb.worksheet(1)).setName(QStringLiteral("文字出力"));
    QStringList names;
    for (int i = 1; i <= wb.worksheetCount(); ++i) names << wb.worksheet(i).name();
    EXPECT_EQ(names, QStringList({QStringLiteral("画層情報"), QStringLiteral("文字出力"), QStringLiteral("画層名変更規則"),
                                  QStringLiteral("画層状態変更規則"), "list_source"}));
    EXPECT_GE(calctest::office()->workbooksCount(), 1);
    wb.close();
}

TEST_F(CalcTest, ValuesKeepTheirTypesAndTextNeverBecomesANumberOrFormula) {
    Workbook wb = calctest::office()->addWorkbook();
    Worksheet ws = wb.worksheet(1);
    ws.setValues(2, 1, {{QStringLiteral("1E5"), QStringLiteral("001"), QStringLiteral("=A1"), QStringLiteral("+3.50")},
                        {QStringLiteral("GL+500"), 7, 2.5, QStringLiteral("'2F")}});
    const CellBlock back = ws.values(2, 1, 2, 4);
    EXPECT_EQ(back[0][0], QVariant(QStringLiteral("1E5")));
    EXPECT_EQ(back[0][1], QVariant(QStringLiteral("001")));
    EXPECT_EQ(back[0][2], QVariant(QStringLiteral("=A1")));
    EXPECT_EQ(back[0][3], QVariant(QStringLiteral("+3.50")));
    EXPECT_EQ(back[1][0], QVariant(QStringLiteral("GL+500")));
    EXPECT_EQ(back[1][1].toDouble(), 7.0);
    EXPECT_EQ(back[1][3], QVariant(QStringLiteral("2F")));  // the apostrophe only marks text

    const Worksheet::Area used = ws.usedRange();
    EXPECT_EQ(used.row + used.rows - 1, 3);

    QTemporaryDir dir;
    const QString path = dir.filePath("typed.xlsx");
    wb.saveCopyAs(path);
    EXPECT_EQ(openpyxl(path, "ws=wb.worksheets[0]\nprint([(c.value,c.data_type) for c in ws[2]]+[(c.value,c.data_type) for c in ws[3]])"),
              "[('1E5', 's'), ('001', 's'), ('=A1', 's'), ('+3.50', 's'), ('GL+500', 's'), (7, 'n'), (2.5, 'n'), ('2F', 's')]");
    wb.close();
}

TEST_F(CalcTest, NamesAndListValidationsReachTheSavedFile) {
    Workbook wb = calctest::office()->addWorkbook();
    Worksheet list = wb.worksheet(2);
    list.setName("list_source");
    CellBlock colours{{QStringLiteral("(変更なし)")}};
    for (int i = 1; i <= 255; ++i) colours.push_back({i});
    list.setValues(1, 1, colours);
    wb.addName("ColorList", "=list_source!R1C1:R256C1");
    Worksheet rules = wb.worksheet(1);
    rules.setValues(1, 1, {{"No", QStringLiteral("画層名規則"), QStringLiteral("表示")}});
    calctest::office()->setScreenUpdating(false);
    rules.setListValidation(3, QStringLiteral("(変更なし),する,しない"));
    rules.setListValidation(6, "=ColorList");
    rules.deleteValidation(6);
    rules.setListValidation(6, "=ColorList");
    calctest::office()->setScreenUpdating(true);
    rules.autoFitColumns();

    QTemporaryDir dir;
    const QString path = dir.filePath("rules.xlsx");
    wb.saveCopyAs(path);
    const QString names = openpyxl(path, "print(sorted((d.name, d.attr_text) for d in wb.defined_names.definedName))");
    EXPECT_TRUE(names.contains("ColorList")) << names.toStdString();
    EXPECT_TRUE(names.contains("$A$1:$A$256")) << names.toStdString();
    const QString dv = openpyxl(path, "ws=wb.worksheets[0]\nprint(sorted((str(d.sqref), d.type, d.formula1, d.errorStyle) for d in ws.data_validations.dataValidation))");
    EXPECT_TRUE(dv.contains(QStringLiteral("\"(変更なし),する,しない\""))) << dv.toStdString();
    EXPECT_TRUE(dv.contains("ColorList")) << dv.toStdString();
    EXPECT_EQ(dv.count("ColorList"), 1) << dv.toStdString();
    wb.close();
}

TEST_F(CalcTest, SelectionOfWholeColumnsReadsOnlyTheUsedRows) {
    Workbook wb = calctest::office()->addWorkbook();
    Worksheet ws = wb.worksheet(1);
    ws.setValues(1, 1, {{"No", QStringLiteral("検索文字"), QStringLiteral("置換文字")}, {1, "A-", "B-"}, {2, "C", "D"}});
    ws.select(1, 1, 1048576, 3);
    std::optional<CellBlock> values = calctest::office()->selectionValues();
    ASSERT_TRUE(values.has_value());
    ASSERT_EQ(values->size(), 3u);
    EXPECT_EQ((*values)[2][2], QVariant("D"));
    EXPECT_EQ((*values)[1][0].toDouble(), 1.0);

    ws.select(2, 2, 1, 1);
    values = calctest::office()->selectionValues();
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->size(), 1u);
    EXPECT_EQ(values->front().size(), 1u);
    wb.close();
}

TEST(CalcConnection, AMissingOfficeIsReportedNotCrashed) {
    const OfficeOptions saved = officeOptions();
    OfficeOptions o = saved;
    o.pipeName = "laminor_calc_nobody_listens";
    o.sofficeProgram = "/nonexistent/soffice";
    o.startTimeoutMs = 500;
    setOfficeOptions(o);
    ApplicationPtr app;
    EXPECT_FALSE(fun_bGetExcel(app));
    EXPECT_FALSE(app);
    setOfficeOptions(saved);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new OfficeEnvironment);
    return RUN_ALL_TESTS();
}
