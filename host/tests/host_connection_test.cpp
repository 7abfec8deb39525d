// Finding and starting the host through the provider, and the error-skipping helper.
#include <gtest/gtest.h>

#include "host/HostConnection.h"
#include "host/SkipError.h"

namespace {

using namespace host;

class StubApp : public Application {
public:
    bool visibleFlag = false;
    bool visible() override { return visibleFlag; }
    void setVisible(bool on) override { visibleFlag = on; }
    int windowState() override { return kWindowNormal; }
    void setWindowState(int) override {}
    QString caption() override { return QStringLiteral("drawhost"); }
    DocumentPtr activeDocument() override { throw HostError(errc::kNoDocument, "no document"); }
    DocumentsPtr documents() override { return nullptr; }
    void update() override {}
    void zoomWindow(const Point3&, const Point3&) override {}
    void zoomScaled(double, int) override {}
    void activateWindow() override {}
    void sendKeys(const QString&) override {}
};

class StubProvider : public HostProvider {
public:
    bool running = false;
    bool canStart = true;
    int created = 0;
    ApplicationPtr getRunning() override {
        if (!running) throw HostError(errc::kNotRunning, "not running");
        return std::make_shared<StubApp>();
    }
    ApplicationPtr create() override {
        if (!canStart) throw HostError(errc::kNotRunning, "cannot start");
        ++created;
        return std::make_shared<StubApp>();
    }
};

struct HostConnectionTest : ::testing::Test {
    std::shared_ptr<StubProvider> provider = std::make_shared<StubProvider>();
    support::PlainStatusLabel label;
    void SetUp() override { setHostProvider(provider); }
    void TearDown() override { setHostProvider(nullptr); }
};

TEST_F(HostConnectionTest, RunningHostIsUsedAndLabelSaysSearching) {
    provider->running = true;
    ApplicationPtr app;
    EXPECT_TRUE(fun_bFindOrStartHost(app, label));
    ASSERT_TRUE(app);
    EXPECT_EQ(provider->created, 0);
    EXPECT_EQ(label.caption(), QStringLiteral("ただいまAutoCADを探しています...  "));
}

TEST_F(HostConnectionTest, NoRunningHostStartsAVisibleOne) {
    ApplicationPtr app;
    EXPECT_TRUE(fun_bFindOrStartHost(app, label));
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->visible());
    EXPECT_EQ(provider->created, 1);
    EXPECT_EQ(label.caption(), QStringLiteral("ただいまAutoCADを起動中...  "));
}

TEST_F(HostConnectionTest, NoHostAtAllFails) {
    provider->canStart = false;
    ApplicationPtr app;
    EXPECT_FALSE(fun_bFindOrStartHost(app, label));
    EXPECT_FALSE(app);
    EXPECT_FALSE(fun_bGetHost(app));
}

TEST_F(HostConnectionTest, RunningLookupNeverStartsAHost) {
    ApplicationPtr app;
    bool found = true;
    EXPECT_FALSE(fun_bGetRunningHost(app, found));
    EXPECT_FALSE(found);
    EXPECT_EQ(provider->created, 0);
}

TEST(SkipError, SwallowsOnlyHostErrors) {
    EXPECT_FALSE(skipError([] { throw HostError(5, "refused"); }));
    EXPECT_TRUE(skipError([] {}));
    EXPECT_THROW(skipError([] { throw std::logic_error("bug"); }), std::logic_error);
    EXPECT_FALSE(skipErrorValue([]() -> int { throw HostError(5, "x"); }).has_value());
    EXPECT_EQ(skipErrorValue([] { return 7; }).value(), 7);
}

}  // namespace
