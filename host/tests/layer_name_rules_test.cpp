// The new name of a layer under one rule, and the rename of a whole drawing
// on the in-memory host: rule scan, merges, the block pass, finding the right
// drawing and what happens to it on failure.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "host/LayerNameRules.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"

namespace {

using namespace host;
using fakehost::DrawingData;

QString newName(const char* layer, const char* search, const char* replace) {
    return fun_sGetNewLayerName(QString::fromUtf8(layer), QString::fromUtf8(search), QString::fromUtf8(replace));
}

TEST(NewLayerName, ReplacementWalk) {
    EXPECT_EQ(newName("banana", "a", "o"), QStringLiteral("bonono"));
    // The matched text is replaced where it first occurs, not where it matched.
    EXPECT_EQ(newName("a-a", "a$", "X"), QStringLiteral("X-a"));
    // ... and that occurrence is found without regard to letter case.
    EXPECT_EQ(newName("AB_ab", "ab", "X"), QStringLiteral("X_ab"));
    EXPECT_EQ(newName("WALL-1", "WALL", "壁"), QStringLiteral("壁-1"));
    EXPECT_EQ(newName("A1", "^A(\\d)$", "B"), QStringLiteral("B"));
    // A replacement containing the matched text does not run away.
    EXPECT_EQ(newName("aa", "a", "aa"), QStringLiteral("aaaa"));
    // No match, an invalid pattern, or only empty matches keep the name.
    EXPECT_EQ(newName("WALL", "wall", "X"), QStringLiteral("WALL"));
    EXPECT_EQ(newName("WALL", "(", "X"), QStringLiteral("WALL"));
    EXPECT_EQ(newName("WALL", "x*", "Y"), QStringLiteral("WALL"));
}

TEST(NewLayerName, Markers) {
    EXPECT_EQ(newName("0", "0", "1"), kMarkerProtected);
    EXPECT_EQ(newName("DefPoints", "D", "X"), kMarkerProtected);
    EXPECT_EQ(newName("XREF|WALL", "WALL", "X"), kMarkerProtected);
    EXPECT_EQ(newName("WALL", "", "X"), kMarkerNoSearch);
    EXPECT_EQ(newName("WALL", "WA", ""), kMarkerNoReplace);
    // The replacement is only asked for when the pattern matches.
    EXPECT_EQ(newName("WALL", "ZZ", ""), QStringLiteral("WALL"));
    EXPECT_FALSE(isProtectedLayerName(QStringLiteral("00")));
    EXPECT_TRUE(isMarker(QStringLiteral("A(変更)")));
    EXPECT_TRUE(isMarker(QStringLiteral("(置換文字)")));
    EXPECT_FALSE(isMarker(QStringLiteral("(変)")));
}

support::ListTable rules(std::initializer_list<std::pair<const char*, const char*>> rows) {
    support::ListTable table(static_cast<int>(rows.size()), 3);
    int row = 0;
    for (const auto& [search, replace] : rows) {
        table.set(row, 0, QString::number(row + 1));
        if (search) table.set(row, 1, QString::fromUtf8(search));
        if (replace) table.set(row, 2, QString::fromUtf8(replace));
        ++row;
    }
    return table;
}

struct RenameTest : ::testing::Test {
    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
    ApplicationPtr app = fakehost::makeApplication(state);
    support::PlainStatusLabel label;
    support::RecordingMessageBox messages;
    bool bNoChange = false;
    const QString path = QStringLiteral("/proj/a/plan.dxf");

    DrawingData& drawing() { return state->file(path); }
    const DrawingData& onDisk() { return state->disk.at(path); }
    bool run(const support::ListTable& vRule, const QString& fullPath = {}) {
        const QString p = fullPath.isEmpty() ? path : fullPath;
        return fun_bApplyLayerNameRules(app, QFileInfo(p).fileName(), p, vRule, bNoChange, label);
    }
};

TEST_F(RenameTest, RenamesAndSavesADrawingItOpened) {
    drawing().addEntity(QStringLiteral("WALL-1"));
    drawing().addEntity(QStringLiteral("DOOR"));
    label.setCaption(QStringLiteral("ただいま処理中...  1 / 1"));

    ASSERT_TRUE(run(rules({{"WALL", "壁"}})));
    EXPECT_FALSE(bNoChange);
    EXPECT_TRUE(state->documents.empty());
    EXPECT_EQ(state->saves, 1);
    EXPECT_EQ(onDisk().layerNames(),
              (QStringList{QStringLiteral("0"), QStringLiteral("Defpoints"), QStringLiteral("壁-1"), QStringLiteral("DOOR")}));
    EXPECT_EQ(onDisk().objectsOn(QStringLiteral("壁-1")), 1);
    EXPECT_EQ(label.caption(), QStringLiteral("ただいま処理中...  1 / 1  Layer：DOOR"));
}

TEST_F(RenameTest, ProtectedLayersKeepTheirNames) {
    drawing().addEntity(QStringLiteral("Defpoints"));
    drawing().addEntity(QStringLiteral("XR|A"));
    drawing().addEntity(QStringLiteral("A"));
    ASSERT_TRUE(run(rules({{".*", "Z"}})));
    EXPECT_EQ(onDisk().layerNames(),
              (QStringList{QStringLiteral("0"), QStringLiteral("Defpoints"), QStringLiteral("XR|A"), QStringLiteral("Z")}));
}

TEST_F(RenameTest, FirstMatchingRuleDecides) {
    for (const char* name : {"A1", "C1", "E1", "G1", "K1"}) drawing().addEntity(QString::fromUtf8(name));
    const auto vRule = rules({
        {"A", "B"},
        {"C", "D"},
        {nullptr, nullptr},  // a rule not selected for the run
        {"", "X"},           // no search text
        {"E", ""},           // matches, no replacement: passed over
        {"E", "F"},
        {"G", "G"},          // matches and keeps the name: decides for G1
        {"G", "H"},
        {"K", "(変更)"},     // a new name that reads as a marker is never applied
    });
    ASSERT_TRUE(run(vRule));
    EXPECT_EQ(onDisk().layerNames(), (QStringList{QStringLiteral("0"), QStringLiteral("Defpoints"), QStringLiteral("B1"),
                                                  QStringLiteral("D1"), QStringLiteral("F1"), QStringLiteral("G1"),
                                                  QStringLiteral("K1")}));
}

TEST_F(RenameTest, MergeMovesOnlyTheMergedLayersObjects) {
    drawing().addEntity(QStringLiteral("A-1"));
    drawing().addEntity(QStringLiteral("A-1"));
    drawing().addEntity(QStringLiteral("B-1"));
    drawing().addEntity(QStringLiteral("OTHER"));
    drawing().addPaperEntity(QStringLiteral("A-1"));
    state->sloppyFilter = true;  // even a filter that lets everything through
    ASSERT_TRUE(run(rules({{"^A", "B"}})));
    EXPECT_FALSE(bNoChange);
    EXPECT_FALSE(onDisk().findLayer(QStringLiteral("A-1")));
    EXPECT_EQ(onDisk().objectsOn(QStringLiteral("B-1")), 4);
    EXPECT_EQ(onDisk().objectsOn(QStringLiteral("OTHER")), 1);
}

TEST_F(RenameTest, MergeClearsSelectionSetsAndLeavesNoScratchSet) {
    drawing().addEntity(QStringLiteral("A"));
    drawing().addEntity(QStringLiteral("B"));
    auto doc = state->openByUser(path);
    doc->selectionSets.push_back(std::make_shared<fakehost::SelectionSetData>(
        fakehost::SelectionSetData{QStringLiteral("SSetDummy"), {}}));
    ASSERT_TRUE(run(rules({{"A", "B"}})));
    EXPECT_TRUE(doc->selectionSets.empty());
    EXPECT_EQ(doc->data.objectsOn(QStringLiteral("B")), 2);
}

TEST_F(RenameTest, CaseOnlyRenameKeepsTheLayerAndItsObjects) {
    drawing().addEntity(QStringLiteral("wall"));
    drawing().addEntity(QStringLiteral("wall"));
    ASSERT_TRUE(run(rules({{"wall", "WALL"}})));
    EXPECT_FALSE(bNoChange);
    ASSERT_TRUE(onDisk().findLayer(QStringLiteral("WALL")));
    EXPECT_EQ(onDisk().findLayer(QStringLiteral("WALL"))->name, QStringLiteral("WALL"));
    EXPECT_EQ(onDisk().objectsOn(QStringLiteral("WALL")), 2);
}

TEST_F(RenameTest, BlockPassMovesObjectsInsideBlocks) {
    auto& d = drawing();
    d.addEntity(QStringLiteral("A"));
    d.layer(QStringLiteral("B"));
    auto& c = d.layer(QStringLiteral("C"));
    c.color = 5;
    c.linetype = QStringLiteral("DASHED");
    c.lineweight = 50;
    c.locked = true;
    d.addBlockEntity(QStringLiteral("DOOR"), QStringLiteral("A"));
    d.addBlockEntity(QStringLiteral("DOOR"), QStringLiteral("C"));
    d.addBlockEntity(QStringLiteral("DOOR"), QStringLiteral("0"));
    auto ref = d.addBlockReference(QStringLiteral("DOOR"), QStringLiteral("0"));
    d.addAttribute(ref, QStringLiteral("A"));
    d.addEntity(QStringLiteral("C"));

    ASSERT_TRUE(run(rules({{"^A$", "B"}, {"^C$", "D"}})));
    const DrawingData& saved = onDisk();
    // A's objects, in model space, in the block and as an attribute, are on B; the purge removed A.
    EXPECT_FALSE(saved.findLayer(QStringLiteral("A")));
    EXPECT_EQ(saved.objectsOn(QStringLiteral("B")), 3);
    // The block pass made D from C's settings; then C itself was merged into D.
    ASSERT_TRUE(saved.findLayer(QStringLiteral("D")));
    const auto& dLayer = *saved.findLayer(QStringLiteral("D"));
    EXPECT_EQ(dLayer.color, 5);
    EXPECT_EQ(dLayer.linetype, QStringLiteral("DASHED"));
    EXPECT_EQ(dLayer.lineweight, 50);
    EXPECT_TRUE(dLayer.locked);
    EXPECT_FALSE(saved.findLayer(QStringLiteral("C")));
    EXPECT_EQ(saved.objectsOn(QStringLiteral("D")), 2);
    EXPECT_EQ(saved.objectsOn(QStringLiteral("0")), 2);
}

TEST_F(RenameTest, AttributesFollowEveryMergeAndRename) {
    auto& d = drawing();
    // A and E hold an object inside a block, so their deletes fail and each
    // merge runs a block pass; K is renamed to the new M.
    d.layer(QStringLiteral("B"));
    d.layer(QStringLiteral("F"));
    d.addBlockEntity(QStringLiteral("TAG"), QStringLiteral("A"));
    d.addBlockEntity(QStringLiteral("TAG"), QStringLiteral("E"));
    for (int i = 0; i < 3; ++i) {
        auto ref = d.addBlockReference(QStringLiteral("TAG"), QStringLiteral("0"));
        d.addAttribute(ref, QStringLiteral("A"));
        d.addAttribute(ref, QStringLiteral("E"));
        d.addAttribute(ref, QStringLiteral("K"));
        d.addAttribute(ref, QStringLiteral("B"));
    }
    d.addEntity(QStringLiteral("K"));

    ASSERT_TRUE(run(rules({{"^A$", "B"}, {"^E$", "F"}, {"^K$", "M"}})));
    const DrawingData& saved = onDisk();
    EXPECT_FALSE(saved.findLayer(QStringLiteral("A")));
    EXPECT_FALSE(saved.findLayer(QStringLiteral("E")));
    EXPECT_FALSE(saved.findLayer(QStringLiteral("K")));
    EXPECT_EQ(saved.objectsOn(QStringLiteral("B")), 3 + 3 + 1);  // its own, A's attributes, A's block object
    EXPECT_EQ(saved.objectsOn(QStringLiteral("F")), 3 + 1);
    EXPECT_EQ(saved.objectsOn(QStringLiteral("M")), 3 + 1);
}

TEST_F(RenameTest, BlockPassRenamesEachBlockObjectOnce) {
    auto& d = drawing();
    d.addEntity(QStringLiteral("A"));
    d.layer(QStringLiteral("B"));
    d.addEntity(QStringLiteral("C"));
    d.addBlockEntity(QStringLiteral("DOOR"), QStringLiteral("A"));
    d.addBlockEntity(QStringLiteral("DOOR"), QStringLiteral("C"));
    // Two references walk the definition twice; "CX" must not become "CXX".
    d.addBlockReference(QStringLiteral("DOOR"), QStringLiteral("0"));
    d.addBlockReference(QStringLiteral("DOOR"), QStringLiteral("0"));

    ASSERT_TRUE(run(rules({{"^A$", "B"}, {"^C", "CX"}})));
    const DrawingData& saved = onDisk();
    EXPECT_FALSE(saved.findLayer(QStringLiteral("CXX")));
    EXPECT_FALSE(saved.findLayer(QStringLiteral("C")));
    EXPECT_EQ(saved.objectsOn(QStringLiteral("CX")), 2);
    EXPECT_EQ(saved.objectsOn(QStringLiteral("B")), 2);
}

TEST_F(RenameTest, RefusedRenameClosesTheDrawingUnsaved) {
    drawing().addEntity(QStringLiteral("A1"));
    drawing().addEntity(QStringLiteral("B1"));
    const QStringList before = drawing().layerNames();
    EXPECT_FALSE(run(rules({{"A", "X"}, {"B", "Y<"}})));
    EXPECT_TRUE(state->documents.empty());
    EXPECT_EQ(state->saves, 0);
    EXPECT_EQ(onDisk().layerNames(), before);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(RenameTest, RefusedRenameInAnOpenDrawingLeavesItOpen) {
    drawing().addEntity(QStringLiteral("A1"));
    drawing().addEntity(QStringLiteral("B1"));
    auto doc = state->openByUser(path);
    EXPECT_FALSE(run(rules({{"A", "X"}, {"B", "Y<"}})));
    EXPECT_TRUE(doc->open);
    EXPECT_TRUE(doc->data.findLayer(QStringLiteral("X1")));
    EXPECT_EQ(state->saves, 0);
}

TEST_F(RenameTest, OpenDrawingIsFoundByFullPathNotByANamesake) {
    const QString other = QStringLiteral("/proj/b/plan.dxf");
    state->file(other).addEntity(QStringLiteral("A1"));
    drawing().addEntity(QStringLiteral("A1"));
    auto namesake = state->openByUser(other);

    ASSERT_TRUE(run(rules({{"A", "Z"}})));
    EXPECT_EQ(state->opens, 1);
    EXPECT_TRUE(onDisk().findLayer(QStringLiteral("Z1")));
    EXPECT_TRUE(namesake->data.findLayer(QStringLiteral("A1")));
    EXPECT_FALSE(namesake->modified);
    EXPECT_EQ(namesake->regens, 0);
    EXPECT_TRUE(state->disk.at(other).findLayer(QStringLiteral("A1")));
}

TEST_F(RenameTest, DrawingOpenBeforeStaysOpenUnsavedAndRegenerated) {
    drawing().addEntity(QStringLiteral("A1"));
    drawing().layer(QStringLiteral("A1"));
    auto doc = state->openByUser(path);
    doc->data.current = doc->data.findLayer(QStringLiteral("A1"));
    ASSERT_TRUE(run(rules({{"A", "Z"}})));
    EXPECT_FALSE(bNoChange);
    EXPECT_TRUE(doc->open);
    EXPECT_EQ(doc->regens, 1);
    EXPECT_EQ(doc->data.current->name, QStringLiteral("0"));
    EXPECT_TRUE(doc->data.findLayer(QStringLiteral("Z1")));
    EXPECT_TRUE(onDisk().findLayer(QStringLiteral("A1")));
}

TEST_F(RenameTest, FailedSaveCountsAsFailedAndKeepsTheFileAndSaysWhy) {
    drawing().addEntity(QStringLiteral("A1"));
    state->failingSaves.insert(path);
    EXPECT_FALSE(run(rules({{"A", "Z"}})));
    EXPECT_TRUE(state->documents.empty());
    EXPECT_TRUE(onDisk().findLayer(QStringLiteral("A1")));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("図面を保存できませんでした。\r\nCannot save the drawing"));
}

TEST_F(RenameTest, ChainedRulesMoveEveryObjectOfALayerWhereverItIs) {
    // S goes to T, T to U. Both hold objects in model space, in a referenced
    // block, in a dimension's anonymous block, in a definition nothing
    // references and as an attribute; U is new, then exists already.
    for (const bool uExists : {false, true}) {
        state = std::make_shared<fakehost::HostState>();
        app = fakehost::makeApplication(state);
        auto& d = drawing();
        int objects = 0;
        for (const char* layer : {"S", "T"}) {
            const QString name = QString::fromUtf8(layer);
            d.addEntity(name);
            d.addBlockEntity(QStringLiteral("DOOR"), name);
            d.addBlockEntity(QStringLiteral("*D1"), name);
            d.addBlockEntity(QStringLiteral("UNUSED"), name);
            d.addAttribute(d.addBlockReference(QStringLiteral("DOOR"), QStringLiteral("0")), name);
            objects += 5;
        }
        if (uExists) {
            d.addEntity(QStringLiteral("U"));
            ++objects;
        }
        ASSERT_TRUE(run(rules({{"^S$", "T"}, {"^T$", "U"}})));
        const DrawingData& saved = onDisk();
        EXPECT_EQ(saved.objectsOn(QStringLiteral("S")), 0) << uExists;
        EXPECT_EQ(saved.objectsOn(QStringLiteral("T")), 0) << uExists;
        EXPECT_FALSE(saved.findLayer(QStringLiteral("S"))) << uExists;
        EXPECT_FALSE(saved.findLayer(QStringLiteral("T"))) << uExists;
        EXPECT_EQ(saved.objectsOn(QStringLiteral("U")), objects) << uExists;
    }
}

TEST_F(RenameTest, UnchangedDrawingIsClosedWithoutSavingAfterThePurge) {
    drawing().addEntity(QStringLiteral("A1"));
    drawing().layer(QStringLiteral("UNUSED"));
    ASSERT_TRUE(run(rules({{"nothing", "Z"}})));
    EXPECT_TRUE(bNoChange);
    EXPECT_EQ(state->saves, 0);
    ASSERT_EQ(state->closed.size(), 1u);
    EXPECT_EQ(state->closed.back()->purges, 1);
    EXPECT_TRUE(onDisk().findLayer(QStringLiteral("UNUSED")));
}

TEST_F(RenameTest, DrawingThatCannotOpenIsReported) {
    EXPECT_FALSE(run(rules({{"A", "Z"}}), QStringLiteral("/proj/missing.dxf")));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("AutoCADファイルを開くことが出来ませんでした。\r\n/proj/missing.dxf"));
    EXPECT_EQ(messages.messages[0].style, support::vbExclamation);
    EXPECT_EQ(messages.messages[0].title, QStringLiteral("Stratakit Ver1.00"));
}

}  // namespace
