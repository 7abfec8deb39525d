// The script dialogs' tests need one QApplication for the whole run, headless.
// CUPS is pointed at a socket nobody serves, so "the system's printers" are
// those of a machine without a running CUPS, whatever this machine runs.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("CUPS_SERVER", "/nonexistent/laminor-test/cups.sock");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
