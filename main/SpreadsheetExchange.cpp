#include "main/SpreadsheetExchange.h"

#include "calc/CalcConnection.h"
#include "host/HostConnection.h"
#include "host/RuleValidation.h"
#include "host/SkipError.h"
#include "main/CalcSurveySink.h"
#include "main/RuleExchange.h"
#include "support/Foreground.h"
#include "support/MessageBox.h"

namespace mainwin {

namespace {

void warn(const QString& text, int icon = support::vbExclamation) {
    support::bringMainWindowToFront();
    support::MsgBox(text, icon, support::kLaminorTitle);
}

// A minimised office window comes back to normal and to the front.
void bringOfficeForward(const calc::ApplicationPtr& xlApp) {
    try {
        if (xlApp->windowState() == calc::xlMinimized) xlApp->setWindowState(calc::xlNormal);
        xlApp->activateWindow();
    } catch (const calc::SheetError&) {
        // Only the window's place is at stake; the command goes on.
    }
}

}  // namespace

std::optional<QList<QStringList>> readRulesFromSpreadsheet(int iMode) {
    calc::ApplicationPtr xlApp;
    if (!calc::fun_bGetExcel(xlApp)) {
        support::MsgBox(QStringLiteral("Excelが見つかりません。"), support::vbCritical, support::kLaminorTitle);
        return std::nullopt;
    }
    bringOfficeForward(xlApp);
    std::optional<calc::CellBlock> v;
    fun_bGetSelectionValues(xlApp, v, iMode);
    if (!v) {
        warn(QStringLiteral("取り込むデータがありません。"));
        return std::nullopt;
    }
    QList<QStringList> rules;
    for (const QStringList& rule : importRuleRows(*v, iMode)) rules << rule;
    return rules;
}

void writeRulesToSpreadsheet(int iMode, const support::ListTable& vTable) {
    calc::ApplicationPtr xlApp;
    if (!calc::fun_bGetExcel(xlApp)) {
        warn(QStringLiteral("Excelが見つかりません。"), support::vbCritical);
        return;
    }
    bringOfficeForward(xlApp);
    support::bringMainWindowToFront();
    try {
        calc::Workbook wb = xlApp->addWorkbook();
        calc::Worksheet wsRule = wb.worksheet(1);
        calc::Worksheet wsList = wb.worksheet(2);
        wsList.setName(QStringLiteral("list_source"));
        if (fun_bPutTable(wsRule, vTable, 1)) xlApp->activateWindow();
        if (iMode != 2) return;

        host::ApplicationPtr acadApp;
        bool found = false;
        host::DocumentPtr doc;
        if (host::fun_bGetRunningHost(acadApp, found))
            doc = host::skipErrorValue([&] { return acadApp->activeDocument(); }).value_or(nullptr);
        if (!doc) {
            warn(QStringLiteral("AutoCADの図面が見つかりませんので\r画層色、線種、線幅等のリスト候補を取得することが出来ませんでした。"));
            return;
        }
        xlApp->setScreenUpdating(false);
        try {
            CalcSheetSink rule(wsRule), list(wsList);
            host::subSetRuleValidation(rule, list, doc);
        } catch (const host::SinkError&) {
            // Left as the office took it, as below.
        }
        xlApp->setScreenUpdating(true);
    } catch (const calc::SheetError&) {
        // The office refused a step (a workbook without a second sheet, a list
        // it does not take): the rows written so far stay for the user and the
        // program carries on.
    }
}

}  // namespace mainwin
