// The script dispatch: what is typed into the host, in which order, around
// the wait dialog, which the test answers as the user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "host/ScriptDispatch.h"
#include "host/frmDialogModal.h"
#include "host/tests/FakeDrawingHost.h"
#include "support/RecordingMessageBox.h"

namespace {

using namespace host;

// Runs steps once the wait dialog is up; a dialog left open fails the test.
void whenWaitDialogShown(std::function<void(frmDialogModal*)> steps) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, steps] {
        auto* dialog = qobject_cast<frmDialogModal*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(5000, dialog, [dialog] {
            ADD_FAILURE() << "the wait dialog was left open";
            dialog->hide();
        });
        steps(dialog);
    });
    poll->start();
}

struct DispatchTest : ::testing::Test {
    std::shared_ptr<fakehost::HostState> state = std::make_shared<fakehost::HostState>();
    support::RecordingMessageBox messages;
    DispatchTest() { setHostProvider(std::make_shared<fakehost::FakeProvider>(state)); }
    ~DispatchTest() override { setHostProvider(nullptr); }
};

TEST_F(DispatchTest, MinimisedHostWithoutDrawingGetsTheScriptAndFiledaBack) {
    state->windowState = kWindowMinimized;
    QStringList seenWhileWaiting;
    whenWaitDialogShown([&](frmDialogModal* dialog) {
        seenWhileWaiting = state->windowCalls;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Stratakit Ver1.00"));
        EXPECT_EQ(dialog->LblMsg->text(), scriptWaitMessage());
        EXPECT_FALSE(dialog->Image1->pixmap().isNull());  // the warning picture
        EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
        state->windowState = kWindowMinimized;  // the user minimised the host meanwhile
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
    });
    subSendScript(QStringLiteral("/home/u/my scripts/Laminor_script.scr"));
    const QStringList before{QStringLiteral("state 1"), QStringLiteral("activate"), QStringLiteral("add"),
                             QStringLiteral("keys \x1b"), QStringLiteral("keys \x1b"),
                             QStringLiteral("keys filedia 0 script \"/home/u/my scripts/Laminor_script.scr\"\r")};
    EXPECT_EQ(seenWhileWaiting, before);
    const QStringList after{QStringLiteral("state 1"), QStringLiteral("activate"), QStringLiteral("keys filedia\r1\r")};
    EXPECT_EQ(state->windowCalls, before + after);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(DispatchTest, OpenDrawingIsUsedAsItIs) {
    state->file(QStringLiteral("/d/a.dwg"));
    state->openByUser(QStringLiteral("/d/a.dwg"));
    whenWaitDialogShown([](frmDialogModal* dialog) { dialog->OKButton->click(); });
    subSendScript(QStringLiteral("/p/s.scr"));
    EXPECT_EQ(state->windowCalls.first(), QStringLiteral("activate"));
    EXPECT_FALSE(state->windowCalls.contains(QStringLiteral("add")));
    EXPECT_EQ(state->windowCalls.last(), QStringLiteral("keys filedia\r1\r"));
}

TEST_F(DispatchTest, NoHostIsToldAndNothingIsTyped) {
    setHostProvider(nullptr);
    subSendScript(QStringLiteral("/p/s.scr"));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("AutoCADレギュラー版が見つかりません。"));
    EXPECT_EQ(messages.last().style, support::vbOKCancel | support::vbExclamation);
    EXPECT_TRUE(state->windowCalls.empty());
}

TEST_F(DispatchTest, HostFailingBeforeTypingIsAnUnexpectedError) {
    state->gone = true;
    subSendScript(QStringLiteral("/p/s.scr"));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.last().text.startsWith(QStringLiteral("予期せぬエラーが発生しました。\r\n-2147417848\r\n")));
    EXPECT_EQ(messages.last().icon(), support::vbCritical);
    EXPECT_TRUE(state->windowCalls.empty());
}

}  // namespace
