// The rename rule dialog with a preview of a drawing in the in-memory host.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "host/HostConnection.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"
#include "rules/frmLayerNameRule.h"
#include "rules/tests/DialogDriver.h"

namespace {

using rules::frmLayerNameRule;
using rulestest::whenShown;

struct Row {
    QString before, after;
    bool selected;
    bool operator==(const Row&) const = default;
};

std::vector<Row> rows(QTreeWidget* list) {
    std::vector<Row> result;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        auto* item = list->topLevelItem(i);
        result.push_back({item->text(0), item->text(1), item->isSelected()});
    }
    return result;
}

struct NameRuleDialogTest : ::testing::Test {
    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
    std::shared_ptr<fakehost::FakeProvider> provider = std::make_shared<fakehost::FakeProvider>(state);
    support::RecordingMessageBox messages;
    fakehost::OpenDocumentPtr doc;

    void SetUp() override {
        const QString path = QStringLiteral("/proj/a/plan.dxf");
        auto& d = state->file(path);
        for (const char* name : {"A1", "a2", "WALL", "XR|A1", "10"}) d.layer(QString::fromUtf8(name));
        doc = state->openByUser(path);
        host::setHostProvider(provider);
    }
    void TearDown() override { host::setHostProvider(nullptr); }
};

TEST_F(NameRuleDialogTest, PreviewScrollsToItsFirstHit) {
    for (int i = 0; i < 80; ++i) doc->data.layer(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')));
    doc->data.layer(QStringLiteral("TARGET"));
    QString before = QStringLiteral("^TARGET$"), after = QStringLiteral("HIT");
    whenShown<frmLayerNameRule>([](frmLayerNameRule* dialog) {
        QTreeWidget* list = dialog->LstvLayerSample;
        QTreeWidgetItem* hit = list->findItems(QStringLiteral("TARGET"), Qt::MatchExactly).value(0);
        ASSERT_TRUE(hit);
        EXPECT_TRUE(hit->isSelected());
        EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(hit))) << "first hit out of sight";
        QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    });
    frmLayerNameRule::pu_fun_bGetRule(before, after);
}

TEST_F(NameRuleDialogTest, PreviewFollowsTypingAndStaysVisible) {
    QString before, after;
    whenShown<frmLayerNameRule>([](frmLayerNameRule* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("画層名変更規則の設定"));
        QTest::keyClicks(dialog->TxtNameBefore, QStringLiteral("A"));
        QTest::mouseClick(dialog->TxtNameAfter, Qt::LeftButton);
        QTest::keyClicks(dialog->TxtNameAfter, QStringLiteral("B"));
        const QString protectedName = QStringLiteral("(変更不可)");
        EXPECT_EQ(rows(dialog->LstvLayerSample),
                  (std::vector<Row>{{QStringLiteral("0"), protectedName, false},
                                    {QStringLiteral("Defpoints"), protectedName, false},
                                    {QStringLiteral("A1"), QStringLiteral("B1"), true},
                                    {QStringLiteral("a2"), QStringLiteral("a2"), false},
                                    {QStringLiteral("WALL"), QStringLiteral("WBLL"), true},
                                    {QStringLiteral("XR|A1"), protectedName, false},
                                    {QStringLiteral("10"), QStringLiteral("10"), false}}));
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf - 2個該当"));
        // The rows stay highlighted while the focus is in a text box.
        EXPECT_TRUE(dialog->TxtNameAfter->hasFocus());
        const QPalette palette = dialog->LstvLayerSample->palette();
        EXPECT_EQ(palette.color(QPalette::Inactive, QPalette::Highlight),
                  palette.color(QPalette::Active, QPalette::Highlight));
        EXPECT_EQ(dialog->LstvLayerSample->selectionMode(), QAbstractItemView::ExtendedSelection);
        QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    });
    EXPECT_FALSE(frmLayerNameRule::pu_fun_bGetRule(before, after));
    EXPECT_TRUE(before.isEmpty());
}

TEST_F(NameRuleDialogTest, MarkersAndCaseOnlyChanges) {
    QString before = QStringLiteral("a"), after = QStringLiteral("A");
    whenShown<frmLayerNameRule>([](frmLayerNameRule* dialog) {
        // Editing a rule: the preview is there as soon as the dialog shows.
        auto list = rows(dialog->LstvLayerSample);
        ASSERT_EQ(list.size(), 7u);
        EXPECT_EQ(list[3], (Row{QStringLiteral("a2"), QStringLiteral("A2"), true}));
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf - 1個該当"));

        dialog->TxtNameAfter->clear();
        list = rows(dialog->LstvLayerSample);
        EXPECT_EQ(list[3], (Row{QStringLiteral("a2"), QStringLiteral("(置換文字を設定して下さい)"), false}));
        EXPECT_EQ(list[2], (Row{QStringLiteral("A1"), QStringLiteral("A1"), false}));
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf - 0個該当"));

        dialog->TxtNameBefore->clear();
        list = rows(dialog->LstvLayerSample);
        EXPECT_EQ(list[4].after, QStringLiteral("(検索文字を設定して下さい)"));
        EXPECT_EQ(list[0].after, QStringLiteral("(変更不可)"));

        // Layer 0 is never selected, even by a pattern that matches it.
        QTest::keyClicks(dialog->TxtNameBefore, QStringLiteral("0"));
        QTest::keyClicks(dialog->TxtNameAfter, QStringLiteral("Z"));
        list = rows(dialog->LstvLayerSample);
        EXPECT_FALSE(list[0].selected);
        EXPECT_EQ(list[6], (Row{QStringLiteral("10"), QStringLiteral("1Z"), true}));
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    EXPECT_TRUE(frmLayerNameRule::pu_fun_bGetRule(before, after));
    EXPECT_EQ(before, QStringLiteral("0"));
    EXPECT_EQ(after, QStringLiteral("Z"));
}

TEST_F(NameRuleDialogTest, OkNeedsBothTexts) {
    QString before, after;
    whenShown<frmLayerNameRule>([this](frmLayerNameRule* dialog) {
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, QStringLiteral("検索文字を指定してください。"));
        EXPECT_EQ(messages.messages[0].style, support::vbExclamation);
        EXPECT_EQ(messages.messages[0].title, QStringLiteral("Stratakit Ver1.00"));
        EXPECT_TRUE(dialog->TxtNameBefore->hasFocus());

        QTest::keyClicks(dialog->TxtNameBefore, QStringLiteral("^A(\\d)"));
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        ASSERT_EQ(messages.messages.size(), 2u);
        EXPECT_EQ(messages.messages[1].text, QStringLiteral("置換文字を指定してください。"));
        EXPECT_TRUE(dialog->TxtNameAfter->hasFocus());
        EXPECT_TRUE(dialog->isVisible());

        QTest::keyClicks(dialog->TxtNameAfter, QStringLiteral("B"));
        QTest::keyClick(dialog->TxtNameAfter, Qt::Key_Return);
    });
    EXPECT_TRUE(frmLayerNameRule::pu_fun_bGetRule(before, after));
    EXPECT_EQ(before, QStringLiteral("^A(\\d)"));
    EXPECT_EQ(after, QStringLiteral("B"));
}

TEST_F(NameRuleDialogTest, WithoutHostTheUpdateButtonFetchesItFirst) {
    provider->running = false;
    QString before = QStringLiteral("W"), after = QStringLiteral("V");
    whenShown<frmLayerNameRule>([this](frmLayerNameRule* dialog) {
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("AutoCADが起動されていません"));
        EXPECT_EQ(dialog->LstvLayerSample->topLevelItemCount(), 0);
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("AutoCADが起動されていません"));

        provider->running = true;
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf"));
        EXPECT_EQ(dialog->LstvLayerSample->topLevelItemCount(), 0);
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf - 1個該当"));

        // The drawing is closed in the host: the next update says so and the preview empties.
        doc->open = false;
        state->documents.clear();
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("図面が開かれていません"));
        EXPECT_EQ(dialog->LstvLayerSample->topLevelItemCount(), 0);
        EXPECT_TRUE(messages.messages.empty());

        // A host that went away is looked for again on the next click.
        state->openByUser(QStringLiteral("/proj/a/plan.dxf"));
        state->gone = true;
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("図面が開かれていません"));
        state->gone = false;
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf"));
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf - 1個該当"));
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    EXPECT_TRUE(frmLayerNameRule::pu_fun_bGetRule(before, after));
}

TEST_F(NameRuleDialogTest, HostFailureDuringThePreviewIsReported) {
    QString before, after;
    whenShown<frmLayerNameRule>([this](frmLayerNameRule* dialog) {
        doc->open = false;
        QTest::keyClicks(dialog->TxtNameBefore, QStringLiteral("A"));
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_TRUE(messages.messages[0].text.startsWith(QStringLiteral("予期せぬエラーが発生しました。\r\n-2147417848\r\n")));
        EXPECT_EQ(messages.messages[0].style, support::vbCritical);
        QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    });
    EXPECT_FALSE(frmLayerNameRule::pu_fun_bGetRule(before, after));
}

}  // namespace
