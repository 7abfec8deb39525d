// Modes and the toolbar: stepping and picking a mode, the frame each mode
// shows, the rule buttons that only modes 1 and 2 allow, the filter class
// lists, the version window, and the commands locked during a run.
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest/QTest>

#include "WindowFixture.h"
#include "main/VersionDialog.h"

namespace mainwin {
namespace {

using testing::WindowTest;

void clickModeButton(frmMain& w) { QTest::mouseClick(w.ToolMode, Qt::LeftButton, {}, QPoint(6, w.ToolMode->height() / 2)); }

QFrame* modeFrame(frmMain& w, int mode) { return mode == 1 ? w.Frame1 : mode == 2 ? w.Frame2 : mode == 3 ? w.Frame3 : w.Frame5; }

void expectMode(frmMain& w, int mode) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(w.iMode, mode);
    for (int m = 1; m <= 4; ++m) {
        QFrame* frame = modeFrame(w, m);
        EXPECT_EQ(frame->isVisibleTo(&w), m == mode) << m;
        EXPECT_EQ(frame->pos(), m == mode ? QPoint(2, 30) : QPoint(533, 30)) << m;
    }
    EXPECT_TRUE(w.Frame4->isVisibleTo(&w));
    for (int index : {1, 2, 4, 5}) EXPECT_EQ(w.toolbarButtons[index]->isEnabled(), mode <= 2) << index;
    EXPECT_TRUE(w.ToolMode->isEnabled());
    const QStringList captions{"", "画層名一発変換", "画層状態一発変更", "画層情報Excel出力", "画層対応連続スクリプト"};
    EXPECT_EQ(w.windowTitle(), captions[mode]);
}

TEST_F(WindowTest, ModeButtonStepsThroughTheFourModes) {
    frmMain& w = open();
    w.show();
    expectMode(w, 1);
    for (int mode : {2, 3, 4, 1, 2}) {
        clickModeButton(w);
        expectMode(w, mode);
    }
}

TEST_F(WindowTest, ModeMenuPicksAMode) {
    frmMain& w = open();
    const QList<QAction*> entries = w.MenuMode->actions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[2]->text(), "画層データExcel出力");
    entries[3]->trigger();
    expectMode(w, 4);
    entries[0]->trigger();
    expectMode(w, 1);
    entries[2]->trigger();
    expectMode(w, 3);
    entries[1]->trigger();
    expectMode(w, 2);
}

TEST_F(WindowTest, ToolbarHasNineButtonsWithTips) {
    frmMain& w = open();
    EXPECT_EQ(w.Toolbar1->actions().size(), 9);
    for (int index : {3, 6, 8}) EXPECT_TRUE(w.toolbarButtons[index]->isSeparator()) << index;
    EXPECT_EQ(w.toolbarButtons[1]->toolTip(), "規則を記述したCSVﾌｧｲﾙを開く");
    EXPECT_EQ(w.toolbarButtons[2]->toolTip(), "Excelシートから規則を読み込む");
    EXPECT_EQ(w.toolbarButtons[4]->toolTip(), "規則をCSVﾌｧｲﾙに保存する");
    EXPECT_EQ(w.toolbarButtons[5]->toolTip(), "規則をExcelﾌｧｲﾙに出力する");
    EXPECT_EQ(w.ToolMode->toolTip(), "ツールの選択");
    EXPECT_EQ(w.ToolMode->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(w.toolbarButtons[9]->toolTip(), "バージョン情報");
    // Every button has a picture of its own.
    QList<QImage> pictures;
    for (int index : {1, 2, 4, 5, 9}) pictures << w.toolbarButtons[index]->icon().pixmap(20, 20).toImage();
    pictures << w.ToolMode->icon().pixmap(20, 20).toImage();
    for (int i = 0; i < pictures.size(); ++i) {
        EXPECT_FALSE(pictures[i].isNull()) << i;
        for (int j = 0; j < i; ++j) EXPECT_NE(pictures[i], pictures[j]) << i << " " << j;
    }
}

TEST_F(WindowTest, StartUpCaptionStaysThroughARun) {
    QFile ini(iniPath());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[MAIN]\r\nmode=3\r\n");
    ini.close();
    frmMain& w = open();
    EXPECT_EQ(w.windowTitle(), "画層データExcel出力");  // the menu's text at start-up
    w.CmdExecute->click();                             // stops: no drawings
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(w.windowTitle(), "画層データExcel出力");
    clickModeButton(w);
    EXPECT_EQ(w.windowTitle(), "画層対応連続スクリプト");
}

TEST_F(WindowTest, FilterClassListShowsOnlyForARealFilter) {
    frmMain& w = open();
    w.subSetMode(3);
    w.show();
    EXPECT_TRUE(w.CboFilterStringClass->isHidden());
    // Picking the second entry with the keyboard, as a user would.
    w.CboFilterString->setFocus();
    QTest::keyClick(w.CboFilterString, Qt::Key_Down);
    EXPECT_EQ(w.CboFilterString->currentIndex(), 1);
    EXPECT_FALSE(w.CboFilterStringClass->isHidden());
    QTest::keyClick(w.CboFilterString, Qt::Key_Up);
    EXPECT_TRUE(w.CboFilterStringClass->isHidden());
    // Typing a pattern shows the class list of the layer filter.
    w.CboFilterLayer->lineEdit()->selectAll();
    QTest::keyClicks(w.CboFilterLayer->lineEdit(), "^A");
    EXPECT_EQ(w.CboFilterLayer->currentText(), "^A");
    EXPECT_FALSE(w.CboFilterLayerClass->isHidden());
    closeWindow();
    EXPECT_EQ(readMain("CboFilterLayer"), "^A");
}

TEST_F(WindowTest, VersionWindowNamesTheProgram) {
    frmMain& w = open();
    w.show();
    w.toolbarButtons[9]->trigger();
    auto* dialog = qobject_cast<VersionDialog*>(w.versionWindow());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->LblTitle->text(), "Stratakit Ver1.00");
    QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.versionWindow(), nullptr);
}

TEST_F(WindowTest, RunLocksExecuteListsAndModesButNotClose) {
    frmMain& w = open();
    w.show();
    w.setRunning(true);
    EXPECT_FALSE(w.CmdExecute->isEnabled());
    EXPECT_FALSE(w.ToolMode->isEnabled());
    EXPECT_FALSE(w.toolbarButtons[1]->isEnabled());
    EXPECT_FALSE(w.CmdAddRule->isEnabled());
    EXPECT_FALSE(w.CmdResetDWGs->isEnabled());
    EXPECT_TRUE(w.CmdCancel->isEnabled());
    w.MenuMode->actions()[2]->trigger();
    EXPECT_EQ(w.iMode, 1);

    w.setRunning(false);
    EXPECT_TRUE(w.CmdExecute->isEnabled());
    EXPECT_TRUE(w.toolbarButtons[1]->isEnabled());
    EXPECT_TRUE(w.CmdResetDWGs->isEnabled());
}

}  // namespace
}  // namespace mainwin
