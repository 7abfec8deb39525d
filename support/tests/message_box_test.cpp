#include "support/MessageBoxQt.h"
#include "support/QtTranslation.h"
#include "support/RecordingMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using namespace support;

namespace {

QStringList buttonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* b : box->buttons()) texts.append(b->text());
    texts.sort();
    return texts;
}

TEST(QtMessageBoxTest, IconAndButtonsFollowTheStyle) {
    const struct {
        int style;
        QMessageBox::Icon icon;
        QStringList buttons;
    } cases[] = {
        {vbCritical, QMessageBox::Critical, {"OK"}},
        {vbExclamation | vbOKCancel, QMessageBox::Warning, {"OK", "ｷｬﾝｾﾙ"}},
        {vbInformation, QMessageBox::Information, {"OK"}},
        {vbQuestion | vbYesNo, QMessageBox::Question, {"いいえ(&N)", "はい(&Y)"}},
        {vbYesNoCancel, QMessageBox::NoIcon, {"いいえ(&N)", "はい(&Y)", "ｷｬﾝｾﾙ"}},
    };
    for (const auto& c : cases) {
        std::unique_ptr<QMessageBox> box(createMessageBox("text", c.style, kLaminorTitle));
        EXPECT_EQ(box->icon(), c.icon) << c.style;
        QStringList expected = c.buttons;
        expected.sort();
        EXPECT_EQ(buttonTexts(box.get()), expected) << c.style;
        EXPECT_EQ(box->windowTitle(), kLaminorTitle);
    }
    // The second button as default (256).
    std::unique_ptr<QMessageBox> box(createMessageBox("q", vbYesNo | 256, kLaminorTitle));
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
}

TEST(QtMessageBoxTest, TextIsPlainWithLineBreaks) {
    std::unique_ptr<QMessageBox> box(
        createMessageBox(QStringLiteral("予期せぬエラーが発生しました。\r\n<DWGNAME>\r\n13"), vbCritical, kLaminorTitle));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), QStringLiteral("予期せぬエラーが発生しました。\n<DWGNAME>\n13"));
}

TEST(QtMessageBoxTest, ServiceReturnsTheAnswerOfTheButtonPressed) {
    installQtMessageBoxService();
    for (const auto& [buttonText, answer] :
         {std::pair{QStringLiteral("いいえ(&N)"), int(vbNo)}, std::pair{QStringLiteral("ｷｬﾝｾﾙ"), int(vbCancel)},
          std::pair{QStringLiteral("はい(&Y)"), int(vbYes)}}) {
        QTimer::singleShot(0, [text = buttonText] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* b : box->buttons())
                if (b->text() == text) b->click();
        });
        EXPECT_EQ(MsgBox("続けますか?", vbQuestion | vbYesNoCancel, kLaminorTitle), answer);
    }
    setMessageBoxService(nullptr);
}

TEST(RecordingMessageBoxTest, RecordsAndAnswersFromItsQueue) {
    {
        RecordingMessageBox recorder;
        recorder.answerNext(vbNo);
        EXPECT_EQ(MsgBox("a", vbYesNo | vbQuestion, kLaminorTitle), vbNo);
        EXPECT_EQ(MsgBox("b", vbYesNo, kLaminorTitle), vbYes);
        EXPECT_EQ(MsgBox("c", vbExclamation, "t"), vbOK);
        ASSERT_EQ(recorder.count(), 3);
        EXPECT_EQ(recorder.messages[0].text, "a");
        EXPECT_EQ(recorder.last().icon(), vbExclamation);
        EXPECT_EQ(recorder.last().title, "t");
    }
    EXPECT_EQ(dynamic_cast<RecordingMessageBox*>(&messageBoxService()), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // Test discovery runs the executable at build time without the test
    // environment; the boxes never need a real screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Qt's own dialogs speak Japanese once its translation is installed.
TEST(QtTranslationTest, StandardDialogTextsBecomeJapanese) {
    ASSERT_TRUE(installQtJapaneseTranslation()) << "qt6-translations-l10n is not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("ファイル名(&N):"));
}
