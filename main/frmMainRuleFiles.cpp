// The toolbar's rule-file commands: the active rule list saved to and loaded
// from a CSV file.
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

bool frmMain::subLoadRuleCSV() {
    const int mode = iMode;
    const QString path = services_.chooseRuleFileToOpen();
    if (path.isEmpty()) return false;

    const QStringList headers = mode == 1 ? layerNameHeaders() : layerStateHeaders();
    CsvData data;
    QList<QStringList> rows;
    // No apostrophe before numbers with a leading zero here: it would turn a
    // saved rule such as "01" into a different pattern on the way back.
    if (fun_bReadCSV(path, data, nullptr, false) && ruleRecords(data, headers, rows)) {
        QTreeWidget& list = activeRuleList();
        resetList(list);
        for (const QStringList& record : rows) {
            // "No" as read, not renumbered.
            auto* item = appendRow(list, record.mid(1));
            item->setText(0, record[0]);
        }
    }
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

}  // namespace mainwin
