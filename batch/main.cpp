// laminor-batch: the batch run of laminor's modes 1 and 2 from the command
// line, with the main window's driver, rule files and operations; mode 3
// ("survey") into a workbook file and mode 4 ("script").
#include <QCoreApplication>

#include "batch/CommandLine.h"
#include "batch/HeadlessRun.h"
#include "batch/Inputs.h"
#include "batch/SurveyCommand.h"
#ifdef LAMINOR_HAVE_SCRIPT
#include "batch/ScriptCommand.h"
#endif
#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace batch;

    if (app.arguments().value(1) == QLatin1String("survey")) return runSurveyCommand(app.arguments().mid(2));
#ifdef LAMINOR_HAVE_SCRIPT
    if (app.arguments().value(1) == QLatin1String("script")) return runScriptCommand(app.arguments().mid(2));
#endif
    BatchOptions options;
    QString error;
    if (!parseCommandLine(app.arguments().mid(1), options, error)) {
        printErr(error + QStringLiteral("\nlaminor-batch --help で使い方を表示します。 (see laminor-batch --help)"));
        return 2;
    }
    if (options.help) {
        printOut(helpText());
        return 0;
    }

    support::ListTable rules;
    if (!loadRuleTable(options.rulesFile, options.mode, rules, error)) {
        printErr(error);
        return 2;
    }
    QStringList skipped, unusable;
    const QStringList drawings = collectDrawings(options.drawings, options.recursive, &skipped, &unusable);
    for (const QString& s : skipped)
        printErr(QStringLiteral("図面が見つかりません。 (no drawing here, skipped): ") + s);
    if (drawings.isEmpty()) {
        printErr(QStringLiteral("処理するDWGファイルが見つかりません。 (no drawings to work on)"));
        return 2;
    }

    mainwin::DrawingOperations operations;
    operations.applyLayerNameRules = host::fun_bApplyLayerNameRules;
    operations.applyLayerStateRules = host::fun_bApplyLayerStateRules;
    return runHeadless(options, rules, drawings, operations, unusable);
}
