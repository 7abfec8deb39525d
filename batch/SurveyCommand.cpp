#include "batch/SurveyCommand.h"

#include "batch/HeadlessRun.h"
#include "batch/Inputs.h"
#include "host/client/InProcessHost.h"
#include "main/SurveyRun.h"
#include "xlsx/XlsxSurveySink.h"

namespace batch {

namespace {

const QString kUsage = QStringLiteral(
    "laminor-batch survey --out FILE.xlsx [--text] [--count] [--layer-filter P --layer-class N] "
    "[--text-filter P --text-class N] DRAWING...");

}  // namespace

int runSurveyCommand(const QStringList& args) {
    mainwin::SurveyOptions options;
    QString out;
    QStringList inputs;
    int layerClass = 3, textClass = 3;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == QLatin1String("--out") && hasValue) out = args[++i];
        else if (a == QLatin1String("--text")) options.outputText = true;
        else if (a == QLatin1String("--count")) options.countObjects = true;
        else if (a == QLatin1String("--layer-filter") && hasValue) options.layerFilter = args[++i];
        else if (a == QLatin1String("--text-filter") && hasValue) options.textFilter = args[++i];
        else if (a == QLatin1String("--layer-class") && hasValue) layerClass = args[++i].toInt(&ok);
        else if (a == QLatin1String("--text-class") && hasValue) textClass = args[++i].toInt(&ok);
        else if (a.startsWith(QLatin1String("--"))) ok = false;
        else inputs << a;
        if (!ok || layerClass < 0 || layerClass > 3 || textClass < 0 || textClass > 3) {
            printErr(QStringLiteral("引数が正しくありません。 (bad argument): ") + a + QStringLiteral("\n") + kUsage);
            return 2;
        }
    }
    if (out.isEmpty() || inputs.isEmpty()) {
        printErr(kUsage);
        return 2;
    }
    if (!out.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        printErr(QStringLiteral("引数が正しくありません。 (the workbook is written as .xlsx): ") + out);
        return 2;
    }
    options.layerFlags = mainwin::filterFlags(layerClass);
    options.textFlags = mainwin::filterFlags(textClass);

    QStringList skipped;
    const QStringList drawings = collectDrawings(inputs, false, &skipped);
    for (const QString& s : skipped) printErr(QStringLiteral("図面が見つかりません。 (no drawing here, skipped): ") + s);
    if (drawings.isEmpty()) {
        printErr(QStringLiteral("処理するDWGファイルが見つかりません。 (no drawings to work on)"));
        return 2;
    }

    host::installInProcessHostProvider();
    auto sink = std::make_unique<xlsx::XlsxSurveySink>(out, options.outputText);
    xlsx::XlsxSurveySink& file = *sink;
    mainwin::SinkSurveyWorkbook book(std::move(sink));
    const mainwin::SurveyRunResult result =
        mainwin::runSurvey(book, options, drawings, [](const QString& drawing, bool ok, double) {
            printOut((ok ? QStringLiteral("ok     ") : QStringLiteral("FAILED ")) + drawing);
        });
    const QString error = result.hostFound ? file.save() : QStringLiteral("no drawing host");
    if (!error.isEmpty()) printErr(QStringLiteral("保存できませんでした。 (not saved): ") + error);
    printOut(QStringLiteral("%1 件 ok, %2 件 failed -> %3").arg(result.done).arg(result.failed).arg(out));
    return error.isEmpty() && result.failed == 0 ? 0 : 1;
}

}  // namespace batch
