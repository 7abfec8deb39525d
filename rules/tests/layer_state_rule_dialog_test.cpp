// The state rule dialog: choice lists and preview from a drawing in the
// in-memory host, the colour swatch, and what OK hands back.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "host/HostConnection.h"
#include "host/ValueLists.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"
#include "rules/frmLayerStateRule.h"
#include "rules/tests/DialogDriver.h"

namespace {

using host::kNoChange;
using rules::frmLayerStateRule;
using rulestest::whenShown;

QStringList entries(QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
    return list;
}

QStringList column(QTreeWidget* list, int c) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(c);
    return texts;
}

int selectedCount(QTreeWidget* list) { return static_cast<int>(list->selectedItems().size()); }

struct StateRuleDialogTest : ::testing::Test {
    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
    std::shared_ptr<fakehost::FakeProvider> provider = std::make_shared<fakehost::FakeProvider>(state);
    support::RecordingMessageBox messages;

    void SetUp() override {
        const QString path = QStringLiteral("/proj/a/plan.dxf");
        auto& d = state->file(path);
        d.layer(QStringLiteral("A1")).plotStyle = QStringLiteral("Style1");
        d.layer(QStringLiteral("AB")).plotStyle = QStringLiteral("Style");
        auto& odd = d.layer(QStringLiteral("XA1"));
        odd.lineweight = 148;
        odd.color = 5;
        odd.plotStyle = QStringLiteral("Thick");
        state->openByUser(path);
        host::setHostProvider(provider);
    }
    void TearDown() override { host::setHostProvider(nullptr); }
};

TEST_F(StateRuleDialogTest, ChoiceListsComeFromTheActiveDrawing) {
    QString pattern = QStringLiteral("A.");
    QStringList settings;
    whenShown<frmLayerStateRule>([](frmLayerStateRule* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("画層状態変更規則の設定"));
        EXPECT_EQ(entries(dialog->CboFreeze), (QStringList{kNoChange, QStringLiteral("する"), QStringLiteral("しない")}));
        EXPECT_EQ(entries(dialog->CboLinetype), (QStringList{kNoChange, QStringLiteral("Continuous"),
                                                             QStringLiteral("DASHED"), QStringLiteral("CENTER")}));
        // "Style" lies inside "Style1", offered before it.
        EXPECT_EQ(entries(dialog->CboPlotStyleName), (QStringList{kNoChange, QStringLiteral("Normal"),
                                                                  QStringLiteral("Style1"), QStringLiteral("Thick")}));
        EXPECT_EQ(dialog->CboColor->count(), 256);
        EXPECT_EQ(dialog->CboLineweight->count(), 26);
        for (QComboBox* box : dialog->settingBoxes()) EXPECT_EQ(box->currentText(), kNoChange);
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    EXPECT_TRUE(frmLayerStateRule::pu_fun_bGetRule(pattern, settings));
    EXPECT_EQ(settings, QStringList(8, kNoChange));
}

TEST_F(StateRuleDialogTest, PreviewSelectsWholeMatchesWithTheirNewSettings) {
    QString pattern;
    QStringList settings;
    whenShown<frmLayerStateRule>([](frmLayerStateRule* dialog) {
        QTreeWidget* list = dialog->LstvLayerSample;
        QTest::keyClicks(dialog->TxtLayerName, QStringLiteral(".*"));
        EXPECT_EQ(list->topLevelItemCount(), 5);
        EXPECT_EQ(selectedCount(list), 5);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf - 5個該当"));
        // A lineweight without a name shows empty, not another layer's.
        EXPECT_EQ(column(list, 6).at(4), QString());

        dialog->TxtLayerName->clear();
        QTest::keyClicks(dialog->TxtLayerName, QStringLiteral("A."));
        dialog->CboColor->setCurrentIndex(3);
        EXPECT_EQ(column(list, 0), (QStringList{QStringLiteral("0"), QStringLiteral("Defpoints"), QStringLiteral("A1"),
                                                QStringLiteral("AB"), QStringLiteral("XA1")}));
        EXPECT_EQ(column(list, 4), (QStringList{QStringLiteral("7"), QStringLiteral("7"), QStringLiteral("3"),
                                                QStringLiteral("3"), QStringLiteral("5")}));
        EXPECT_EQ(selectedCount(list), 2);
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("plan.dxf - 2個該当"));
        EXPECT_EQ(dialog->CmdColor->property("swatch").value<QColor>(), QColor(0, 255, 0));

        // Back to "(変更なし)": the swatch keeps green, the rows their own colour.
        dialog->CboColor->setCurrentIndex(0);
        EXPECT_EQ(dialog->CmdColor->property("swatch").value<QColor>(), QColor(0, 255, 0));
        EXPECT_EQ(column(list, 4).at(2), QStringLiteral("7"));

        dialog->CboLock->setCurrentIndex(1);
        EXPECT_EQ(column(list, 3).at(3), QStringLiteral("する"));
        EXPECT_EQ(column(list, 3).at(4), QStringLiteral("しない"));

        // Without automatic update the preview waits for the button.
        dialog->ChkAutoUpdate->setChecked(false);
        dialog->CboLineweight->setCurrentIndex(dialog->CboLineweight->findText(QStringLiteral("1.48 mm")));
        EXPECT_EQ(column(list, 6).at(2), QStringLiteral("Default"));
        QTest::mouseClick(dialog->CmdUpdateAutoCAD, Qt::LeftButton);
        EXPECT_EQ(column(list, 6).at(2), QStringLiteral("1.48 mm"));
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    EXPECT_TRUE(frmLayerStateRule::pu_fun_bGetRule(pattern, settings));
    EXPECT_EQ(pattern, QStringLiteral("A."));
    EXPECT_EQ(settings, (QStringList{kNoChange, kNoChange, QStringLiteral("する"), kNoChange, kNoChange,
                                     QStringLiteral("1.48 mm"), kNoChange, kNoChange}));
}

TEST_F(StateRuleDialogTest, EditedRuleKeepsTextsTheDrawingLacks) {
    QString pattern = QStringLiteral("A1");
    QStringList settings{QStringLiteral("しない"), kNoChange, kNoChange, QStringLiteral("3"),
                         QStringLiteral("HIDDEN2"), QStringLiteral("0.25 mm"), QStringLiteral("Nope"), QStringLiteral("する")};
    const QStringList original = settings;
    whenShown<frmLayerStateRule>([&original](frmLayerStateRule* dialog) {
        EXPECT_EQ(dialog->TxtLayerName->text(), QStringLiteral("A1"));
        EXPECT_EQ(dialog->CboLinetype->currentText(), QStringLiteral("HIDDEN2"));
        EXPECT_EQ(dialog->CmdColor->property("swatch").value<QColor>(), QColor(0, 255, 0));
        EXPECT_EQ(column(dialog->LstvLayerSample, 5).at(2), QStringLiteral("HIDDEN2"));
        (void)original;
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    EXPECT_TRUE(frmLayerStateRule::pu_fun_bGetRule(pattern, settings));
    EXPECT_EQ(settings, original);
}

TEST_F(StateRuleDialogTest, EmptyPatternIsRefusedAndCancelKeepsTheRule) {
    QString pattern;
    QStringList settings;
    whenShown<frmLayerStateRule>([this](frmLayerStateRule* dialog) {
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, QStringLiteral("画層名規則 がブランクです。"));
        EXPECT_EQ(messages.messages[0].style, support::vbExclamation);
        EXPECT_TRUE(dialog->isVisible());
        QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    });
    EXPECT_FALSE(frmLayerStateRule::pu_fun_bGetRule(pattern, settings));
    EXPECT_TRUE(settings.isEmpty());
}

TEST_F(StateRuleDialogTest, WithoutHostOnlyTheFixedListsAreOffered) {
    provider->running = false;
    QString pattern = QStringLiteral("A.*");
    QStringList settings;
    whenShown<frmLayerStateRule>([](frmLayerStateRule* dialog) {
        EXPECT_EQ(dialog->LblMsg->text(), QStringLiteral("AutoCADが起動されていません"));
        EXPECT_EQ(entries(dialog->CboLinetype), QStringList{kNoChange});
        EXPECT_EQ(entries(dialog->CboPlotStyleName), QStringList{kNoChange});
        EXPECT_EQ(dialog->CboColor->count(), 256);
        EXPECT_EQ(dialog->LstvLayerSample->topLevelItemCount(), 0);
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    EXPECT_TRUE(frmLayerStateRule::pu_fun_bGetRule(pattern, settings));
    EXPECT_EQ(settings.size(), 8);
}

}  // namespace
