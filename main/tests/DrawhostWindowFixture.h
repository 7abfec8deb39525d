#pragma once
// A window test whose runs start a real drawhost (DRAWHOST_EXE) answering on
// the test's own socket; the drawhost a test started is killed afterwards.
#include <QByteArray>
#include <csignal>
#include <memory>

#include "WindowFixture.h"
#include "host/client/RemoteProvider.h"

namespace mainwin::testing {

class DrawhostWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        qputenv("DRAWHOST_SOCKET", folder.filePath(QStringLiteral("drawhost.sock")).toLocal8Bit());
        provider = std::make_shared<host::RemoteHostProvider>(QStringLiteral(DRAWHOST_EXE));
        host::setHostProvider(provider);
    }
    void TearDown() override {
        window.reset();
        if (provider->lastStartedPid() > 0) ::kill(pid_t(provider->lastStartedPid()), SIGKILL);
        qunsetenv("DRAWHOST_SOCKET");
        WindowTest::TearDown();
    }
    std::shared_ptr<host::RemoteHostProvider> provider;
};

}  // namespace mainwin::testing
