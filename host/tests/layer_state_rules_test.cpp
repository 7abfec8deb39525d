// The layer state change of a whole drawing on the in-memory host.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "host/LayerStateRules.h"
#include "host/ValueLists.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"

namespace {

using namespace host;
using fakehost::DrawingData;

// One state rule: the pattern, then the eight fields; fields not given stay "(変更なし)".
struct Rule {
    const char* pattern;
    std::map<int, const char*> fields;
};

support::ListTable stateRules(std::initializer_list<Rule> rows) {
    support::ListTable table(static_cast<int>(rows.size()), 10);
    int row = 0;
    for (const Rule& rule : rows) {
        if (!rule.pattern) {  // a rule not selected for the run: an empty row
            ++row;
            continue;
        }
        table.set(row, kStateNo, QString::number(row + 1));
        table.set(row, kStatePattern, QString::fromUtf8(rule.pattern));
        for (int column = kStateLayerOn; column <= kStatePlottable; ++column) table.set(row, column, kNoChange);
        for (const auto& [column, text] : rule.fields) table.set(row, column, QString::fromUtf8(text));
        ++row;
    }
    return table;
}

struct StateTest : ::testing::Test {
    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
    ApplicationPtr app = fakehost::makeApplication(state);
    support::PlainStatusLabel label;
    support::RecordingMessageBox messages;
    bool bNoChange = false;
    const QString path = QStringLiteral("/proj/a/plan.dxf");

    DrawingData& drawing() { return state->file(path); }
    const fakehost::LayerData& saved(const char* name) { return *state->disk.at(path).findLayer(QString::fromUtf8(name)); }
    bool run(const support::ListTable& vRule) {
        return fun_bApplyLayerStateRules(app, QFileInfo(path).fileName(), path, vRule, bNoChange, label);
    }
};

TEST_F(StateTest, EveryFieldIsWritten) {
    drawing().layer(QStringLiteral("A1"));
    ASSERT_TRUE(run(stateRules({{"A.", {{kStateLayerOn, "しない"},
                                        {kStateFreeze, "する"},
                                        {kStateLock, "する"},
                                        {kStateColor, "3"},
                                        {kStateLinetype, "DASHED"},
                                        {kStateLineweight, "1.48 mm"},
                                        {kStatePlotStyleName, "Style1"},
                                        {kStatePlottable, "しない"}}}})));
    EXPECT_FALSE(bNoChange);
    const auto& a = saved("A1");
    EXPECT_FALSE(a.on);
    EXPECT_TRUE(a.frozen);
    EXPECT_TRUE(a.locked);
    EXPECT_EQ(a.color, 3);
    EXPECT_EQ(a.linetype, QStringLiteral("DASHED"));
    EXPECT_EQ(a.lineweight, 158);
    EXPECT_EQ(a.plotStyle, QStringLiteral("Style1"));
    EXPECT_FALSE(a.plottable);
}

TEST_F(StateTest, PatternMustMatchTheWholeName) {
    for (const char* name : {"A1", "AB", "XA1", "A12"}) drawing().layer(QString::fromUtf8(name));
    ASSERT_TRUE(run(stateRules({{"A.", {{kStateColor, "5"}}}, {nullptr, {}}})));
    EXPECT_EQ(saved("A1").color, 5);
    EXPECT_EQ(saved("AB").color, 5);
    EXPECT_EQ(saved("XA1").color, 7);
    EXPECT_EQ(saved("A12").color, 7);
    EXPECT_EQ(saved("0").color, 7);
}

TEST_F(StateTest, LaterMatchingRuleWins) {
    drawing().layer(QStringLiteral("A1"));
    ASSERT_TRUE(run(stateRules({{"A1", {{kStateColor, "1"}, {kStateLinetype, "CENTER"}}},
                                {"A.*", {{kStateColor, "5"}}}})));
    EXPECT_EQ(saved("A1").color, 5);
    EXPECT_EQ(saved("A1").linetype, QStringLiteral("CENTER"));
}

TEST_F(StateTest, LockedLayerIsUnlockedForTheRuleAndLockedAgain) {
    drawing().layer(QStringLiteral("A1")).locked = true;
    drawing().layer(QStringLiteral("B1")).locked = true;
    ASSERT_TRUE(run(stateRules({{"A1", {{kStateColor, "2"}}}, {"B1", {{kStateLock, "しない"}}}})));
    EXPECT_EQ(saved("A1").color, 2);
    EXPECT_TRUE(saved("A1").locked);
    EXPECT_FALSE(saved("B1").locked);
}

TEST_F(StateTest, RuleThatChangesNothingLeavesTheDrawingUnchanged) {
    drawing().layer(QStringLiteral("A1")).locked = true;
    ASSERT_TRUE(run(stateRules({{"A1", {}}})));
    EXPECT_TRUE(bNoChange);
    EXPECT_EQ(state->saves, 0);
    EXPECT_TRUE(saved("A1").locked);
    EXPECT_TRUE(state->documents.empty());
}

TEST_F(StateTest, WritingTheSameValueStillCountsAsAChange) {
    drawing().layer(QStringLiteral("A1")).on = false;
    ASSERT_TRUE(run(stateRules({{"A1", {{kStateLayerOn, "しない"}}}})));
    EXPECT_FALSE(bNoChange);
    EXPECT_EQ(state->saves, 1);
}

TEST_F(StateTest, ActiveLayerIsNotFrozenAndTheUserIsTold) {
    drawing().layer(QStringLiteral("CUR"));
    drawing().current = drawing().findLayer(QStringLiteral("CUR"));
    drawing().layer(QStringLiteral("CUB"));
    ASSERT_TRUE(run(stateRules({{"CU.", {{kStateFreeze, "する"}}}})));
    EXPECT_FALSE(bNoChange);
    EXPECT_FALSE(saved("CUR").frozen);
    EXPECT_TRUE(saved("CUB").frozen);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("アクティブな画層 ( CUR ) はﾌﾘｰｽﾞすることはできません。\r\n次の処理を続けます。"));
    EXPECT_EQ(messages.messages[0].style, support::vbExclamation);
}

TEST_F(StateTest, RefusedSettingsAreSkippedButCount) {
    drawing().layer(QStringLiteral("A1")).color = 4;
    ASSERT_TRUE(run(stateRules({{"A1", {{kStateColor, "300"}, {kStateLinetype, "NOSUCH"}, {kStateLineweight, "bylayer"}}}})));
    EXPECT_FALSE(bNoChange);
    EXPECT_EQ(saved("A1").color, 4);
    EXPECT_EQ(saved("A1").linetype, QStringLiteral("Continuous"));
    // A name outside the table means Default.
    EXPECT_EQ(saved("A1").lineweight, -3);
}

TEST_F(StateTest, OtherYesNoTextsMeanNo) {
    auto& a = drawing().layer(QStringLiteral("A1"));
    a.frozen = true;
    ASSERT_TRUE(run(stateRules({{"A1", {{kStateFreeze, "yes"}, {kStatePlottable, ""}}}})));
    EXPECT_FALSE(saved("A1").frozen);
    EXPECT_FALSE(saved("A1").plottable);
}

TEST_F(StateTest, InvalidPatternMatchesNothing) {
    drawing().layer(QStringLiteral("A1"));
    ASSERT_TRUE(run(stateRules({{"(A", {{kStateColor, "1"}}}})));
    EXPECT_TRUE(bNoChange);
}

TEST_F(StateTest, OpenDrawingStaysOpenAndFailedSaveFails) {
    drawing().layer(QStringLiteral("A1"));
    auto doc = state->openByUser(path);
    ASSERT_TRUE(run(stateRules({{"A1", {{kStateColor, "1"}}}})));
    EXPECT_TRUE(doc->open);
    EXPECT_EQ(doc->regens, 1);
    EXPECT_EQ(doc->data.findLayer(QStringLiteral("A1"))->color, 1);
    doc->data.current.reset();
    state->documents.clear();

    state->failingSaves.insert(path);
    EXPECT_FALSE(run(stateRules({{"A1", {{kStateColor, "2"}}}})));
    EXPECT_EQ(saved("A1").color, 7);
    EXPECT_TRUE(state->documents.empty());
}

}  // namespace
