// Start-up: a first start, drawings of a running host, the base-file label,
// and an INI file that cannot be created.
#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "WindowFixture.h"
#include "FakeRunningHost.h"
#include "main/FileDropList.h"

namespace mainwin {
namespace {

using testing::RunningHost;
using testing::WindowTest;

TEST_F(WindowTest, FirstStartShowsTheDefaults) {
    frmMain& w = open();
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_EQ(w.pos(), QPoint(0, 0));
    EXPECT_EQ(w.width(), 547);  // 8205 twips
    EXPECT_EQ(w.iMode, 1);
    EXPECT_EQ(w.windowTitle(), "画層名一発変換");
    EXPECT_EQ(w.CboFilterLayer->currentText(), "(全てを対象)");
    EXPECT_EQ(w.CboFilterString->currentText(), "(全てを対象)");
    EXPECT_TRUE(w.CboFilterLayerClass->isHidden());
    EXPECT_TRUE(w.CboFilterStringClass->isHidden());
    EXPECT_EQ(w.CboFilterString->count(), 2);
    EXPECT_EQ(w.CboFilterLayerClass->count(), 4);
    EXPECT_FALSE(w.ChkOutputTextToCSV->isChecked());
    EXPECT_FALSE(w.ChkNum->isChecked());
    EXPECT_FALSE(w.ChkDWGSave->isChecked());
    EXPECT_EQ(w.TxtBaseFile->text(), "");
    EXPECT_EQ(w.LblBaseFile->text(), "スクリプトベースファイル");
    EXPECT_EQ(column(*w.LstvKeyword, 0), (QStringList{"1", "2"}));
    EXPECT_EQ(column(*w.LstvKeyword, 1), (QStringList{"<点1>", "<点2>"}));
    EXPECT_EQ(column(*w.LstvKeyword, 2), (QStringList{"0,0", "100,100"}));
    EXPECT_EQ(w.Label1->text(), "画層名の変更規則 - 0/0 件を実行");
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 0/0 件を実行");
    EXPECT_EQ(w.Label4->text(), "画層状態の変更規則 - 0/0 件を実行");
    EXPECT_EQ(w.scriptEnv, ScriptEnv{});
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(WindowTest, ScriptEnvironmentIsReadFromItsSection) {
    support::WriteINI("Laminor.ini", "ScriptEnv", "TxtKeyPath", "<P>");
    support::WriteINI("Laminor.ini", "ScriptEnv", "CboScriptFilterLayoutClass", "3");
    support::WriteINI("Laminor.ini", "ScriptEnv", "CboKeyPtinter", "PDF");
    frmMain& w = open();
    EXPECT_EQ(w.scriptEnv.sKeywordPath, "<P>");
    EXPECT_EQ(w.scriptEnv.iFilterLayoutClass, 3);
    EXPECT_EQ(w.scriptEnv.sReplacePrinter, "PDF");
    EXPECT_EQ(w.scriptEnv.sFilterLayout, "model");
    EXPECT_EQ(w.scriptEnv.sKeywordPaperSize, "<PAPERSIZE>");
}

TEST_F(WindowTest, ModeAfterStartUpIsCaptionedWithItsMenuText) {
    setMain("mode", "3");
    frmMain& w = open();
    EXPECT_EQ(w.windowTitle(), "画層データExcel出力");
    EXPECT_TRUE(w.Frame3->isVisibleTo(&w));
    EXPECT_EQ(w.Frame3->pos(), QPoint(2, 30));
}

TEST_F(WindowTest, StoredModeOutOfRangeOpensInModeOne) {
    setMain("mode", "7");
    frmMain& w = open();
    EXPECT_EQ(w.iMode, 1);
    EXPECT_TRUE(w.Frame1->isVisibleTo(&w));
    EXPECT_EQ(w.windowTitle(), "画層名一発変換");
}

TEST_F(WindowTest, BaseFileLabelNamesAnExistingFile) {
    const QString base = touch("base.scr");
    setMain("TxtBaseFile", base);
    frmMain& w = open();
    EXPECT_EQ(w.LblBaseFile->text(), "スクリプトベースファイル - base.scr");
    w.TxtBaseFile->setText(folder.filePath("nothing.scr"));
    EXPECT_EQ(w.LblBaseFile->text(), "スクリプトベースファイル");
    w.TxtBaseFile->setText(folder.path());  // a folder is not a file
    EXPECT_EQ(w.LblBaseFile->text(), "スクリプトベースファイル");
}

TEST_F(WindowTest, IniThatCannotBeCreatedIsSaidOnceAndNothingIsSaved) {
    const QString missing = folder.filePath("no/such/folder");
    support::setProgramFolder(missing);
    frmMain& w = open();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.contains("設定は保存されません"));
    EXPECT_EQ(messages.messages[0].style, support::vbExclamation);
    EXPECT_EQ(messages.messages[0].title, "Stratakit Ver1.00");
    // The window works with its defaults and closes without writing.
    EXPECT_EQ(w.iMode, 1);
    EXPECT_EQ(w.LstvKeyword->topLevelItemCount(), 2);
    QTest::mouseClick(w.CmdCancel, Qt::LeftButton);
    EXPECT_EQ(endProgramCalls, 1);
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(WindowTest, CloseButtonSavesOnceAndEndsTheProgram) {
    frmMain& w = open();
    w.ChkNum->setChecked(true);
    QTest::mouseClick(w.CmdCancel, Qt::LeftButton);
    EXPECT_EQ(endProgramCalls, 1);
    EXPECT_TRUE(w.closeRequested());
    EXPECT_EQ(readMain("ChkNum"), "T");
}

TEST_F(WindowTest, DrawingsOpenInARunningHostAreListedAndSelected) {
    auto provider = std::make_shared<RunningHost>();
    provider->app->docs->paths = {touch("a.dwg"), touch("b.DXF"), folder.filePath("gone.dwg"), touch("notes.txt"),
                                  touch("c.Dwg")};
    host::setHostProvider(provider);
    frmMain& w = open();
    EXPECT_EQ(column(*w.LstvDWGs, 1), (QStringList{"a.dwg", "b.DXF", "c.Dwg"}));
    EXPECT_EQ(column(*w.LstvDWGs, 2), (QStringList{folder.filePath("a.dwg"), folder.filePath("b.DXF"),
                                                   folder.filePath("c.Dwg")}));
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 3/3 件を実行");
    EXPECT_EQ(provider->started, 0);
}

TEST_F(WindowTest, HostWithoutDrawingsAddsNothing) {
    auto provider = std::make_shared<RunningHost>();
    host::setHostProvider(provider);
    frmMain& w = open();
    EXPECT_EQ(w.LstvDWGs->topLevelItemCount(), 0);
    EXPECT_EQ(provider->started, 0);
    EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace mainwin
