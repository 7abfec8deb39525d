// Keeping windows in front: the topmost hint survives and the window stays shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "host/HostWindow.h"

namespace {

TEST(HostWindowTest, TopmostIsAssertedEveryTimeAndKeepsTheWindowShown) {
    QWidget w;
    w.resize(200, 100);
    w.show();
    host::subSetTopmost(&w);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w.isVisible());
    host::subSetTopmost(&w);  // again on the next activation: still shown, still topmost
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);

    w.showMinimized();
    host::subSetForeground(&w);
    EXPECT_FALSE(w.isMinimized());
    host::subSetForeground(nullptr);  // no window: nothing happens
    host::subSetTopmost(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // Test discovery runs the binary outside CTest's environment: stay headless anyway.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
