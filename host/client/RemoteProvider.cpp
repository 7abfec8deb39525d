#include "host/client/RemoteProvider.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "host/client/RemoteHost.h"
#include "host/client/RemoteProtocol.h"
#include "support/ProgramFolder.h"

namespace host {

RemoteHostProvider::RemoteHostProvider(QString program, QString socketPath, int startTimeoutMs)
    : program_(std::move(program)), socketPath_(std::move(socketPath)), startTimeoutMs_(startTimeoutMs) {}

ApplicationPtr RemoteHostProvider::getRunning() {
    return connectRemoteHost(socketPath_.isEmpty() ? wire::socketPath() : socketPath_);
}

ApplicationPtr RemoteHostProvider::create() {
    const QString program =
        program_.isEmpty() ? QDir(support::programFolder()).filePath(QStringLiteral("drawhost")) : program_;
    const QString path = socketPath_.isEmpty() ? wire::socketPath() : socketPath_;
    // A folder someone else prepared is refused at once, not after waiting
    // for a host that will refuse it too.
    QString why;
    if (QFileInfo::exists(QFileInfo(path).absolutePath()) && !wire::socketFolderIsSafe(path, &why))
        throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object (%1)").arg(why));
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("--socket"), path});
    // The host outlives this program: it must not hold this program's
    // terminal or pipes open (a pipeline reading our output would never end).
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached(&lastPid_))
        throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object"));
    // The new host answers once its window and socket are up; until then
    // connecting fails quickly and is retried.
    QDeadlineTimer deadline(startTimeoutMs_);
    while (!deadline.hasExpired()) {
        try {
            return connectRemoteHost(path, 250);
        } catch (const HostError&) {
            QThread::msleep(10);
        }
    }
    throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object"));
}

void installRemoteHostProvider() { setHostProvider(std::make_shared<RemoteHostProvider>()); }

}  // namespace host
