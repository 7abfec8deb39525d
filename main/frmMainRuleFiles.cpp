// The toolbar's rule exchange: the active rule list saved to and loaded from
// a CSV file, and read from or written to the spreadsheet.
#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

#include "main/ListConversion.h"
#include "main/RuleCsv.h"
#include "main/frmMain.h"
#include "support/Foreground.h"
#include "support/MessageBox.h"

namespace mainwin {

QTreeWidget& frmMain::activeRuleList() { return iMode == 2 ? *LstvLayerState : *LstvLayerName; }

void frmMain::fillRuleList(const QList<QStringList>& records) {
    QTreeWidget& list = activeRuleList();
    resetList(list);
    for (const QStringList& record : ruleRows(records, iMode == 1 ? layerNameHeaders() : layerStateHeaders())) {
        // "No" as read, not renumbered.
        auto* item = appendRow(list, record.mid(1));
        item->setText(0, record[0]);
    }
}

bool frmMain::subLoadRuleCSV() {
    const int mode = iMode;
    const QString path = services_.chooseRuleFileToOpen();
    if (path.isEmpty()) return false;

    const int fields = mode == 1 ? 3 : 10;
    CsvData data;
    QString error;
    // No apostrophe before numbers with a leading zero here: it would turn a
    // saved rule such as "01" into a different pattern on the way back.
    if (!fun_bReadCSV(path, data, &error, false)) {
        // Nothing changes, the title included: a title naming this file over
        // the old rules would have the next run take them for its rules.
        support::bringMainWindowToFront();
        support::MsgBox(QStringLiteral("規則ファイルを読み込めませんでした。\r\n") + QDir::toNativeSeparators(path) +
                            QStringLiteral("\r\n") + error,
                        support::vbCritical, support::kLaminorTitle);
        return false;
    }
    if (data.fields == fields) fillRuleList(data.records);
    setWindowTitle(modeMenuText(mode) + QStringLiteral(" - ") + QFileInfo(path).fileName());
    mode == 1 ? subShowRuleCount() : subShowStateCount();
    return true;
}

void frmMain::subSaveRuleCSV() {
    const support::OptionalListTable table =
        iMode == 1 ? subGetLayerNameListAll(*LstvLayerName) : subGetLayerStateListAll(*LstvLayerState);
    if (!table) {
        support::bringMainWindowToFront();
        support::MsgBox(QStringLiteral("保存するデータがありません。"), support::vbExclamation, support::kLaminorTitle);
        return;
    }
    const QString path = services_.chooseRuleFileToSave();
    if (path.isEmpty()) return;
    const QFileInfo file(path);
    // The file is replaced in one step; a failed save keeps the old file and says so.
    QString error;
    if (!fun_bWriteCSV(file.absolutePath(), file.fileName(), *table, &error)) {
        support::bringMainWindowToFront();
        support::MsgBox(QStringLiteral("規則ファイルを保存できませんでした。\r\n") + QDir::toNativeSeparators(path) +
                            QStringLiteral("\r\n") + error,
                        support::vbCritical, support::kLaminorTitle);
    }
}

bool frmMain::subImportRuleExcel() {
    if (!services_.readRulesFromSpreadsheet) return false;
    const std::optional<QList<QStringList>> records = services_.readRulesFromSpreadsheet(iMode);
    if (!records) return false;
    fillRuleList(*records);
    setWindowTitle(QStringLiteral("Stratakit"));
    return true;
}

void frmMain::subExportRuleExcel() {
    if (!services_.writeRulesToSpreadsheet) return;
    const support::OptionalListTable table =
        iMode == 1 ? subGetLayerNameListAll(*LstvLayerName) : subGetLayerStateListAll(*LstvLayerState);
    if (!table) {
        support::bringMainWindowToFront();
        support::MsgBox(QStringLiteral("出力するデータがありません。"), support::vbExclamation, support::kLaminorTitle);
        return;
    }
    services_.writeRulesToSpreadsheet(iMode, *table);
}

}  // namespace mainwin
