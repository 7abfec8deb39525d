// The batch run: input checks before the host is asked, the drawings that
// reach the operation and the progress line, the counted report, the error
// tail, the serial-script file, and a window closed in the middle of a run.
#include <QFile>
#include <QtTest/QTest>

#include "FakeRunningHost.h"
#include "WindowFixture.h"
#include "main/BatchRun.h"
#include "main/ListConversion.h"

namespace mainwin {
namespace {

using testing::RunningHost;
using testing::WindowTest;

// A status line that keeps every caption it was given.
class RecordingStatus : public support::StatusLabel {
public:
    QStringList captions;
    QString caption() const override { return captions.isEmpty() ? QString() : captions.last(); }
    void setCaption(const QString& text) override { captions << text; }
};

support::ListTable drawingTable(const QStringList& names, int size) {
    support::ListTable t(2, size);
    for (int k = 0; k < names.size(); ++k) {
        t.set(0, k, names[k]);
        t.set(1, k, "/d/" + names[k]);
    }
    return t;
}

class BatchRunTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        host::setHostProvider(provider);
    }
    // Mode 1 over the given drawings; the operation answers from outcomes
    // ('d' done, 'u' unchanged, 'f' failed) and records what it was given.
    void runRename(const QStringList& drawings, const QString& outcomes) {
        BatchInputs in;
        in.mode = 1;
        in.ruleTable = support::ListTable(1, 3);
        in.drawingTable = drawingTable(drawings, static_cast<int>(drawings.size()));
        ops.applyLayerNameRules = [&, outcomes](host::ApplicationPtr, const QString& name, const QString& path,
                                                const support::ListTable&, bool& bNoChange, support::StatusLabel&) {
            const QChar o = outcomes[static_cast<int>(seen.size())];
            seen << name + "|" + path;
            bNoChange = o == 'u';
            return o != 'f';
        };
        result = subExecute(in, ops,
                            BatchContext{status, {}, {},
                                         [this](int k, const QString& name, const QString&, DrawingOutcome o) {
                                             counted << QString("%1 %2 %3").arg(k).arg(name).arg(int(o));
                                         }});
    }

    BatchResult result;
    QStringList counted;
    std::shared_ptr<RunningHost> provider = std::make_shared<RunningHost>();
    DrawingOperations ops;
    RecordingStatus status;
    QStringList seen;
};

TEST(BatchReport, CountsMakeTheReport) {
    struct Case {
        int done, unchanged, failed;
        QString text;
        int icon;
    };
    const Case cases[] = {
        {3, 1, 0, "3 件のファイルについて画層名変更が正常終了しました。\r\n1 件のファイルは画層名変更を行っていません。",
         support::vbExclamation},
        {4, 0, 0, "4 件のファイルについて画層名変更が正常終了しました。", support::vbInformation},
        {0, 5, 0, "5 件のファイルは画層名変更対象外でした。", support::vbExclamation},
        {2, 0, 1, "2 件のファイルについて画層名変更が正常終了しました。\r\n1 件変換できなかったファイルが存在します。",
         support::vbCritical},
        {0, 0, 2, "2 件変換できなかったファイルが存在します。", support::vbCritical},
    };
    for (const Case& c : cases) {
        const BatchReport r = reportFor(c.done, c.unchanged, c.failed, "画層名変更");
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.icon, c.icon);
    }
}

TEST(BatchFilterFlags, ClassIndexGivesIncludeAndWhole) {
    EXPECT_TRUE(filterFlags(0).include && filterFlags(0).whole);
    EXPECT_TRUE(filterFlags(1).include && !filterFlags(1).whole);
    EXPECT_TRUE(!filterFlags(2).include && filterFlags(2).whole);
    EXPECT_TRUE(!filterFlags(3).include && !filterFlags(3).whole);
    EXPECT_TRUE(!filterFlags(-1).include && !filterFlags(-1).whole);
}

TEST_F(BatchRunTest, MissingRulesOrDrawingsStopBeforeTheHost) {
    BatchInputs in;
    in.mode = 1;
    in.drawingTable = drawingTable({"a.dwg"}, 1);
    subExecute(in, ops, BatchContext{status, {}, {}});
    in.mode = 2;
    in.ruleTable = support::ListTable(1, 10);
    in.drawingTable.reset();
    subExecute(in, ops, BatchContext{status, {}, {}});
    // Drawings listed but none selected: the table holds only empty entries.
    in.drawingTable = support::ListTable(2, 3);
    subExecute(in, ops, BatchContext{status, {}, {}});
    ASSERT_EQ(messages.count(), 3);
    EXPECT_EQ(messages.messages[0].text, "画層名変更規則が定義されていません。");
    EXPECT_EQ(messages.messages[0].style, support::vbExclamation);
    EXPECT_EQ(messages.messages[1].text, "処理するDWGファイルが見つかりません。");
    EXPECT_EQ(messages.messages[2].text, "処理するDWGファイルが見つかりません。");
    EXPECT_EQ(provider->asked, 0);
}

TEST_F(BatchRunTest, SelectedDrawingsReachTheOperationInOrderWithProgress) {
    provider->app->state = host::kWindowMinimized;
    runRename({"b.dwg", "e.dwg", "f.dwg", "j.dwg"}, "dddu");
    EXPECT_EQ(seen, (QStringList{"b.dwg|/d/b.dwg", "e.dwg|/d/e.dwg", "f.dwg|/d/f.dwg", "j.dwg|/d/j.dwg"}));
    const QStringList progress = status.captions.filter("ただいま処理中");
    EXPECT_EQ(progress, (QStringList{"ただいま処理中...  1 / 4", "ただいま処理中...  2 / 4", "ただいま処理中...  3 / 4",
                                     "ただいま処理中...  4 / 4"}));
    EXPECT_EQ(status.caption(), "");
    EXPECT_EQ(provider->app->state, host::kWindowNormal);
    EXPECT_EQ(provider->app->updates, 1);
    EXPECT_EQ(counted, (QStringList{"0 b.dwg 0", "1 e.dwg 0", "2 f.dwg 0", "3 j.dwg 1"}));
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.done, 3);
    EXPECT_EQ(result.unchanged, 1);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text,
              "3 件のファイルについて画層名変更が正常終了しました。\r\n1 件のファイルは画層名変更を行っていません。");
    EXPECT_EQ(messages.last().style, support::vbExclamation);
}

TEST_F(BatchRunTest, NoHostStopsWithTheCriticalMessage) {
    provider->running = false;
    runRename({"a.dwg"}, "d");
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_FALSE(result.completed);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "AutoCAD（レギュラー版）が見つかりません。\r\n処理を続行することが出来ません。");
    EXPECT_EQ(messages.last().style, support::vbCritical);
}

TEST_F(BatchRunTest, UnhandledHostErrorEndsTheRunWithoutReport) {
    BatchInputs in;
    in.mode = 2;
    in.ruleTable = support::ListTable(1, 10);
    in.drawingTable = drawingTable({"a.dwg", "b.dwg"}, 2);
    int calls = 0;
    ops.applyLayerStateRules = [&](host::ApplicationPtr, const QString&, const QString&, const support::ListTable&,
                                   bool&, support::StatusLabel&) -> bool {
        ++calls;
        throw host::HostError(host::errc::kInvalidArgument, "Invalid procedure call or argument");
    };
    subExecute(in, ops, BatchContext{status, {}, {}});
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(messages.count(), 1);
    // The host's description in Japanese, as the window shows it.
    EXPECT_EQ(messages.last().text,
              QStringLiteral("予期せぬエラーが発生しました。\r\n5\r\nプロシージャの呼び出し、または引数が不正です。"));
    EXPECT_EQ(messages.last().style, support::vbCritical);
    EXPECT_EQ(status.caption(), "ただいま処理中...  1 / 2");
}

TEST_F(BatchRunTest, ALostHostStopsTheRunWithOneMessageAndTheReport) {
    BatchInputs in;
    in.mode = 1;
    in.ruleTable = support::ListTable(1, 3);
    in.drawingTable = drawingTable({"a.dwg", "b.dwg", "c.dwg"}, 3);
    int calls = 0;
    ops.applyLayerNameRules = [&](host::ApplicationPtr, const QString&, const QString&, const support::ListTable&,
                                  bool& bNoChange, support::StatusLabel&) -> bool {
        if (++calls == 1) {
            bNoChange = false;
            return true;
        }
        throw host::HostError(host::errc::kDisconnected, "the host went away");
    };
    QStringList outcomes;
    const BatchResult r = subExecute(in, ops, BatchContext{status, {}, {}, [&](int, const QString& name, const QString&, DrawingOutcome o) {
        outcomes << name + (o == DrawingOutcome::Failed ? "=failed" : "=done");
    }});
    EXPECT_EQ(calls, 2);  // the third drawing is not tried
    EXPECT_TRUE(r.hostLost);
    EXPECT_EQ(outcomes, (QStringList{"a.dwg=done", "b.dwg=failed", "c.dwg=failed"}));
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.messages[0].text, hostLostMessage());
    EXPECT_EQ(messages.last().text,
              "1 件のファイルについて画層名変更が正常終了しました。\r\n2 件変換できなかったファイルが存在します。");
    EXPECT_EQ(messages.last().style, support::vbCritical);
}

TEST_F(BatchRunTest, SurveyWithoutSpreadsheetStops) {
    BatchInputs in;
    in.mode = 3;
    in.drawingTable = drawingTable({"a.dwg"}, 1);
    subExecute(in, ops, BatchContext{status, {}, {}});
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "Excelが見つかりません。");
}

class SerialScriptTest : public BatchRunTest {
protected:
    BatchInputs scriptInputs() {
        BatchInputs in;
        in.mode = 4;
        in.baseFile = touch("base.scr");
        in.drawingTable = drawingTable({"a.dwg", "b.dwg"}, 2);
        in.env.sFilterLayer = "(全てを対象)";
        in.env.sFilterLayout = "^Layout";
        in.env.iFilterLayoutClass = 2;
        return in;
    }
    QStringList editorCalls;
    std::vector<ScriptRequest> requests;
    void SetUp() override {
        BatchRunTest::SetUp();
        ops.showScriptEditor = [this](const QString& path) { editorCalls << path; };
    }
};

TEST_F(SerialScriptTest, BlocksAreMergedIntoOneScriptForTheEditor) {
    QFile old(mergedScriptPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("left over from the last run\r\n");
    old.close();
    ops.makeDWGScript = [this](host::ApplicationPtr, const QString& name, const QString&, const ScriptRequest& r,
                               QString& block) {
        requests.push_back(r);
        block = "open " + r.drawingTitle + "\r\nzoom e";
        return !name.isEmpty();
    };
    subExecute(scriptInputs(), ops, BatchContext{status, {}, {}});
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(editorCalls, QStringList{mergedScriptPath()});
    QFile merged(mergedScriptPath());
    ASSERT_TRUE(merged.open(QIODevice::ReadOnly));
    EXPECT_EQ(merged.readAll(), QByteArray("open a\r\nzoom e\r\nopen b\r\nzoom e\r\n"));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].drawingFolder, "/d");
    EXPECT_EQ(requests[0].layerFilter, "");  // "全て" means every layer
    EXPECT_EQ(requests[0].layoutFilter, "^Layout");
    EXPECT_FALSE(requests[0].layoutFlags.include);
    EXPECT_TRUE(requests[0].layoutFlags.whole);
}

TEST_F(SerialScriptTest, EveryDrawingFailingLeavesNoScript) {
    QFile old(mergedScriptPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    ops.makeDWGScript = [](host::ApplicationPtr, const QString&, const QString&, const ScriptRequest&, QString&) {
        return false;
    };
    subExecute(scriptInputs(), ops, BatchContext{status, {}, {}});
    EXPECT_TRUE(editorCalls.isEmpty());
    EXPECT_FALSE(QFile::exists(mergedScriptPath()));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith("スクリプトファイル作成に失敗しました。\r\n\r\nまた、"));
    EXPECT_TRUE(messages.last().text.endsWith("\r\n置換規則を見直してください。"));
    EXPECT_EQ(messages.last().style, support::vbCritical);
}

TEST_F(SerialScriptTest, MissingBaseFileIsToldAfterTheHostIsFound) {
    BatchInputs in = scriptInputs();
    in.baseFile.clear();
    subExecute(in, ops, BatchContext{status, {}, {}});
    EXPECT_EQ(provider->asked, 1);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "スクリプトベースファイルが見つかりません。");
    EXPECT_EQ(messages.last().style, support::vbCritical);
}

TEST_F(SerialScriptTest, BlockThatCannotBeWrittenCountsAsFailed) {
    ops.makeDWGScript = [](host::ApplicationPtr, const QString& name, const QString&, const ScriptRequest&,
                           QString& block) {
        // U+1F600 has no CP932 form.
        block = name == "a.dwg" ? QString::fromUcs4(U"text \U0001F600") : QStringLiteral("ok");
        return true;
    };
    subExecute(scriptInputs(), ops, BatchContext{status, {}, {}});
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().style, support::vbCritical);
    EXPECT_EQ(editorCalls.size(), 1);
    QFile merged(mergedScriptPath());
    ASSERT_TRUE(merged.open(QIODevice::ReadOnly));
    EXPECT_EQ(merged.readAll(), QByteArray("ok\r\n"));
}

// Through the window: the selected rules and drawings, the locked commands
// during the run, and "閉じる" in the middle of it.
TEST_F(BatchRunTest, ExecuteRunsTheSelectedRowsAndLocksTheWindowMeanwhile) {
    frmMain& w = open();
    w.show();
    appendRow(*w.LstvLayerName, {"^A", "B"});
    appendRow(*w.LstvLayerName, {"^C", "D"});
    w.LstvLayerName->topLevelItem(1)->setSelected(true);
    w.subAddFiles({touch("1.dwg"), touch("2.dwg"), touch("3.dwg")});
    w.LstvDWGs->topLevelItem(0)->setSelected(true);
    w.LstvDWGs->topLevelItem(2)->setSelected(true);
    QStringList names;
    w.operations.applyLayerNameRules = [&](host::ApplicationPtr, const QString& name, const QString&,
                                           const support::ListTable& rules, bool& bNoChange, support::StatusLabel&) {
        EXPECT_TRUE(w.isRunning());
        EXPECT_FALSE(w.CmdExecute->isEnabled());
        EXPECT_TRUE(w.CmdCancel->isEnabled());
        EXPECT_TRUE(rules.isEmpty(0, 1));
        EXPECT_EQ(rules.at(1, 1), "^C");
        names << name;
        bNoChange = false;
        return true;
    };
    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);
    EXPECT_EQ(names, (QStringList{"1.dwg", "3.dwg"}));
    EXPECT_FALSE(w.isRunning());
    EXPECT_TRUE(w.CmdExecute->isEnabled());
    EXPECT_EQ(w.Label3->text(), "");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "2 件のファイルについて画層名変更が正常終了しました。");
    EXPECT_EQ(messages.last().style, support::vbInformation);
}

TEST_F(BatchRunTest, CloseInTheMiddleOfARunStopsBeforeTheNextDrawing) {
    frmMain& w = open();
    w.show();
    appendRow(*w.LstvLayerName, {"^A", "B"});
    w.LstvLayerName->topLevelItem(0)->setSelected(true);
    w.subAddFiles({touch("1.dwg"), touch("2.dwg"), touch("3.dwg")});
    w.LstvDWGs->selectAll();
    int calls = 0;
    w.operations.applyLayerNameRules = [&](host::ApplicationPtr, const QString&, const QString&,
                                           const support::ListTable&, bool&, support::StatusLabel&) {
        if (++calls == 1) QTest::mouseClick(w.CmdCancel, Qt::LeftButton);
        return true;
    };
    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(endProgramCalls, 1);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(readMain("mode"), "1");
}

}  // namespace
}  // namespace mainwin
