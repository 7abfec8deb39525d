// Times mode 3 end to end over drawings: the in-process host over the
// drawing engine, a private headless office, one workbook saved at the end.
//   survey_bench --out FILE.xlsx [--text] [--count] DRAWING...
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "calc/CalcConnection.h"
#include "host/client/InProcessHost.h"
#include "main/CalcSurveySink.h"
#include "main/SurveyRun.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    mainwin::SurveyOptions options;
    QString out;
    QStringList drawings;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) out = args[++i];
        else if (args[i] == "--text") options.outputText = true;
        else if (args[i] == "--count") options.countObjects = true;
        else drawings << args[i];
    }
    if (out.isEmpty() || drawings.isEmpty()) {
        std::fprintf(stderr, "usage: survey_bench --out FILE.xlsx [--text] [--count] DRAWING...\n");
        return 2;
    }
    QTemporaryDir profile;
    calc::OfficeOptions o;
    o.headless = true;
    o.profileDir = profile.path();
    o.pipeName = QStringLiteral("laminor_survey_bench_%1").arg(QCoreApplication::applicationPid());
    calc::setOfficeOptions(o);
    host::installInProcessHostProvider();

    // The office start is not part of the survey: attach once before timing.
    calc::ApplicationPtr warm;
    if (!calc::fun_bGetExcel(warm)) {
        std::fprintf(stderr, "no office\n");
        return 1;
    }
    QElapsedTimer total;
    total.start();
    auto sink = std::make_unique<mainwin::CalcSurveySink>(warm, options.outputText);
    mainwin::CalcSurveySink& office = *sink;
    mainwin::SinkSurveyWorkbook book(std::move(sink));
    const mainwin::SurveyRunResult r = mainwin::runSurvey(book, options, drawings, [](const QString& d, bool ok, double s) {
        std::printf("%-40s %s %8.3f s\n", qPrintable(d.section('/', -1)), ok ? "ok  " : "FAIL", s);
        std::fflush(stdout);
    });
    const QString error = office.saveCopyAs(out);
    std::printf("total (surveys + save) %.3f s, %d done, %d failed, saved %s\n", total.nsecsElapsed() / 1e9, r.done,
                r.failed, error.isEmpty() ? "yes" : qPrintable(error));
    office.workbook().close();
    warm.reset();
    calc::terminateOffice();
    return error.isEmpty() && r.failed == 0 ? 0 : 1;
}
