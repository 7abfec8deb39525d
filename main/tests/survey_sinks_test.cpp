// One builder, two sinks: the same drawings surveyed into the office's
// workbook (what the window shows) and into a workbook file (what
// laminor-batch writes) give the same workbook as openpyxl reads it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "calc/tests/OfficeFixture.h"
#include "host/HostConnection.h"
#include "host/client/InProcessHost.h"
#include "main/CalcSurveySink.h"
#include "main/SurveyRun.h"
#include "xlsx/XlsxSurveySink.h"

using calctest::CalcTest;
using calctest::office;

namespace {

struct InProcessHostGuard {
    InProcessHostGuard() { host::installInProcessHostProvider(); }
    ~InProcessHostGuard() { host::setHostProvider(nullptr); }
};

QStringList drawings() {
    QStringList paths;
    for (const char* name : {"floor-plan.dxf", "site-R12.dxf", "english-R2004.dxf", "details-R2018.dxf"})
        paths << QStringLiteral(LAMINOR_TEST_DRAWINGS_DIR "/") + QLatin1String(name);
    return paths;
}

}  // namespace

TEST_F(CalcTest, OfficeAndFileWorkbooksOfASurveyAreTheSame) {
    InProcessHostGuard host;
    QTemporaryDir dir;
    for (bool withText : {true, false}) {
        mainwin::SurveyOptions options;
        options.countObjects = withText;
        options.outputText = withText;
        options.textFilter = withText ? QStringLiteral("[0-9]") : QString();  // texts with a digit
        options.textFlags = mainwin::filterFlags(1);

        auto calcSink = std::make_unique<mainwin::CalcSurveySink>(office(), options.outputText);
        mainwin::CalcSurveySink& officeBook = *calcSink;
        mainwin::SinkSurveyWorkbook inOffice(std::move(calcSink));
        const mainwin::SurveyRunResult a = mainwin::runSurvey(inOffice, options, drawings());
        const QString officePath = dir.filePath(withText ? "office-text.xlsx" : "office.xlsx");
        EXPECT_EQ(officeBook.saveCopyAs(officePath), QString());
        officeBook.workbook().close();

        const QString filePath = dir.filePath(withText ? "file-text.xlsx" : "file.xlsx");
        auto fileSink = std::make_unique<xlsx::XlsxSurveySink>(filePath, options.outputText);
        xlsx::XlsxSurveySink& file = *fileSink;
        mainwin::SinkSurveyWorkbook inFile(std::move(fileSink));
        const mainwin::SurveyRunResult b = mainwin::runSurvey(inFile, options, drawings());
        EXPECT_EQ(file.save(), QString());
        EXPECT_FALSE(QFile::exists(filePath + ".partial.xlsx"));

        EXPECT_EQ(a.done, 4);
        EXPECT_EQ(b.done, 4);
        QProcess compare;
        compare.start("/usr/bin/python3", {QStringLiteral(LAMINOR_COMPARE_WORKBOOKS_PY), officePath, filePath});
        ASSERT_TRUE(compare.waitForFinished(120000));
        const QString report = QString::fromUtf8(compare.readAllStandardOutput() + compare.readAllStandardError());
        EXPECT_EQ(compare.exitCode(), 0) << report.toStdString();
        EXPECT_TRUE(report.contains(" 0 differences")) << report.toStdString();
    }
}
