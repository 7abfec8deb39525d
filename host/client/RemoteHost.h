#pragma once
// The host interface over drawhost's automation socket. Calls block until the
// host answers; a host that dies or stops answering makes the call fail with
// errc::kDisconnected instead of hanging.
#include <QString>

#include "host/HostApi.h"

namespace host {

// Connects to the drawhost answering on the socket path (wire::socketPath()
// when empty). Throws HostError(errc::kNotRunning) when nobody answers in time.
ApplicationPtr connectRemoteHost(const QString& socketPath = QString(), int connectTimeoutMs = 1000);

// The longest a single call waits for its answer (default 60 s): opening or
// saving a large drawing takes seconds, a host that has stopped answering
// must not hold the caller forever.
void setRemoteCallTimeout(int milliseconds);

// Round trips made by this process so far (for measurements and tests of batching).
quint64 remoteRoundTrips();

}  // namespace host
