// A real drawhost (offscreen), driven over its socket the way laminor and
// tagseek drive it: find or start, open, layers, rename, select, save, close,
// keystrokes, two clients at once, and a host that is killed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <csignal>

#include "TestDrawings.h"
#include "host/HostConnection.h"
#include "host/client/RemoteHost.h"
#include "host/client/RemoteProvider.h"
#include "support/StatusLabel.h"

using namespace host;
using testdrawings::bytesOf;
using testdrawings::copySample;

namespace {

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const HostError& e) {
        return e.number();
    }
    return 0;
}

// Waits until the condition holds (a script runs on in the host after SendKeys returns).
bool eventually(const std::function<bool()>& condition, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition()) return true;
        QThread::msleep(20);
    }
    return condition();
}

class DrawhostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        socket_ = dir_.filePath(QStringLiteral("run/drawhost.sock"));
        provider_ = std::make_shared<RemoteHostProvider>(QStringLiteral(DRAWHOST_EXE), socket_);
        setHostProvider(provider_);
    }
    void TearDown() override {
        setHostProvider(nullptr);
        if (provider_->lastStartedPid() > 0) ::kill(pid_t(provider_->lastStartedPid()), SIGKILL);
    }
    QTemporaryDir dir_;
    QString socket_;
    std::shared_ptr<RemoteHostProvider> provider_;
};

TEST_F(DrawhostTest, FindOrStartThenDriveLikeABatchRun) {
    // Nothing runs: the start-up scan finds nothing and starts nothing.
    ApplicationPtr app;
    bool found = true;
    EXPECT_FALSE(fun_bGetRunningHost(app, found));
    EXPECT_FALSE(found);
    EXPECT_EQ(provider_->lastStartedPid(), 0);

    support::PlainStatusLabel label;
    ASSERT_TRUE(fun_bFindOrStartHost(app, label));
    EXPECT_EQ(label.caption(), QStringLiteral("ただいまAutoCADを起動中...  "));
    EXPECT_TRUE(app->visible());
    EXPECT_EQ(app->caption(), QStringLiteral("drawhost"));
    EXPECT_EQ(errorOf([&] { app->activeDocument(); }), errc::kNoDocument);

    // Found the second time, without starting another.
    const qint64 firstPid = provider_->lastStartedPid();
    ApplicationPtr again;
    ASSERT_TRUE(fun_bFindOrStartHost(again, label));
    EXPECT_EQ(label.caption(), QStringLiteral("ただいまAutoCADを探しています...  "));
    EXPECT_EQ(provider_->lastStartedPid(), firstPid);

    const QString plan = copySample(dir_, QStringLiteral("floor-plan.dxf"), QStringLiteral("図面 1/floor plan.dxf"));
    DocumentsPtr docs = app->documents();
    EXPECT_EQ(errorOf([&] { docs->open(dir_.filePath(QStringLiteral("missing.dxf"))); }), errc::kFileError);
    DocumentPtr doc = docs->open(plan);
    EXPECT_EQ(doc->name(), QStringLiteral("floor plan.dxf"));
    EXPECT_EQ(app->caption(), QStringLiteral("drawhost - [%1]").arg(plan));
    EXPECT_EQ(docs->item(QStringLiteral("floor plan.dxf"))->fullName(), plan);
    EXPECT_EQ(errorOf([&] { docs->item(QStringLiteral("other.dxf")); }), errc::kKeyNotFound);

    // Layers: enumerate, look up ignoring case, rename, refusals.
    LayersPtr layers = doc->layers();
    ASSERT_GT(layers->count(), 20);
    QStringList names;
    for (int i = 0; i < layers->count(); ++i) names << layers->item(i)->name();
    EXPECT_TRUE(names.contains(QStringLiteral("壁")));
    doc->setActiveLayer(layers->item(QStringLiteral("0")));
    EXPECT_EQ(doc->activeLayer()->name(), QStringLiteral("0"));
    layers->item(QStringLiteral("a-wall"))->setName(QStringLiteral("A-壁"));
    EXPECT_EQ(layers->item(QStringLiteral("A-壁"))->name(), QStringLiteral("A-壁"));
    EXPECT_EQ(errorOf([&] { layers->item(QStringLiteral("A-壁"))->setName(QStringLiteral("壁")); }), errc::kDuplicateKey);
    EXPECT_EQ(errorOf([&] { layers->item(QStringLiteral("0"))->deleteLayer(); }), errc::kObjectInUse);
    EXPECT_EQ(errorOf([&] { layers->item(QStringLiteral("壁"))->setColor(0); }), errc::kInvalidInput);

    // Selection with filters, as the survey counts objects.
    SelectionSetPtr set = doc->selectionSets()->add(QStringLiteral("SSetDummy"));
    set->select(5, {8}, {QStringLiteral("A-壁")});
    const int onWall = set->count();
    EXPECT_GT(onWall, 0);
    for (int i = 0; i < std::min(onWall, 5); ++i) EXPECT_EQ(set->item(i)->layer(), QStringLiteral("A-壁"));
    set->clear();
    set->select(5, {0, 8}, {QStringLiteral("TEXT"), QStringLiteral("文字_注記")});
    for (int i = 0; i < set->count(); ++i) EXPECT_EQ(set->item(i)->objectName(), QStringLiteral("AcDbText"));
    set->deleteSet();

    // Close saving: the file on disk holds the rename, and reopens.
    doc->close(true);
    EXPECT_EQ(docs->count(), 0);
    EXPECT_TRUE(bytesOf(plan).contains(QStringLiteral("A-壁").toUtf8()) ||
                bytesOf(plan).contains(QByteArray("A-\x95\xc7")));
    DocumentPtr reopened = docs->open(plan);
    EXPECT_EQ(reopened->layers()->item(QStringLiteral("A-壁"))->name(), QStringLiteral("A-壁"));
    EXPECT_EQ(errorOf([&] { reopened->layers()->item(QStringLiteral("A-WALL")); }), errc::kKeyNotFound);
    reopened->close(false);

    // A new empty drawing (what the script dispatch does when nothing is open).
    DocumentPtr fresh = docs->add();
    EXPECT_EQ(fresh->layers()->count(), 1);
    EXPECT_EQ(errorOf([&] { fresh->close(true); }), errc::kFileError);
    fresh->close(false);
}

TEST_F(DrawhostTest, KeystrokesScriptsAndTwoClients) {
    ApplicationPtr laminor;
    ASSERT_TRUE(fun_bGetHost(laminor));
    ApplicationPtr tagseek = connectRemoteHost(socket_);

    const QString plan = copySample(dir_, QStringLiteral("floor-plan.dxf"));
    DocumentPtr doc = laminor->documents()->open(plan);

    // Typed keys are processed when SendKeys returns.
    laminor->sendKeys(QStringLiteral("\x1b\x1b" "-LAYER OFF 壁\r\r"));
    EXPECT_FALSE(doc->layers()->item(QStringLiteral("壁"))->layerOn());

    // The script dispatch: FILEDIA off, SCRIPT on a quoted path with spaces.
    const QString script = dir_.filePath(QStringLiteral("my scripts/run it.scr"));
    QDir().mkpath(QFileInfo(script).absolutePath());
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("-LAYER\r\nC\r\n4\r\n\"\x95\xc7\"\r\n\r\nzoom\r\na\r\n");
    f.close();
    laminor->sendKeys(QStringLiteral("filedia 0 script \"%1\"\r").arg(script));
    EXPECT_TRUE(eventually([&] { return doc->layers()->item(QStringLiteral("壁"))->color() == 4; }));
    laminor->sendKeys(QStringLiteral("filedia\r1\r"));

    // Meanwhile the other client finds an object by handle and zooms to it.
    SelectionSetPtr set = tagseek->activeDocument()->selectionSets()->add(QStringLiteral("probe"));
    set->select(5, {0}, {QStringLiteral("TEXT")});
    ASSERT_GT(set->count(), 0);
    const QString handle = set->item(0)->handle();
    EntityPtr text = tagseek->activeDocument()->handleToObject(handle);
    EXPECT_EQ(text->objectName(), QStringLiteral("AcDbText"));
    EXPECT_FALSE(text->textString().isEmpty());
    Point3 lo, hi;
    text->getBoundingBox(lo, hi);
    tagseek->zoomWindow(lo, hi);
    tagseek->zoomScaled(0.5, 1);
    EXPECT_EQ(errorOf([&] { tagseek->activeDocument()->handleToObject(QStringLiteral("FFFFFFF")); }), errc::kKeyNotFound);

    // A set walked by one client follows what another client does to it.
    SelectionSetPtr walked = laminor->activeDocument()->selectionSets()->item(QStringLiteral("probe"));
    const int members = walked->count();
    EXPECT_EQ(members, set->count());
    set->clear();
    EXPECT_EQ(laminor->documents()->count(), 1);
    EXPECT_EQ(walked->count(), 0);

    // Window state as the batch run uses it.
    laminor->setWindowState(kWindowMinimized);
    EXPECT_EQ(laminor->windowState(), kWindowMinimized);
    laminor->setWindowState(kWindowNormal);
    EXPECT_EQ(laminor->windowState(), kWindowNormal);
    laminor->activateWindow();

    // One client leaving does not disturb the other or close the host.
    tagseek.reset();
    EXPECT_EQ(laminor->documents()->count(), 1);
    doc->close(false);
}

TEST_F(DrawhostTest, AKilledHostFailsCallsAndANewOneTakesOverItsSocket) {
    QProcess first;
    first.start(QStringLiteral(DRAWHOST_EXE), {QStringLiteral("--socket"), socket_});
    ASSERT_TRUE(first.waitForStarted());
    ApplicationPtr app;
    ASSERT_TRUE(eventually([&] {
        try {
            app = connectRemoteHost(socket_, 200);
            return true;
        } catch (const HostError&) {
            return false;
        }
    }));
    DocumentsPtr docs = app->documents();
    first.kill();
    first.waitForFinished();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(errorOf([&] { docs->count(); }), errc::kDisconnected);
    EXPECT_LT(t.elapsed(), 2000);

    // The dead host's socket file is left behind; a new host starts anyway.
    ASSERT_TRUE(QFile::exists(socket_));
    bool found = true;
    ApplicationPtr none;
    EXPECT_FALSE(fun_bGetRunningHost(none, found));
    ApplicationPtr fresh;
    ASSERT_TRUE(fun_bGetHost(fresh));
    EXPECT_EQ(fresh->documents()->count(), 0);
}

// The console mode: the same command line on a script or standard input,
// with the exit status telling whether every command succeeded.
TEST(DrawhostConsoleTest, RunsScriptsAndReportsFailureInItsExitStatus) {
    QTemporaryDir dir;
    const QString plan = copySample(dir, QStringLiteral("english-R2004.dxf"));
    const QString script = dir.filePath(QStringLiteral("job.scr"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("open\r\n\"%1\"\r\n-LAYER\r\nN\r\nNEW-ONE\r\n\r\nclose\r\nn\r\n").arg(plan).toLocal8Bit());
    f.close();

    QProcess ok;
    ok.start(QStringLiteral(DRAWHOST_EXE), {QStringLiteral("--console"), script});
    ASSERT_TRUE(ok.waitForFinished(20000));
    EXPECT_EQ(ok.exitCode(), 0) << ok.readAllStandardOutput().toStdString();
    EXPECT_TRUE(bytesOf(plan).contains("NEW-ONE"));

    // From standard input: the failed OPEN stops the rest (the CLOSE n).
    const QByteArray before = bytesOf(plan);
    QProcess failing;
    failing.start(QStringLiteral(DRAWHOST_EXE), {QStringLiteral("--console")});
    ASSERT_TRUE(failing.waitForStarted());
    failing.write(QStringLiteral("open \"%1\"\n-LAYER N OTHER \nopen \"%2\"\nclose\nn\n")
                      .arg(plan, dir.filePath(QStringLiteral("missing.dxf")))
                      .toLocal8Bit());
    failing.closeWriteChannel();
    ASSERT_TRUE(failing.waitForFinished(20000));
    const QString output = QString::fromLocal8Bit(failing.readAllStandardOutput());
    EXPECT_EQ(failing.exitCode(), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("Script stopped."))) << output.toStdString();
    EXPECT_EQ(bytesOf(plan), before);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
