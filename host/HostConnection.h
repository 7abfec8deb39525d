#pragma once
// Obtaining the drawing host: the running one, or a new one started for the
// caller. Each command obtains the application for its own duration and
// releases it; the host is never closed by the system.
#include <memory>

#include "HostApi.h"
#include "support/StatusLabel.h"

namespace host {

// Where applications come from: drawhost over its socket in the product, the
// in-process engine in a headless run or a test.
class HostProvider {
public:
    virtual ~HostProvider() = default;
    // The running host; throws HostError when none runs.
    virtual ApplicationPtr getRunning() = 0;
    // Starts a new host and returns it once it answers; throws HostError when it cannot.
    virtual ApplicationPtr create() = 0;
};

// Installs the provider used by the functions below (shared; nullptr removes it,
// after which no host is found).
void setHostProvider(std::shared_ptr<HostProvider> provider);
std::shared_ptr<HostProvider> hostProvider();

// The running host, or a newly started visible one; the status label tells which.
bool fun_bFindOrStartHost(ApplicationPtr& app, support::StatusLabel& lblStatus);
// The same without status texts.
bool fun_bGetHost(ApplicationPtr& app);
// The running host only; never starts one. Returns the found flag.
bool fun_bGetRunningHost(ApplicationPtr& app, bool& found);

}  // namespace host
