// -PLOT to a CUPS printer: a private cupsd with a file queue, so the job
// really passes through CUPS; its output is read back from the file.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>

#include "PrivateCups.h"
#include "TestDrawings.h"
#include "drawhost/CommandLine.h"
#include "drawhost/Plot.h"

using namespace drawhost;

namespace {

testcups::PrivateCups* cups = nullptr;

TEST(PlotToCups, TheQueuesAreTheDevicesWithTheirPaper) {
    if (!cups) GTEST_SKIP() << "cupsd is not installed (tools/install-deps.sh installs it)";
    EXPECT_TRUE(plotPrinters().contains(QStringLiteral("LaminorA3")));
    EXPECT_TRUE(isPrinter(QStringLiteral("Office")));
    EXPECT_FALSE(isPdfDevice(QStringLiteral("LaminorA3")));
    EXPECT_TRUE(pageSizeFor(QStringLiteral("A3"), paperSizesOf(QStringLiteral("LaminorA3"))).has_value());
}

TEST(PlotToCups, ALayoutPlottedToAPrinterIsOneA3Job) {
    if (!cups) GTEST_SKIP() << "cupsd is not installed (tools/install-deps.sh installs it)";
    QTemporaryDir dir;
    const QString plan = testdrawings::copySample(dir, QStringLiteral("floor-plan.dxf"), QStringLiteral("floor plan.dxf"));
    auto host = host::InProcessHost::create();
    CommandLine cl(host);
    QStringList out;
    QObject::connect(&cl, &CommandLine::output, [&out](const QString& l) { out << l; });
    const QStringList script{QStringLiteral("open"), u'"' + plan + u'"', QStringLiteral("-PLOT"), QStringLiteral("Y"),
                             QStringLiteral("Layout1"), QStringLiteral("LaminorA3"), QStringLiteral("A3"),
                             QStringLiteral("M"), QStringLiteral("L"), QStringLiteral("N"), QStringLiteral("L"),
                             QStringLiteral("F"), QStringLiteral("C"), QStringLiteral("Y"), QStringLiteral("."),
                             QStringLiteral("Y"), QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("N"),
                             QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("Y")};
    cl.runScript(script.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    QElapsedTimer t;
    t.start();
    while (cl.busy() && t.elapsed() < 60000) QCoreApplication::processEvents();
    ASSERT_FALSE(cl.failed()) << out.join(u'\n').toStdString();
    EXPECT_TRUE(out.join(u'\n').contains(QStringLiteral("Plot sent to \"LaminorA3\".")));

    const QString ps = cups->waitForOutput(QStringLiteral("LaminorA3"));
    ASSERT_FALSE(ps.isEmpty()) << "no job output from CUPS";
    EXPECT_TRUE(ps.contains(QStringLiteral("%%Title: (floor plan.dxf - Layout1)")));
    EXPECT_TRUE(ps.contains(QStringLiteral("%%Pages: 1")));
    EXPECT_TRUE(ps.contains(QStringLiteral("%%PageBoundingBox: 0 0 842 1191")));  // A3 (turned for landscape)
}

}  // namespace

// Starts the server before the first test (not when the tests are only
// listed): CUPS_SERVER must be set before the first CUPS call.
class CupsServer : public ::testing::Environment {
public:
    void SetUp() override {
        if (!testcups::PrivateCups::available()) return;
        server_ = std::make_unique<testcups::PrivateCups>();
        if (!server_->start() || !server_->addFileQueue(QStringLiteral("LaminorA3"), true) ||
            !server_->addFileQueue(QStringLiteral("Office")))
            GTEST_FAIL() << "private CUPS: " << server_->error().toStdString();
        qputenv("CUPS_SERVER", server_->socket().toLocal8Bit());
        cups = server_.get();
    }
    void TearDown() override {
        cups = nullptr;
        server_.reset();
    }

private:
    std::unique_ptr<testcups::PrivateCups> server_;
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new CupsServer);
    return RUN_ALL_TESTS();
}
