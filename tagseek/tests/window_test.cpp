// Tagseek's window driven as a user drives it, over an in-process host: drops
// with and without searching, the counters, Cancel, the search button, the
// keys, the settings kept in Tagseek.ini and the result dialog itself.
#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>

#include "tagseek/frmMain.h"
#include "tagseek/tests/InProcessHostFixture.h"
#include "tagseek/tests/WindowDriving.h"

namespace tagseek::testing {
namespace {

QStringList listed(const frmMain& w) {
    QStringList out;
    for (int i = 0; i < w.LstvHandle->topLevelItemCount(); ++i) out << w.LstvHandle->topLevelItem(i)->text(0);
    return out;
}

QImage picture(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which).pixmap(32, 32).toImage();
}

TEST_F(InProcessTagseekTest, ADropIsListedSearchedOneByOneAndTheWindowComesBack) {
    frmMain w;
    w.show();
    ResultAnswerer answers;
    std::vector<bool> windowShown;
    answers.onShow = [&](frmMsg& dialog) {
        windowShown.push_back(w.isVisible());
        EXPECT_EQ(dialog.windowTitle(), "PickwellFree版 Ver1.00");
        EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    };
    ASSERT_TRUE(dropText(w.LstvHandle->viewport(), "23A\r\nZZZ\r\n23C"));
    ASSERT_TRUE(waitUntil([&] { return answers.shown.size() == 3 && w.isVisible(); }));

    EXPECT_EQ(listed(w), (QStringList{"23A", "ZZZ", "23C"}));
    // No final line break: n counts two separators, so the last reads 3/2.
    EXPECT_EQ(answers.counters(), (QStringList{"( 1/2 )", "( 2/2 )", "( 3/2 )"}));
    EXPECT_EQ(answers.shown[0].text.split(u'\n'),
              (QStringList{"【ハンドル値】23A", "【ｵﾌﾞｼﾞｪｸﾄ名】AcDbText", "【データ】仕上：ﾀｲﾙ", "",
                           " が見つかりました。", "処理を続けますか？", "( 1/2 )"}));
    EXPECT_EQ(answers.shown[1].text, "ZZZ\n\n が見つかりませんでした。\n処理を続けますか？\n( 2/2 )");
    EXPECT_TRUE(answers.shown[2].text.startsWith("【ハンドル値】23C\n【ｵﾌﾞｼﾞｪｸﾄ名】AcDbLine\n\n"));
    // The window hides while the host shows the objects, and comes back on top.
    EXPECT_EQ(windowShown, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_GE(shell->activations, 1);
    EXPECT_EQ(provider->creates, 0);
}

TEST_F(InProcessTagseekTest, CancelOnTheFirstOfTenStillListsAllTen) {
    frmMain w;
    w.show();
    ResultAnswerer answers;
    answers.cancelAt(1);
    QStringList ten;
    for (int i = 0; i < 10; ++i) ten << QString::number(0x23A + i, 16).toUpper();
    ASSERT_TRUE(dropText(w.CmdExecute, ten.join("\r\n") + "\r\n"));
    ASSERT_TRUE(waitUntil([&] { return listed(w).size() == 10 && w.isVisible(); }));
    EXPECT_EQ(listed(w), ten);
    EXPECT_EQ(answers.counters(), QStringList{"( 1/10 )"});
}

TEST_F(InProcessTagseekTest, LinesFromALinuxEditorAndEmptyLines) {
    frmMain w;
    w.show();
    ResultAnswerer answers;
    // LF line ends separate as CR LF does; empty lines are skipped but counted.
    ASSERT_TRUE(dropText(w.LstvHandle->viewport(), "23A\n\n23C\n"));
    ASSERT_TRUE(waitUntil([&] { return answers.shown.size() == 2 && w.isVisible(); }));
    EXPECT_EQ(listed(w), (QStringList{"23A", "23C"}));
    EXPECT_EQ(answers.counters(), (QStringList{"( 1/3 )", "( 2/3 )"}));
}

TEST_F(InProcessTagseekTest, UntickedDropsOnlyListAndTheSearchButtonTakesTheSelectedOnes) {
    frmMain w;
    w.show();
    ResultAnswerer answers;
    w.ChkDropFind->click();
    ASSERT_FALSE(w.ChkDropFind->isChecked());
    ASSERT_TRUE(dropText(w.LstvHandle->viewport(), "23A\r\n240\r\n23C\r\n"));
    ASSERT_TRUE(waitUntil([&] { return listed(w).size() == 3; }));
    EXPECT_TRUE(answers.shown.empty());

    w.LstvHandle->topLevelItem(0)->setSelected(true);
    w.LstvHandle->topLevelItem(2)->setSelected(true);
    const int activationsBefore = shell->activations;
    w.CmdExecute->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(answers.counters(), (QStringList{"( 1/2 )", "( 2/2 )"}));
    EXPECT_TRUE(answers.shown[1].text.startsWith("【ハンドル値】23C\n"));
    // The host is activated on connecting and again for each object found.
    EXPECT_GE(shell->activations - activationsBefore, 3);

    // Cancel stops the search button's run too.
    w.LstvHandle->selectAll();
    answers.cancelAt(3);
    w.CmdExecute->click();
    EXPECT_EQ(answers.shown.size(), 3u);
}

TEST_F(InProcessTagseekTest, WithoutARunningHostADropSaysSoAndChangesNothing) {
    provider->running = false;
    frmMain w;
    w.show();
    ResultAnswerer answers;
    ASSERT_TRUE(dropText(w.LstvHandle->viewport(), "23A\r\n"));
    ASSERT_TRUE(waitUntil([&] { return messages.count() == 1; }));
    EXPECT_EQ(messages.last().text,
              "AutoCAD（レギュラー版）が見つかりません。\r\n"
              "ドロップしたハンドルを含むAutoCAD図面をアクティブにしてから実行してください。");
    EXPECT_EQ(messages.last().icon(), support::vbCritical);
    EXPECT_EQ(messages.last().title, "PickwellFree版 Ver1.00");
    EXPECT_TRUE(listed(w).isEmpty());
    EXPECT_TRUE(w.isVisible());

    w.CmdExecute->click();
    EXPECT_EQ(messages.count(), 2);
    EXPECT_TRUE(answers.shown.empty());
    EXPECT_EQ(provider->creates, 0);
}

TEST_F(InProcessTagseekTest, DroppedFilesAreNotHandles) {
    frmMain w;
    w.show();
    ResultAnswerer answers;
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(folder.filePath("a.dxf"))});
    ASSERT_TRUE(drop(w.LstvHandle->viewport(), files));
    QApplication::processEvents();
    ASSERT_TRUE(waitUntil([&] { return w.isVisible(); }));
    EXPECT_TRUE(listed(w).isEmpty());
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(InProcessTagseekTest, CtrlASelectsEveryHandleAndResetEmptiesTheList) {
    frmMain w;
    w.show();
    ResultAnswerer answers;
    w.ChkDropFind->setChecked(false);
    ASSERT_TRUE(dropText(w.LstvHandle->viewport(), "1\r\n2\r\n3\r\n"));
    ASSERT_TRUE(waitUntil([&] { return listed(w).size() == 3; }));
    auto selected = [&] { return int(w.LstvHandle->selectedItems().size()); };

    for (QWidget* control : {static_cast<QWidget*>(w.LstvHandle), static_cast<QWidget*>(w.CmdReset),
                             static_cast<QWidget*>(w.CmdExecute), static_cast<QWidget*>(w.ChkDropFind)}) {
        w.LstvHandle->clearSelection();
        QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(selected(), 0) << control->objectName().toStdString();
        QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(selected(), 3) << control->objectName().toStdString();
    }
    w.CmdReset->click();
    EXPECT_TRUE(listed(w).isEmpty());
    EXPECT_TRUE(w.LstvHandle->hasFocus() || !w.isActiveWindow());
}

TEST_F(InProcessTagseekTest, PlaceSizeAndTheCheckBoxAreKeptInTagseekIni) {
    {
        frmMain w;  // no INI yet: the top left corner, the designed size, ticked
        EXPECT_EQ(w.pos(), QPoint(0, 0));
        EXPECT_EQ(w.size(), QSize(219, 209));
        EXPECT_TRUE(w.ChkDropFind->isChecked());
        EXPECT_EQ(w.windowTitle(), "PickwellFree版 Ver1.00");
        EXPECT_EQ(w.LstvHandle->headerItem()->text(0), "AutoCADﾊﾝﾄﾞﾙ値");
        EXPECT_EQ(w.LstvHandle->toolTip(), "ハンドル値をここにドラック＆ドロップしてください");
        w.show();
        w.move(90, 60);
        w.resize(300, 250);
        w.ChkDropFind->click();
        w.close();
    }
    EXPECT_EQ(readIni("Main", "Left"), "1350");
    EXPECT_EQ(readIni("Main", "Top"), "900");
    EXPECT_EQ(readIni("Main", "Width"), "4575");
    EXPECT_EQ(readIni("Main", "Height"), "4140");
    EXPECT_EQ(readIni("Main", "ChkDropFind"), "F");

    frmMain again;
    EXPECT_EQ(again.pos(), QPoint(90, 60));
    EXPECT_EQ(again.size(), QSize(300, 250));
    EXPECT_FALSE(again.ChkDropFind->isChecked());
    // The resize rule: the list fills the window, the buttons keep to its right edge.
    again.show();
    EXPECT_EQ(again.LstvHandle->geometry(), QRect(0, 20, 297, 208));
    EXPECT_EQ(again.CmdReset->x(), 246);
    EXPECT_EQ(again.CmdExecute->x(), 192);
    EXPECT_EQ(again.LstvHandle->columnWidth(0), int(297 * 0.9));
}

TEST_F(TagseekTest, TheResultDialogAnswersKeepsItsPlaceAndHandsTheFocusToTheHost) {
    // With no INI file the dialog opens at the top left corner.
    ResultAnswerer answers;
    EXPECT_TRUE(frmMsg::pu_fun_bFromShow("found", 64));
    EXPECT_EQ(answers.shown.back().pos, QPoint(0, 0));

    answers.cancelAt(2);
    answers.onShow = [&](frmMsg& dialog) {
        if (answers.shown.size() == 2) {
            EXPECT_EQ(dialog.Image1->pixmap().toImage(), picture(QStyle::SP_MessageBoxWarning));
            dialog.move(120, 80);  // the user moves it, then answers
        }
    };
    EXPECT_FALSE(frmMsg::pu_fun_bFromShow("not found", 48));
    EXPECT_EQ(readIni("MSGBOX", "left"), "1800");
    EXPECT_EQ(readIni("MSGBOX", "top"), "1200");

    // The next one, also after a restart, opens where the last one was left.
    answers.onShow = [&](frmMsg& dialog) {
        EXPECT_EQ(dialog.Image1->pixmap().toImage(), picture(QStyle::SP_MessageBoxInformation));
    };
    EXPECT_TRUE(frmMsg::pu_fun_bFromShow("again", 64));
    EXPECT_EQ(answers.shown.back().pos, QPoint(120, 80));
}

TEST_F(InProcessTagseekTest, TheResultDialogClosedOtherwiseMeansStopAndLongTextsFit) {
    QString longText;
    for (int i = 0; i < 40; ++i) longText += QStringLiteral("【データ】長い文字列 %1\r\n").arg(i);
    bool closed = false;
    QTimer::singleShot(50, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<frmMsg*>(w); dialog && dialog->isVisible()) {
                EXPECT_GT(dialog->height(), 111);
                EXPECT_LT(dialog->height(), 600);
                // Activated after showing, the dialog hands the activation to the host.
                dialog->activateWindow();
                EXPECT_TRUE(waitUntil([&] { return shell->activations == 1; }, 5000));
                EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
                closed = dialog->close();
            }
    });
    // Closing it while Tagseek's window is hidden for the search must not end the program.
    bool lastWindowClosed = false;
    const auto watch = QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { lastWindowClosed = true; });
    EXPECT_FALSE(frmMsg::pu_fun_bFromShow(longText, 16, drawings->application()));
    QObject::disconnect(watch);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(lastWindowClosed);
}

}  // namespace
}  // namespace tagseek::testing
