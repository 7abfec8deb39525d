#pragma once
// The wire format between drawhost and its automation clients.
//
// Every message is one frame: a 4-byte big-endian length, then that many bytes
// of CBOR. A request is a map {"i": request number, "o": object id, "m": member,
// "a": [arguments], "r": [object ids the client has let go]}. A reply is a map
// {"i": request number, "v": value, "g0"/"g": the host's change counter before
// and after the call} or, for a failing member, {"i", "e": error number,
// "d": description}. Object 0 is the application; other objects are handed out
// as values tagged kObjectTag and live in the connection's table until the
// client releases them or disconnects.
#include <QByteArray>
#include <QCborValue>
#include <QString>
#include <optional>

#include "host/HostApi.h"

namespace host::wire {

constexpr quint64 kObjectTag = 40001;
// A frame larger than this is a broken or hostile peer, not a real message.
constexpr quint32 kMaxFrame = 256u * 1024u * 1024u;

QByteArray encodeFrame(const QCborValue& message);

// Collects bytes as they arrive and hands out complete messages.
class FrameReader {
public:
    void append(const QByteArray& bytes) { buffer_.append(bytes); }
    // The next complete message, if any. Throws HostError on a malformed stream.
    std::optional<QCborValue> next();

private:
    void compact();
    QByteArray buffer_;
    qsizetype consumed_ = 0;
};

QCborValue objectRef(qint64 id);
std::optional<qint64> objectId(const QCborValue& value);

QCborValue fromPoint(const Point3& p);
Point3 toPoint(const QCborValue& value);

// The socket of this user's drawhost: $DRAWHOST_SOCKET when set, else
// drawhost.sock in $XDG_RUNTIME_DIR, else in a private /tmp/drawhost-<uid> folder.
QString socketPath();
// Makes sure the socket's folder exists and only its user can enter it.
// Returns false (with a reason) when the folder belongs to someone else.
bool prepareSocketFolder(const QString& path, QString* reason);

// Whether a client may trust the socket's folder: a real folder (not a link)
// of this user or of root, that no other user can write in (unless only
// the owner of a name may replace it, as in /tmp); drawhost's own
// /tmp/drawhost-<uid> folder must be this user's and closed to others.
// Another local user could otherwise put a socket there and receive the
// client's drawings. False with a reason otherwise.
bool socketFolderIsSafe(const QString& path, QString* reason);

}  // namespace host::wire
