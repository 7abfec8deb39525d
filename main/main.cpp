// laminor: creates the main window and shows it; everything else happens in
// the window's start-up. The window gets the rule editors and the per-drawing
// operations of the parts that are built into this program.
#include <QApplication>

#include "host/client/RemoteProvider.h"
#include "main/frmMain.h"
#include "support/MessageBoxQt.h"
#include "support/QtTranslation.h"

#ifdef LAMINOR_HAVE_HOST_OPS
#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"
#endif
#ifdef LAMINOR_HAVE_CALC
#include "main/CalcSurveySink.h"
#include "main/SpreadsheetExchange.h"
#include "main/SurveyRun.h"
#endif
#ifdef LAMINOR_HAVE_SCRIPT
#include "script/ScriptOperation.h"
#include "script/frmScript.h"
#include "script/frmScriptEnv.h"
#endif
#ifdef LAMINOR_HAVE_RULES
#include "rules/frmGet2Item.h"
#include "rules/frmLayerNameRule.h"
#include "rules/frmLayerStateRule.h"
#endif

namespace {

mainwin::MainWindowServices ruleEditors() {
    mainwin::MainWindowServices services;
#ifdef LAMINOR_HAVE_RULES
    services.editLayerNameRule = [](QString& before, QString& after) {
        return rules::frmLayerNameRule::pu_fun_bGetRule(before, after);
    };
    services.editLayerStateRule = [](QString& pattern, QStringList& settings) {
        return rules::frmLayerStateRule::pu_fun_bGetRule(pattern, settings);
    };
    services.get2Item = [](const QString& caption, const QString& l1, const QString& l2, QString& s1, QString& s2) {
        return rules::frmGet2Item::pu_fun_bGet2Item(caption, l1, l2, s1, s2);
    };
#endif
#ifdef LAMINOR_HAVE_SCRIPT
    services.showScriptEnv = [](mainwin::ScriptEnv& env) { script::frmScriptEnv::pu_subShow(env); };
#endif
#ifdef LAMINOR_HAVE_CALC
    services.readRulesFromSpreadsheet = mainwin::readRulesFromSpreadsheet;
    services.writeRulesToSpreadsheet = mainwin::writeRulesToSpreadsheet;
#endif
    return services;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    support::installQtJapaneseTranslation();
    support::installQtMessageBoxService();
    // The drawing host is drawhost: the running one over its socket, or one
    // started from this program's folder.
    host::installRemoteHostProvider();
    mainwin::frmMain window(nullptr, ruleEditors());
#ifdef LAMINOR_HAVE_HOST_OPS
    window.operations.applyLayerNameRules = host::fun_bApplyLayerNameRules;
    window.operations.applyLayerStateRules = host::fun_bApplyLayerStateRules;
#endif
#ifdef LAMINOR_HAVE_SCRIPT
    window.operations.makeDWGScript = script::makeDWGScript;
    window.operations.showScriptEditor = [](const QString& merged) { script::frmScript::pu_fun_bShow(merged); };
#endif
#ifdef LAMINOR_HAVE_CALC
    window.operations.openSurveyWorkbook = [](bool outputText) -> std::unique_ptr<mainwin::SurveyWorkbook> {
        std::unique_ptr<mainwin::CalcSurveySink> sink = mainwin::CalcSurveySink::open(outputText);
        if (!sink) return nullptr;
        return std::make_unique<mainwin::SinkSurveyWorkbook>(std::move(sink));
    };
#endif
    window.show();
    return app.exec();
}
