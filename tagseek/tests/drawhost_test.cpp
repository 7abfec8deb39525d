// Tagseek against a real drawhost holding a test drawing, driven as a user
// drives it: a drop of handles (found, not found, a text), the counters, the
// view of drawhost zoomed onto each found object (read back through
// automation), Cancel on the first of ten, and the result dialog's place
// surviving a restart of the window.
#include <QFile>
#include <QProcess>
#include <QTreeWidget>
#include <cmath>
#include <csignal>

#include "host/client/RemoteHost.h"
#include "host/client/RemoteProvider.h"
#include "tagseek/frmMain.h"
#include "tagseek/tests/TagseekFixture.h"
#include "tagseek/tests/WindowDriving.h"

namespace tagseek::testing {
namespace {

QRectF rectOf(const host::Point3& lo, const host::Point3& hi) {
    return QRectF(QPointF(lo.x, lo.y), QPointF(hi.x, hi.y)).normalized();
}

class DrawhostTagseekTest : public TagseekTest {
protected:
    void SetUp() override {
        TagseekTest::SetUp();
        socket = folder.filePath("run/drawhost.sock");
        drawing = folder.filePath("floor-plan.dxf");
        ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/floor-plan.dxf"), drawing));
        QProcess::startDetached(QStringLiteral(DRAWHOST_EXE), {"--socket", socket, drawing}, QString(), &pid);
        ASSERT_TRUE(waitUntil([&] {
            try {
                probe = host::connectRemoteHost(socket, 200);
                return probe->documents()->count() == 1;
            } catch (const host::HostError&) {
                return false;
            }
        }));
        // Tagseek finds the running host on this socket; it never starts one.
        host::setHostProvider(std::make_shared<host::RemoteHostProvider>(QStringLiteral("/nonexistent/drawhost"), socket));
    }
    void TearDown() override {
        probe.reset();
        if (pid > 0) ::kill(pid_t(pid), SIGKILL);
        TagseekTest::TearDown();
    }

    // What drawhost's view shows, asked through automation as any client would.
    QRectF view() {
        host::Point3 lo, hi;
        probe->getViewExtents(lo, hi);
        return rectOf(lo, hi);
    }
    QRectF extentsOf(const QString& handle) {
        host::Point3 lo, hi;
        probe->activeDocument()->handleToObject(handle)->getBoundingBox(lo, hi);
        return rectOf(lo, hi);
    }

    QString socket, drawing;
    qint64 pid = 0;
    host::ApplicationPtr probe;  // the test's own connection to drawhost
};

// The object is in the middle of the view and fills half of it along the
// side that limits the zoom.
void expectZoomedOnto(const QRectF& view, const QRectF& box, const QString& handle) {
    SCOPED_TRACE(handle.toStdString());
    const double tolerance = 1e-6 * std::max({1.0, view.width(), view.height()});
    EXPECT_NEAR(view.center().x(), box.center().x(), tolerance);
    EXPECT_NEAR(view.center().y(), box.center().y(), tolerance);
    double fill = HUGE_VAL;
    if (box.width() > 0) fill = std::min(fill, view.width() / box.width());
    if (box.height() > 0) fill = std::min(fill, view.height() / box.height());
    EXPECT_NEAR(fill, 2.0, 0.02);
}

TEST_F(DrawhostTagseekTest, ADropFindsZoomsOntoAndDescribesEachObject) {
    const QRectF before = view();
    auto w = std::make_unique<frmMain>();
    w->show();
    ResultAnswerer answers;
    std::vector<QRectF> views;
    answers.onShow = [&](frmMsg& dialog) {
        views.push_back(view());
        if (answers.shown.size() == 1) dialog.move(140, 90);  // the user moves the first result aside
    };
    ASSERT_TRUE(dropText(w->LstvHandle->viewport(), "23A\r\nFFFFF\r\n23C\r\n"));
    ASSERT_TRUE(waitUntil([&] { return answers.shown.size() == 3 && w->isVisible(); }));

    EXPECT_EQ(answers.counters(), (QStringList{"( 1/3 )", "( 2/3 )", "( 3/3 )"}));
    EXPECT_TRUE(answers.shown[0].text.startsWith("【ハンドル値】23A\n【ｵﾌﾞｼﾞｪｸﾄ名】AcDbText\n【データ】仕上：ﾀｲﾙ\n\n"));
    EXPECT_TRUE(answers.shown[1].text.startsWith("FFFFF\n\n が見つかりませんでした。"));
    EXPECT_TRUE(answers.shown[2].text.startsWith("【ハンドル値】23C\n【ｵﾌﾞｼﾞｪｸﾄ名】AcDbLine\n\n が見つかりました。"));

    ASSERT_EQ(views.size(), 3u);
    EXPECT_NE(views[0], before);
    expectZoomedOnto(views[0], extentsOf("23A"), "23A");
    EXPECT_EQ(views[1], views[0]);  // a handle not found leaves the view alone
    expectZoomedOnto(views[2], extentsOf("23C"), "23C");
    // The later results opened where the user left the first one.
    EXPECT_EQ(answers.shown[1].pos, QPoint(140, 90));
    EXPECT_EQ(answers.shown[2].pos, QPoint(140, 90));

    // A restart of Tagseek: the next result opens there too.
    w->close();
    w = std::make_unique<frmMain>();
    w->show();
    ASSERT_TRUE(dropText(w->CmdExecute, "24D"));
    ASSERT_TRUE(waitUntil([&] { return answers.shown.size() == 4 && w->isVisible(); }));
    EXPECT_EQ(answers.shown[3].pos, QPoint(140, 90));
    EXPECT_EQ(answers.counters().back(), "( 1/0 )");
    expectZoomedOnto(view(), extentsOf("24D"), "24D");
}

TEST_F(DrawhostTagseekTest, CancelOnTheFirstOfTenStillListsAllTen) {
    frmMain w;
    w.show();
    ResultAnswerer answers;
    answers.cancelAt(1);
    QStringList ten;
    for (int i = 0; i < 10; ++i) ten << QString::number(0x23A + i, 16).toUpper();
    ASSERT_TRUE(dropText(w.LstvHandle->viewport(), ten.join("\n") + "\n"));
    ASSERT_TRUE(waitUntil([&] { return w.LstvHandle->topLevelItemCount() == 10 && w.isVisible(); }));
    EXPECT_EQ(answers.counters(), QStringList{"( 1/10 )"});
    expectZoomedOnto(view(), extentsOf("23A"), "23A");
}

}  // namespace
}  // namespace tagseek::testing
