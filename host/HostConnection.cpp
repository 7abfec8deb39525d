#include "HostConnection.h"

namespace host {

namespace {
std::shared_ptr<HostProvider>& providerSlot() {
    static std::shared_ptr<HostProvider> provider;
    return provider;
}

ApplicationPtr runningHost() {
    auto provider = providerSlot();
    if (!provider) throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object"));
    return provider->getRunning();
}

ApplicationPtr startedHost() {
    auto provider = providerSlot();
    if (!provider) throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object"));
    ApplicationPtr app = provider->create();
    app->setVisible(true);
    return app;
}

// Every step runs with its errors ignored: a host that cannot be reached, or
// that goes away while it is being reached, is no host.
template <class F>
ApplicationPtr reached(F&& f) {
    try {
        return f();
    } catch (const HostError&) {
        return nullptr;
    }
}

// Steps shared by the two finders: the running host, else a new visible one.
bool findOrStart(ApplicationPtr& app, support::StatusLabel* lblStatus) {
    app.reset();
    if (ApplicationPtr running = reached([] { return runningHost(); })) {
        app = running;
        return true;
    }
    if (lblStatus) lblStatus->setCaption(QStringLiteral("ただいまAutoCADを起動中...  "));
    if (ApplicationPtr started = reached([] { return startedHost(); })) {
        app = started;
        return true;
    }
    return false;
}
}  // namespace

void setHostProvider(std::shared_ptr<HostProvider> provider) { providerSlot() = std::move(provider); }

std::shared_ptr<HostProvider> hostProvider() { return providerSlot(); }

bool fun_bFindOrStartHost(ApplicationPtr& app, support::StatusLabel& lblStatus) {
    lblStatus.setCaption(QStringLiteral("ただいまAutoCADを探しています...  "));
    return findOrStart(app, &lblStatus);
}

bool fun_bGetHost(ApplicationPtr& app) { return findOrStart(app, nullptr); }

bool fun_bGetRunningHost(ApplicationPtr& app, bool& found) {
    app = reached([] { return runningHost(); });
    found = app != nullptr;
    return found;
}

}  // namespace host
