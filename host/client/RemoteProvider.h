#pragma once
// The product's way to obtain the host: the drawhost answering on this user's
// socket, or a new drawhost started from the program folder.
#include <QString>

#include "host/HostConnection.h"

namespace host {

class RemoteHostProvider : public HostProvider {
public:
    // program: the drawhost executable to start (programFolder()/drawhost when
    // empty); socketPath: where it answers (wire::socketPath() when empty).
    explicit RemoteHostProvider(QString program = QString(), QString socketPath = QString(), int startTimeoutMs = 8000);
    ApplicationPtr getRunning() override;
    ApplicationPtr create() override;
    // The process id of the drawhost the last create() started (0 before).
    qint64 lastStartedPid() const { return lastPid_; }

private:
    qint64 lastPid_ = 0;
    QString program_;
    QString socketPath_;
    int startTimeoutMs_;
};

// Installs RemoteHostProvider as the provider of fun_bFindOrStartHost and friends.
void installRemoteHostProvider();

}  // namespace host
