#include "main/SurveyRun.h"

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <QFileInfo>

#include "host/HostConnection.h"
#include "main/CalcSurveyWorkbook.h"

namespace mainwin {

SurveyRunResult runSurvey(const SurveyOptions& options, const QStringList& drawings, const QString& outPath,
                          const std::function<void(const QString& drawing, bool ok, double seconds)>& progress) {
    SurveyRunResult result;
    std::unique_ptr<CalcSurveyWorkbook> book = CalcSurveyWorkbook::open(options.outputText);
    if (!book) return result;
    result.officeFound = true;

    host::ApplicationPtr acadApp;
    if (!host::fun_bGetHost(acadApp)) {
        result.error = QStringLiteral("no drawing host");
        return result;
    }
    support::PlainStatusLabel label;
    for (const QString& drawing : drawings) {
        const QFileInfo info(drawing);
        QElapsedTimer timer;
        timer.start();
        const bool ok = book->fun_bOutputLayerInfo(acadApp, info.fileName(), info.absoluteFilePath(), options, label);
        ok ? ++result.done : ++result.failed;
        if (progress) progress(drawing, ok, timer.nsecsElapsed() / 1e9);
    }
    book->finish();
    try {
        // The copy goes to a temporary name first, so a failed save never
        // leaves a half-written file where the user asked for the workbook.
        const QString partial = outPath + QStringLiteral(".partial.") + QFileInfo(outPath).suffix();
        book->workbook().saveCopyAs(partial);
        result.saved = std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(outPath).constData()) == 0;
        if (!result.saved) {
            QFile::remove(partial);
            result.error = QStringLiteral("cannot write %1").arg(outPath);
        }
    } catch (const calc::SheetError& e) {
        result.error = e.description();
    }
    return result;
}

}  // namespace mainwin
