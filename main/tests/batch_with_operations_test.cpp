// "実行" in modes 1 and 2 through the real rename and state operations, over
// the in-memory host: the tables the window builds are the ones the
// operations read.
#include <QtTest/QTest>

#include "WindowFixture.h"
#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"
#include "host/tests/FakeDrawingHost.h"
#include "main/ListConversion.h"

namespace mainwin {
namespace {

using testing::WindowTest;

class BatchWithOperationsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        host::setHostProvider(std::make_shared<fakehost::FakeProvider>(state));
    }
    // A drawing on the host's disk, listed by a file of the same path.
    QString drawing(const QString& name, const QStringList& layers) {
        const QString path = touch(name);
        // Each layer carries an object, so that the purge after a rename keeps it.
        for (const QString& layer : layers) state->file(path).addEntity(layer);
        return path;
    }
    frmMain& openWired() {
        frmMain& w = open();
        w.operations.applyLayerNameRules = host::fun_bApplyLayerNameRules;
        w.operations.applyLayerStateRules = host::fun_bApplyLayerStateRules;
        w.show();
        return w;
    }

    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
};

TEST_F(BatchWithOperationsTest, RenameRunChangesTheSelectedDrawingsWithTheSelectedRules) {
    const QString a = drawing("a.dwg", {"A-WALL", "A-DOOR", "B-X"});
    const QString b = drawing("b.dwg", {"C-ONLY"});
    const QString c = drawing("c.dwg", {"A-WALL"});
    frmMain& w = openWired();
    appendRow(*w.LstvLayerName, {"^A-", "X-"});
    appendRow(*w.LstvLayerName, {"^B-", "Y-"});  // not selected: not applied
    w.LstvLayerName->topLevelItem(0)->setSelected(true);
    w.subAddFiles({a, b, c});
    w.LstvDWGs->topLevelItem(0)->setSelected(true);
    w.LstvDWGs->topLevelItem(1)->setSelected(true);

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    EXPECT_TRUE(state->file(a).findLayer("X-WALL"));
    EXPECT_TRUE(state->file(a).findLayer("X-DOOR"));
    EXPECT_TRUE(state->file(a).findLayer("B-X"));
    EXPECT_TRUE(state->file(c).findLayer("A-WALL"));  // not selected
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text,
              "1 件のファイルについて画層名変更が正常終了しました。\r\n1 件のファイルは画層名変更を行っていません。");
    EXPECT_EQ(w.Label3->text(), "");
}

TEST_F(BatchWithOperationsTest, StateRunSetsTheSettingsOfTheRule) {
    const QString a = drawing("a.dwg", {"WALL", "DOOR"});
    frmMain& w = openWired();
    w.subSetMode(2);
    appendRow(*w.LstvLayerState,
              {"WALL", "しない", "(変更なし)", "する", "1", "(変更なし)", "(変更なし)", "(変更なし)", "(変更なし)"});
    w.CmdSelectAllLayerNameState->click();
    w.subAddFiles({a});
    w.CmdSelectAllDWGs->click();

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    const auto wall = state->file(a).findLayer("WALL");
    ASSERT_TRUE(wall);
    EXPECT_FALSE(wall->on);
    EXPECT_TRUE(wall->locked);
    EXPECT_EQ(wall->color, 1);
    EXPECT_TRUE(state->file(a).findLayer("DOOR")->on);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "1 件のファイルについて画層状態変更が正常終了しました。");
    EXPECT_EQ(messages.last().style, support::vbInformation);
}

TEST_F(BatchWithOperationsTest, AHostThatDiesAfterOpeningADrawingFailsItAndStopsTheRun) {
    const QString a = drawing("a.dwg", {"A-WALL"});
    const QString b = drawing("b.dwg", {"A-WALL"});
    // The host answers the open, then is gone: every later call fails.
    state->afterOpen = [this] {
        state->gone = true;
        for (auto& doc : state->documents) doc->open = false;
    };
    frmMain& w = openWired();
    appendRow(*w.LstvLayerName, {"^A-", "X-"});
    w.CmdSelectAllLayerName->click();
    w.subAddFiles({a, b});
    w.CmdSelectAllDWGs->click();

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    EXPECT_EQ(state->opens, 1);  // b was not tried
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.messages[0].text, hostLostMessage());
    EXPECT_EQ(messages.last().text, "2 件変換できなかったファイルが存在します。");
    EXPECT_EQ(messages.last().style, support::vbCritical);
    EXPECT_TRUE(state->file(a).findLayer("A-WALL"));
}

}  // namespace
}  // namespace mainwin
