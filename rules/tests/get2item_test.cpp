// The two-field dialog, driven by keyboard and mouse.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "rules/frmGet2Item.h"
#include "rules/tests/DialogDriver.h"

namespace {

using rules::frmGet2Item;
using rulestest::whenShown;

const QString kAdd = QStringLiteral("検索ｷｰﾜｰﾄﾞの追加");
const QString kKeyword = QStringLiteral("検索ｷｰﾜｰﾄﾞ");
const QString kReplace = QStringLiteral("置換文字");

TEST(Get2Item, OkWithoutTypingHandsBackTheInitialTexts) {
    QString s1 = QStringLiteral("<A>"), s2 = QStringLiteral("B");
    whenShown<frmGet2Item>([](frmGet2Item* dialog) {
        EXPECT_EQ(dialog->windowTitle(), kAdd);
        EXPECT_EQ(dialog->Label1->text(), kKeyword);
        EXPECT_EQ(dialog->Label2->text(), kReplace);
        EXPECT_EQ(dialog->Text1->text(), QStringLiteral("<A>"));
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    EXPECT_TRUE(frmGet2Item::pu_fun_bGet2Item(kAdd, kKeyword, kReplace, s1, s2));
    EXPECT_EQ(s1, QStringLiteral("<A>"));
    EXPECT_EQ(s2, QStringLiteral("B"));
}

TEST(Get2Item, TypedTextsComeBackAndEnterConfirms) {
    QString s1, s2;
    whenShown<frmGet2Item>([](frmGet2Item* dialog) {
        QTest::keyClicks(dialog->Text1, QStringLiteral("<LAYER>"));
        QTest::keyClick(dialog->Text1, Qt::Key_Tab);
        QTest::keyClicks(dialog->Text2, QStringLiteral(" 1"));
        dialog->Text2->home(false);
        dialog->Text2->insert(QStringLiteral("壁"));  // as an input method commits it
        QTest::keyClick(dialog->Text2, Qt::Key_Return);
    });
    EXPECT_TRUE(frmGet2Item::pu_fun_bGet2Item(kAdd, kKeyword, kReplace, s1, s2));
    EXPECT_EQ(s1, QStringLiteral("<LAYER>"));
    EXPECT_EQ(s2, QStringLiteral("壁 1"));
}

TEST(Get2Item, CancelReturnsFalseWithTheFieldsAsTyped) {
    QString s1 = QStringLiteral("old"), s2 = QStringLiteral("old2");
    whenShown<frmGet2Item>([](frmGet2Item* dialog) {
        dialog->Text1->clear();
        QTest::keyClicks(dialog->Text1, QStringLiteral("new"));
        QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
    });
    EXPECT_FALSE(frmGet2Item::pu_fun_bGet2Item(kAdd, kKeyword, kReplace, s1, s2));
    EXPECT_EQ(s1, QStringLiteral("new"));
    EXPECT_EQ(s2, QStringLiteral("old2"));
}

TEST(Get2Item, EachCallStartsUnconfirmed) {
    QString s1, s2;
    whenShown<frmGet2Item>([](frmGet2Item* dialog) { QTest::mouseClick(dialog->OKButton, Qt::LeftButton); });
    EXPECT_TRUE(frmGet2Item::pu_fun_bGet2Item(kAdd, kKeyword, kReplace, s1, s2));
    whenShown<frmGet2Item>([](frmGet2Item* dialog) { QTest::keyClick(dialog->Text1, Qt::Key_Escape); });
    EXPECT_FALSE(frmGet2Item::pu_fun_bGet2Item(kAdd, kKeyword, kReplace, s1, s2));
    whenShown<frmGet2Item>([](frmGet2Item* dialog) { dialog->close(); });
    EXPECT_FALSE(frmGet2Item::pu_fun_bGet2Item(kAdd, kKeyword, kReplace, s1, s2));
}

}  // namespace
