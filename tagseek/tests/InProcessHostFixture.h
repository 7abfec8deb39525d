#pragma once
// An in-process host over the test drawings whose "window" remembers what it
// was asked to show, for the tests that do not need a drawhost process.
#include <QDir>
#include <QRectF>

#include "host/client/InProcessHost.h"
#include "tagseek/tests/TagseekFixture.h"

namespace tagseek::testing {

// Keeps the view as the rectangle it was zoomed to, and counts activations.
class RecordingShell : public host::HostShell {
public:
    void zoomWindow(const host::Point3& lo, const host::Point3& hi) override {
        view = QRectF(QPointF(lo.x, lo.y), QPointF(hi.x, hi.y)).normalized();
        ++zooms;
    }
    void zoomScaled(double scale, int scaleType) override {
        ASSERT_EQ(scaleType, 1);  // Tagseek only zooms relative to the view
        const QPointF c = view.center();
        const QSizeF s = view.size() / scale;
        view = QRectF(c.x() - s.width() / 2, c.y() - s.height() / 2, s.width(), s.height());
    }
    void getViewExtents(host::Point3& lo, host::Point3& hi) override {
        lo = {view.left(), view.top(), 0};
        hi = {view.right(), view.bottom(), 0};
    }
    void activateWindow() override { ++activations; }

    QRectF view;
    int zooms = 0;
    int activations = 0;
};

// Hands out the one in-process host while it "runs"; never starts one.
class TestProvider : public host::HostProvider {
public:
    explicit TestProvider(std::shared_ptr<host::InProcessHost> h) : host_(std::move(h)) {}
    host::ApplicationPtr getRunning() override {
        if (!running) throw host::HostError(host::errc::kNotRunning, QStringLiteral("not running"));
        return host_->application();
    }
    host::ApplicationPtr create() override {
        ++creates;
        throw host::HostError(host::errc::kNotRunning, QStringLiteral("not started in tests"));
    }
    bool running = true;
    int creates = 0;

private:
    std::shared_ptr<host::InProcessHost> host_;
};

class InProcessTagseekTest : public TagseekTest {
protected:
    void SetUp() override {
        TagseekTest::SetUp();
        shell = std::make_shared<RecordingShell>();
        drawings = host::InProcessHost::create(shell);
        drawings->open(QDir(QStringLiteral(LAMINOR_SAMPLES_DIR)).filePath(QStringLiteral("floor-plan.dxf")));
        provider = std::make_shared<TestProvider>(drawings);
        host::setHostProvider(provider);
    }

    std::shared_ptr<RecordingShell> shell;
    std::shared_ptr<host::InProcessHost> drawings;
    std::shared_ptr<TestProvider> provider;
};

}  // namespace tagseek::testing
