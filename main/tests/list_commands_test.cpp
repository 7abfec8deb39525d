// The list commands: delete with renumbering, edit, reset, select all, the
// titles, and drawings added by dialog, by drop and by path.
#include <QDropEvent>
#include <QElapsedTimer>
#include <QThread>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QtTest/QTest>

#include "WindowFixture.h"
#include "main/FileDropList.h"
#include "main/ListConversion.h"

namespace mainwin {
namespace {

using testing::WindowTest;

void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void clickRow(QTreeWidget& list, int row, Qt::KeyboardModifiers modifiers = {}) {
    const QRect rect = list.visualItemRect(list.topLevelItem(row));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, rect.center());
}

TEST_F(WindowTest, DeletingTheCurrentRowRenumbersTheRest) {
    frmMain& w = open();
    w.show();
    for (const char* name : {"a", "b", "c", "d"}) appendRow(*w.LstvLayerName, {name, name});
    click(w.CmdSelectAllLayerName);
    EXPECT_EQ(w.Label1->text(), "画層名の変更規則 - 4/4 件を実行");
    w.LstvLayerName->setCurrentItem(w.LstvLayerName->topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
    click(w.CmdDeleteRule);
    EXPECT_EQ(column(*w.LstvLayerName, 0), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(column(*w.LstvLayerName, 1), (QStringList{"a", "c", "d"}));
    EXPECT_EQ(w.Label1->text(), "画層名の変更規則 - 3/3 件を実行");
}

// As a user's double click arrives: a click, then the double click.
void doubleClick(QTreeWidget& list, QPoint at) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
}

void doubleClickRow(QTreeWidget& list, int row) {
    doubleClick(list, list.visualItemRect(list.topLevelItem(row)).center());
}

TEST_F(WindowTest, EmptyListsRefuseEditAndDelete) {
    frmMain& w = open();
    w.show();
    click(w.CmdDeleteRuleState);
    w.LstvKeyword->clear();
    click(w.CmdKeywordDel);
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[0].text, "削除するデータが一つもありません。");
    EXPECT_EQ(messages.messages[0].style, support::vbExclamation);
    // A double click where no row is, in each list that edits its rows.
    doubleClick(*w.LstvLayerName, w.LstvLayerName->viewport()->rect().center());
    ASSERT_EQ(messages.messages.size(), 3u);
    EXPECT_EQ(messages.messages[2].text, "編集するデータが一つもありません。");
    w.subSetMode(2);
    doubleClick(*w.LstvLayerState, QPoint(10, 10));
    w.subSetMode(4);
    doubleClick(*w.LstvKeyword, QPoint(10, 10));
    ASSERT_EQ(messages.messages.size(), 5u);
    EXPECT_EQ(messages.messages[4].text, "編集するデータが一つもありません。");
}

TEST_F(WindowTest, EditingARowKeepsItsNumber) {
    MainWindowServices services;
    services.editLayerNameRule = [](QString& before, QString& after) {
        EXPECT_EQ(before, "a");
        before = "^A";
        after = "B";
        return true;
    };
    frmMain& w = open(services);
    w.show();
    for (const char* name : {"a", "b", "c"}) appendRow(*w.LstvLayerName, {name, name});
    doubleClickRow(*w.LstvLayerName, 0);
    EXPECT_EQ(column(*w.LstvLayerName, 0), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(column(*w.LstvLayerName, 1), (QStringList{"^A", "b", "c"}));
    EXPECT_EQ(column(*w.LstvLayerName, 2), (QStringList{"B", "b", "c"}));
}

TEST_F(WindowTest, AddedRulesAreNumberedAndNotSelected) {
    MainWindowServices services;
    services.editLayerStateRule = [](QString& pattern, QStringList& settings) {
        pattern = "^X$";
        settings = {"する", "しない", "(変更なし)", "7", "DASHED", "0.30 mm", "", "する"};
        return true;
    };
    frmMain& w = open(services);
    click(w.CmdAddRuleState);
    click(w.CmdAddRuleState);
    EXPECT_EQ(column(*w.LstvLayerState, 0), (QStringList{"1", "2"}));
    EXPECT_EQ(w.LstvLayerState->topLevelItem(1)->text(5), "7");
    EXPECT_EQ(w.LstvLayerState->topLevelItem(1)->text(9), "する");
    EXPECT_EQ(w.Label4->text(), "画層状態の変更規則 - 0/2 件を実行");
}

TEST_F(WindowTest, BlankKeywordsAreRefused) {
    QString typed;
    MainWindowServices services;
    services.get2Item = [&](const QString& caption, const QString& l1, const QString& l2, QString& s1, QString& s2) {
        EXPECT_EQ(l1, "検索ｷｰﾜｰﾄﾞ");
        EXPECT_EQ(l2, "置換文字");
        s1 = typed;
        s2 = caption;
        return true;
    };
    frmMain& w = open(services);
    w.show();
    typed = "";
    click(w.CmdKeywordAdd);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "検索キーワードにブランクを設定することはできません。");
    EXPECT_EQ(w.LstvKeyword->topLevelItemCount(), 2);
    typed = "<新>";
    click(w.CmdKeywordAdd);
    EXPECT_EQ(column(*w.LstvKeyword, 2).last(), "検索ｷｰﾜｰﾄﾞの追加");
    // Editing to a blank keyword leaves the row as it was.
    w.subSetMode(4);
    typed = "";
    doubleClickRow(*w.LstvKeyword, 0);
    EXPECT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(column(*w.LstvKeyword, 1), (QStringList{"<点1>", "<点2>", "<新>"}));
    typed = "<改>";
    doubleClickRow(*w.LstvKeyword, 0);
    EXPECT_EQ(w.LstvKeyword->topLevelItem(0)->text(1), "<改>");
    EXPECT_EQ(w.LstvKeyword->topLevelItem(0)->text(2), "検索ｷｰﾜｰﾄﾞの編集");
}

TEST_F(WindowTest, AddFilesTakesExistingDrawingsOnly) {
    frmMain& w = open();
    const QString plan = touch("plan.DWG");
    const QString sheet = touch("sheet.dxf");
    w.subAddFiles({plan, "", folder.filePath("missing.dwg"), touch("notes.pdf"), folder.path(), plan, sheet});
    EXPECT_EQ(column(*w.LstvDWGs, 0), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(column(*w.LstvDWGs, 1), (QStringList{"plan.DWG", "plan.DWG", "sheet.dxf"}));
    EXPECT_EQ(column(*w.LstvDWGs, 2), (QStringList{plan, plan, sheet}));
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 0/3 件を実行");
}

TEST_F(WindowTest, DrawingDialogAddsUnselectedRows) {
    QStringList chosen;
    MainWindowServices services;
    services.chooseDrawings = [&] { return chosen; };
    frmMain& w = open(services);
    click(w.CmdDWG);  // cancelled
    EXPECT_EQ(w.LstvDWGs->topLevelItemCount(), 0);
    chosen = {touch("1.dwg"), touch("2.dwg"), touch("3.dwg")};
    click(w.CmdDWG);
    EXPECT_EQ(column(*w.LstvDWGs, 2), chosen);
    EXPECT_EQ(selectedCount(*w.LstvDWGs), 0);
}

TEST_F(WindowTest, DroppedDrawingsJoinAndEveryRowEndsSelected) {
    frmMain& w = open();
    w.show();
    w.subAddFiles({touch("old.dwg")});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(touch("a.dwg")), QUrl::fromLocalFile(touch("b.dwg")),
                  QUrl::fromLocalFile(touch("c.dwg")), QUrl::fromLocalFile(touch("d.pdf"))});
    w.LstvDWGs->takeDrop(data);
    EXPECT_EQ(column(*w.LstvDWGs, 1), (QStringList{"old.dwg", "a.dwg", "b.dwg", "c.dwg"}));
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 4/4 件を実行");
}

TEST_F(WindowTest, ClickingRowsUpdatesTheTitleAtOnce) {
    frmMain& w = open();
    w.show();
    w.subAddFiles({touch("a.dwg"), touch("b.dwg"), touch("c.dwg")});
    clickRow(*w.LstvDWGs, 0);
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 1/3 件を実行");
    clickRow(*w.LstvDWGs, 2, Qt::ControlModifier);
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 2/3 件を実行");
    click(w.CmdResetDWGs);
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 0/0 件を実行");
}

TEST_F(WindowTest, OpenFallsBackToTheEditorCommandAndSaysWhenNothingOpensTheFile) {
    bool desktopOpens = false;
    QStringList started;
    MainWindowServices services;
    services.openInTextEditor = [&](const QString&) { return desktopOpens; };
    services.startProgram = [&](const QString& program, const QStringList& arguments) {
        started = QStringList{program} + arguments;
        return program != "missing-editor";
    };
    frmMain& w = open(services);
    w.subSetMode(4);
    const QString base = touch("base script.txt");
    w.TxtBaseFile->setText(base);

    click(w.CmdOpen);  // no launcher and no command: the user is told how to set one
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "テキストエディタでベースファイルを開くことが出来ませんでした。\r\n"
                                         "Laminor.ini の [MAIN] に TextEditor=エディタのコマンド を設定してください。");
    EXPECT_TRUE(started.isEmpty());

    QFile ini(iniPath());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[MAIN]\r\nTextEditor=gedit --new-window\r\n");
    ini.close();
    click(w.CmdOpen);
    EXPECT_EQ(started, (QStringList{"gedit", "--new-window", base}));
    EXPECT_EQ(messages.messages.size(), 1u);

    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[MAIN]\r\nTextEditor=missing-editor\r\n");
    ini.close();
    click(w.CmdOpen);
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].text, "テキストエディタでベースファイルを開くことが出来ませんでした。\r\nTextEditor=missing-editor");

    desktopOpens = true;  // the desktop's editor comes first
    started.clear();
    click(w.CmdOpen);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(messages.messages.size(), 2u);
}

TEST_F(WindowTest, OpenWithoutBaseFileWarns) {
    QStringList opened;
    MainWindowServices services;
    services.openInTextEditor = [&](const QString& path) {
        opened << path;
        return true;
    };
    frmMain& w = open(services);
    w.subSetMode(4);
    click(w.CmdOpen);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "ベースファイルが見つかりません。");
    const QString base = touch("base.txt");
    w.TxtBaseFile->setText(base);
    click(w.CmdOpen);
    EXPECT_EQ(opened, QStringList{base});
}


TEST_F(WindowTest, PickwellButtonStartsTagseekFromTheProgramFolder) {
    frmMain& w = open();
    w.subSetMode(3);
    click(w.CmdTagseek);  // not there yet: said, not ignored
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith("Pickwellを起動できませんでした。"));

    // A stand-in tagseek in the program folder notes how it was started.
    const QString marker = folder.filePath("started.txt");
    QFile tagseek(folder.filePath("tagseek"));
    ASSERT_TRUE(tagseek.open(QIODevice::WriteOnly));
    tagseek.write(QStringLiteral("#!/bin/sh\necho \"$# $0\" > '%1'\n").arg(marker).toUtf8());
    tagseek.close();
    tagseek.setPermissions(tagseek.permissions() | QFile::ExeOwner);
    click(w.CmdTagseek);
    EXPECT_EQ(messages.count(), 1);
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo(marker).size() && waited.elapsed() < 20000) QThread::msleep(10);
    QFile started(marker);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll().trimmed(), ("0 " + folder.filePath("tagseek")).toUtf8());  // no arguments
}

}  // namespace
}  // namespace mainwin
