// Mode 4 from the main window's "実行" to the final script, on the in-memory
// host: the merged file byte for byte (CP932, CR LF), the editor in place of
// the main window, and the run where every drawing fails.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include "main/tests/WindowFixture.h"
#include "host/tests/FakeDrawingHost.h"
#include "rules/tests/DialogDriver.h"
#include "script/ScriptOperation.h"
#include "script/frmScript.h"
#include "script/frmScriptEnv.h"
#include "support/TextFile.h"

namespace {

using mainwin::frmMain;
using rulestest::whenShown;

class Mode4WindowTest : public mainwin::testing::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        host::setHostProvider(std::make_shared<fakehost::FakeProvider>(state));
        script::frmScript::setDispatcher([this](const QString& path) { dispatched << path; });
    }
    void TearDown() override {
        script::frmScript::setDispatcher(nullptr);
        WindowTest::TearDown();
    }
    // A drawing file the list takes, with the layers given in the host.
    QString drawing(const char* name, std::initializer_list<const char*> layers) {
        const QString path = touch(QString::fromUtf8(name));
        state->file(path);
        for (const char* l : layers) state->file(path).layer(QString::fromUtf8(l));
        return path;
    }
    // The base file is saved in CP932, as the user's editor does.
    frmMain& openMode4(const char* base, const QStringList& drawings) {
        frmMain& w = open();
        w.operations.makeDWGScript = script::makeDWGScript;
        w.operations.showScriptEditor = [](const QString& merged) { script::frmScript::pu_fun_bShow(merged); };
        w.subSetMode(4);
        QFile f(folder.filePath(QStringLiteral("base.txt")));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes;
        EXPECT_TRUE(support::encodeCp932(QString::fromUtf8(base), &bytes, nullptr));
        f.write(bytes);
        f.close();
        w.TxtBaseFile->setText(f.fileName());
        w.subAddFiles(drawings);
        QTest::mouseClick(w.CmdSelectAllDWGs, Qt::LeftButton);
        w.show();
        return w;
    }
    QByteArray merged() {
        QFile f(folder.filePath(QStringLiteral("Laminor_script.scr")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
    QStringList dispatched;
};

TEST_F(Mode4WindowTest, BlocksOfEveryDrawingReachTheEditorAndTheHostByteForByte) {
    const QString a = drawing("A.dwg", {"壁"});
    const QString b = drawing("B 2.dwg", {});
    frmMain& w = openMode4("; 画層ごと\r\n-LAYER\r\nS\r\n<LAYERNAME>\r\n\r\n<点1> <DWGNAME>\r\n", {a, b});
    w.ChkDWGSave->setChecked(true);
    bool mainHidden = false;
    whenShown<script::frmScript>([&](script::frmScript* editor) {
        mainHidden = !w.isVisible();
        EXPECT_TRUE(editor->TxtScript->toPlainText().startsWith(QStringLiteral("open\n\"") + a + u'"'));
        QTest::mouseClick(editor->CmdExecute, Qt::LeftButton);
    });
    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);
    EXPECT_TRUE(mainHidden);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(messages.messages.empty());
    ASSERT_EQ(dispatched, QStringList{folder.filePath(QStringLiteral("Laminor_script.scr"))});

    auto layerBlock = [](const QByteArray& path, std::initializer_list<QByteArray> names, const QByteArray& title) {
        QByteArray out = "open\r\n\"" + path + "\"\r\nzoom\r\na\r\n";
        for (const QByteArray& n : names) out += "-LAYER\r\nS\r\n\"" + n + "\"\r\n\r\n0,0 " + title + "\r\n";
        return out + "close\r\nn\r\n";
    };
    const QByteArray expected = layerBlock(a.toUtf8(), {"0", "Defpoints", "\x95\xc7"}, "A") +
                                layerBlock(b.toUtf8(), {"0", "Defpoints"}, "B 2");
    EXPECT_EQ(merged(), expected) << merged().toStdString();
}

TEST_F(Mode4WindowTest, EveryDrawingFailingShowsTheFourPartMessageAndLeavesNoScript) {
    const QString a = drawing("A.dwg", {});
    frmMain& w = openMode4("-PLOT <LAYOUT>\r\n", {a});  // the layout filter "model" lets nothing through
    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);
    ASSERT_EQ(messages.count(), 1) << messages.messages.front().text.toStdString();
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("スクリプトファイル作成に失敗しました。\r\n\r\nまた、")));
    EXPECT_EQ(messages.last().icon(), support::vbCritical);
    EXPECT_EQ(merged(), QByteArray("<missing>"));
    EXPECT_TRUE(dispatched.isEmpty());
}

TEST_F(Mode4WindowTest, OtherReplacementRulesKeepTheDialogsValuesForTheNextRun) {
    mainwin::MainWindowServices services;
    services.showScriptEnv = [](mainwin::ScriptEnv& env) { script::frmScriptEnv::pu_subShow(env); };
    frmMain& w = open(services);
    w.subSetMode(4);
    w.show();
    whenShown<script::frmScriptEnv>([](script::frmScriptEnv* d) {
        d->CboScriptFilterLayout->setCurrentIndex(0);  // every layout
        d->TxtKeyLayout->setText(QStringLiteral("<配置>"));
        QTest::mouseClick(d->OKButton, Qt::LeftButton);
    });
    QTest::mouseClick(w.CmdEnv, Qt::LeftButton);
    EXPECT_EQ(w.scriptEnv.sFilterLayout, QStringLiteral("(全てを対象)"));
    EXPECT_EQ(w.scriptEnv.sKeywordLayout, QStringLiteral("<配置>"));
    EXPECT_EQ(mainwin::loadScriptEnv(QStringLiteral("Laminor.ini")), w.scriptEnv);
}

}  // namespace
