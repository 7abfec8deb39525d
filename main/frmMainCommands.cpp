// The main window's list commands: add, edit, delete, reset and select rows,
// add drawings, and the small commands of the script and survey frames.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>

#include "main/BatchRun.h"
#include "main/FileDropList.h"
#include "main/ListConversion.h"
#include "main/MainSettings.h"
#include "main/frmMain.h"
#include "support/Foreground.h"
#include "support/Ini.h"
#include "support/MessageBox.h"
#include "support/ProgramFolder.h"

namespace mainwin {

namespace {

void warn(const QString& text) {
    support::bringMainWindowToFront();
    support::MsgBox(text, support::vbExclamation, support::kLaminorTitle);
}

const QString kBlankKeyword = QStringLiteral("検索キーワードにブランクを設定することはできません。");
const QString kKeywordLabel = QStringLiteral("検索ｷｰﾜｰﾄﾞ");
const QString kReplacementLabel = QStringLiteral("置換文字");

// The row to edit: the list's current item. None when the list is empty
// (after the message) or when no row is current.
QTreeWidgetItem* rowToEdit(QTreeWidget& list) {
    if (list.topLevelItemCount() == 0) {
        warn(QStringLiteral("編集するデータが一つもありません。"));
        return nullptr;
    }
    return list.currentItem();
}

}  // namespace

void frmMain::CmdAddRule_Click() {
    if (services_.editLayerNameRule) {
        QString before, after;
        if (services_.editLayerNameRule(before, after)) appendRow(*LstvLayerName, {before, after});
    }
    subShowRuleCount();
}

void frmMain::CmdAddRuleState_Click() {
    if (services_.editLayerStateRule) {
        QString pattern;
        QStringList settings;
        if (services_.editLayerStateRule(pattern, settings)) {
            QStringList row{pattern};
            for (int i = 0; i < 8; ++i) row << settings.value(i);
            appendRow(*LstvLayerState, row);
        }
    }
    subShowStateCount();
}

void frmMain::CmdKeywordAdd_Click() {
    if (!services_.get2Item) return;
    QString keyword, replacement;
    if (!services_.get2Item(QStringLiteral("検索ｷｰﾜｰﾄﾞの追加"), kKeywordLabel, kReplacementLabel, keyword,
                            replacement))
        return;
    if (keyword.isEmpty()) {
        warn(kBlankKeyword);
        return;
    }
    appendRow(*LstvKeyword, {keyword, replacement});
}

void frmMain::editLayerNameRow() {
    QTreeWidgetItem* row = rowToEdit(*LstvLayerName);
    if (row && services_.editLayerNameRule) {
        QString before = cellText(*row, 1), after = cellText(*row, 2);
        if (services_.editLayerNameRule(before, after)) {
            row->setText(1, before);
            row->setText(2, after);
        }
    }
    subShowRuleCount();
}

void frmMain::editLayerStateRow() {
    QTreeWidgetItem* row = rowToEdit(*LstvLayerState);
    if (row && services_.editLayerStateRule) {
        QString pattern = cellText(*row, 1);
        QStringList settings;
        for (int c = 2; c < 10; ++c) settings << cellText(*row, c);
        if (services_.editLayerStateRule(pattern, settings)) {
            row->setText(1, pattern);
            for (int i = 0; i < 8; ++i) row->setText(i + 2, settings.value(i));
        }
    }
    subShowStateCount();
}

void frmMain::editKeywordRow() {
    QTreeWidgetItem* row = rowToEdit(*LstvKeyword);
    if (!row || !services_.get2Item) return;
    QString keyword = cellText(*row, 1), replacement = cellText(*row, 2);
    if (!services_.get2Item(QStringLiteral("検索ｷｰﾜｰﾄﾞの編集"), kKeywordLabel, kReplacementLabel, keyword,
                            replacement))
        return;
    if (keyword.isEmpty()) {
        warn(kBlankKeyword);
        return;
    }
    row->setText(1, keyword);
    row->setText(2, replacement);
}

// Removes the current row (one per click, whatever else is selected) and
// renumbers the rest. False when there was nothing to delete.
bool frmMain::deleteCurrentRow(QTreeWidget& list) {
    if (list.topLevelItemCount() == 0) {
        warn(QStringLiteral("削除するデータが一つもありません。"));
        return false;
    }
    QTreeWidgetItem* row = list.currentItem();
    if (!row) return false;
    delete list.takeTopLevelItem(list.indexOfTopLevelItem(row));
    subRenumberRows(list);
    return true;
}

// Both act on the whole list in one step: row by row, every change of the
// selection would recount the title, which grows with the square of the rows.
void frmMain::resetList(QTreeWidget& list) { list.clear(); }

void frmMain::selectAll(QTreeWidget& list) { list.selectAll(); }

void frmMain::CmdSelectAllDWGs_Click() {
    selectAll(*LstvDWGs);
    LstvDWGs->setFocus();
    subShowDWGCount();
}

void frmMain::subAddFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (path.isEmpty()) continue;
        const QFileInfo file(path);
        if (isDrawingFile(file)) appendRow(*LstvDWGs, {file.fileName(), path});
    }
    subShowDWGCount();
}

void frmMain::LstvDWGs_Drop(const QStringList& paths) {
    if (running_) return;
    subAddFiles(paths);
    CmdSelectAllDWGs_Click();
}

void frmMain::CmdDWG_Click() {
    const QStringList chosen = services_.chooseDrawings();
    if (!chosen.isEmpty()) subAddFiles(chosen);
}

void frmMain::CmdBaseFile_Click() {
    const QString chosen = services_.chooseBaseFile(TxtBaseFile->text());
    if (!chosen.isEmpty()) TxtBaseFile->setText(QDir::toNativeSeparators(chosen));
}

// The desktop's editor first; where the desktop has no launcher, the command
// set as TextEditor in section MAIN of Laminor.ini (for example "mousepad" or
// "gedit --new-window"), with the file's path as its last argument.
void frmMain::CmdOpen_Click() {
    const QString path = TxtBaseFile->text();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        warn(QStringLiteral("ベースファイルが見つかりません。"));
        return;
    }
    if (services_.openInTextEditor(path)) return;
    const QString command =
        support::GetINI(kIniFileName, QStringLiteral("MAIN"), QStringLiteral("TextEditor"), QString(), false).toString();
    QStringList arguments = QProcess::splitCommand(command);
    if (!arguments.isEmpty()) {
        const QString program = arguments.takeFirst();
        if (services_.startProgram(program, arguments << path)) return;
    }
    support::bringMainWindowToFront();
    support::MsgBox(QStringLiteral("テキストエディタでベースファイルを開くことが出来ませんでした。\r\n") +
                        (command.trimmed().isEmpty()
                             ? QStringLiteral("Laminor.ini の [MAIN] に TextEditor=エディタのコマンド を設定してください。")
                             : QStringLiteral("TextEditor=") + command),
                    support::vbExclamation, support::kLaminorTitle);
}

void frmMain::CmdEnv_Click() {
    if (services_.showScriptEnv) services_.showScriptEnv(scriptEnv);
}

// Tagseek sits beside this program; a missing or unstartable one is said
// rather than ignored.
void frmMain::CmdTagseek_Click() {
    const QString program = QDir(support::programFolder()).filePath(QStringLiteral("tagseek"));
    if (!QFileInfo(program).isExecutable() || !services_.startProgram(program, {})) {
        support::MsgBox(QStringLiteral("Pickwellを起動できませんでした。\r\n") + QDir::toNativeSeparators(program),
                        support::vbCritical, support::kLaminorTitle);
    }
}

}  // namespace mainwin
