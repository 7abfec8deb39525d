#include "host/client/SocketIo.h"

#include <QFile>
#include <QThread>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace host::io {

namespace {

constexpr qsizetype kChunk = 64 * 1024;
constexpr int kClientSpinUs = 50;

// Waits for the socket to become readable or writable; false on timeout.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const qint64 left = deadline.remainingTime();  // -1: forever
        const int r = ::poll(&p, 1, left < 0 ? -1 : int(std::min<qint64>(left, 1 << 30)));
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return true;  // let the next read or write report it
    }
}

}  // namespace

int connectTo(const QString& path, int timeoutMs) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof(address.sun_path)) return -1;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // A host too busy to accept makes connect wait: not longer than the timeout.
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    int r;
    do {
        r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (r < 0 && errno == EINTR);
    timeval none{0, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof(none));
    if (r < 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void closeSocket(int fd) {
    if (fd >= 0) ::close(fd);
}

long peerUid(int fd) {
    ucred cred{};
    socklen_t size = sizeof(cred);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || size != sizeof(cred)) return -1;
    return long(cred.uid);
}

qsizetype writeSome(int fd, const char* data, qsizetype size) {
    qsizetype sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(fd, data + sent, size_t(size - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            return -1;
        }
    }
    return sent;
}

bool writeAll(int fd, const char* data, qsizetype size, const QDeadlineTimer& deadline) {
    qsizetype sent = 0;
    while (sent < size) {
        const qsizetype n = writeSome(fd, data + sent, size - sent);
        if (n < 0) return false;
        sent += n;
        if (sent < size && !waitFor(fd, POLLOUT, deadline)) return false;
    }
    return true;
}

ReadResult readAvailable(int fd, QByteArray& into) {
    const qsizetype start = into.size();
    // Read into a fixed buffer: the callers poll with this, often finding nothing.
    char chunk[kChunk];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof(chunk), MSG_DONTWAIT);
        if (n > 0) into.append(chunk, qsizetype(n));
        if (n == kChunk) continue;  // a full chunk may have more behind it
        if (n > 0) return ReadResult::kData;
        if (n < 0 && errno == EINTR) continue;
        const bool got = into.size() > start;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return got ? ReadResult::kData : ReadResult::kNothing;
        // Closed or broken: what came before is handed out first.
        return got ? ReadResult::kData : ReadResult::kClosed;
    }
}

ReadResult readSome(int fd, QByteArray& into, const QDeadlineTimer& deadline) {
    // A quick answer is met by polling for it a little while first: going to
    // sleep and being woken costs more than most requests take to answer.
    if (spinningPays()) {
        const QDeadlineTimer spin{std::chrono::microseconds(kClientSpinUs)};
        do {
            const ReadResult r = readAvailable(fd, into);
            if (r != ReadResult::kNothing) return r;
        } while (!spin.hasExpired());
    }
    if (!waitFor(fd, POLLIN, deadline)) return ReadResult::kNothing;
    return readAvailable(fd, into);
}

bool spinningPays() {
    // With one processor the peer cannot answer while we poll.
    static const bool pays = QThread::idealThreadCount() > 1;
    return pays;
}

}  // namespace host::io
