#pragma once
// Plain non-blocking I/O on a local (Unix domain) stream socket, for the
// automation link. Each request and answer costs a write, a wait and a read
// and nothing more: no event-loop wake-ups, no queued notifications.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

namespace host::io {

// A connected, non-blocking socket, or -1 when nobody answers at the path
// (or accepts the connection within the timeout).
int connectTo(const QString& path, int timeoutMs);
void closeSocket(int fd);

// The user id of the process at the other end of a connected local socket
// (SO_PEERCRED), or -1 when it cannot be told.
long peerUid(int fd);

// Sends every byte before the deadline; false when the peer is gone or the
// deadline passes first.
bool writeAll(int fd, const char* data, qsizetype size, const QDeadlineTimer& deadline);

// Sends what the socket takes now: the number of bytes sent, or -1 when the
// peer is gone.
qsizetype writeSome(int fd, const char* data, qsizetype size);

enum class ReadResult { kData, kNothing, kClosed };
// Appends to `into` what has arrived, without waiting; kClosed when the peer
// is gone and nothing came before that.
ReadResult readAvailable(int fd, QByteArray& into);
// Appends to `into` what has arrived, waiting for it until the deadline
// (kNothing when none came); kClosed when the peer is gone. A short wait is
// spent polling rather than sleeping (see spinningPays).

ReadResult readSome(int fd, QByteArray& into, const QDeadlineTimer& deadline);

// Whether waiting a few microseconds by polling beats sleeping until woken:
// true when the peer can run on another processor meanwhile.
bool spinningPays();

}  // namespace host::io
