#include "host/client/RemoteProtocol.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <sys/stat.h>
#include <unistd.h>

namespace host::wire {

QByteArray encodeFrame(const QCborValue& message) {
    const QByteArray body = message.toCbor();
    QByteArray frame(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), frame.data());
    frame.append(body);
    return frame;
}

std::optional<QCborValue> FrameReader::next() {
    const qsizetype available = buffer_.size() - consumed_;
    if (available < 4) {
        compact();
        return std::nullopt;
    }
    const char* at = buffer_.constData() + consumed_;
    const quint32 length = qFromBigEndian<quint32>(at);
    if (length > kMaxFrame) throw HostError(errc::kDisconnected, QStringLiteral("Oversized message from peer"));
    if (static_cast<quint32>(available) < 4 + length) {
        compact();
        return std::nullopt;
    }
    QCborParserError error;
    QCborValue value = QCborValue::fromCbor(at + 4, qsizetype(length), &error);
    consumed_ += 4 + qsizetype(length);
    if (error.error != QCborError::NoError)
        throw HostError(errc::kDisconnected, QStringLiteral("Malformed message from peer"));
    return value;
}

// Drops the messages already handed out (once per batch, not once per message).
void FrameReader::compact() {
    if (consumed_ == 0) return;
    buffer_.remove(0, consumed_);
    consumed_ = 0;
}

QCborValue objectRef(qint64 id) { return QCborValue(QCborTag(kObjectTag), QCborValue(id)); }

std::optional<qint64> objectId(const QCborValue& value) {
    if (!value.isTag() || value.tag() != QCborTag(kObjectTag) || !value.taggedValue().isInteger()) return std::nullopt;
    return value.taggedValue().toInteger();
}

QCborValue fromPoint(const Point3& p) { return QCborArray{p.x, p.y, p.z}; }

Point3 toPoint(const QCborValue& value) {
    const QCborArray a = value.toArray();
    if (a.size() != 3) throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    return {a[0].toDouble(), a[1].toDouble(), a[2].toDouble()};
}

QString socketPath() {
    const QByteArray explicitPath = qgetenv("DRAWHOST_SOCKET");
    if (!explicitPath.isEmpty()) return QString::fromLocal8Bit(explicitPath);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/drawhost.sock");
    return QStringLiteral("/tmp/drawhost-%1/drawhost.sock").arg(::getuid());
}

bool prepareSocketFolder(const QString& path, QString* reason) {
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray native = QFile::encodeName(folder);
    if (!QDir().mkpath(folder)) {
        if (reason) *reason = QStringLiteral("cannot create %1").arg(folder);
        return false;
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (reason) *reason = QStringLiteral("%1 is not a folder").arg(folder);
        return false;
    }
    if (st.st_uid != ::getuid()) {
        if (reason) *reason = QStringLiteral("%1 belongs to another user").arg(folder);
        return false;
    }
    // A folder we created for the socket alone is closed to others; a shared
    // runtime folder ($XDG_RUNTIME_DIR) is already private and left as it is.
    if ((st.st_mode & 077) != 0 && folder.startsWith(QStringLiteral("/tmp/drawhost-")))
        ::chmod(native.constData(), 0700);
    return true;
}

bool socketFolderIsSafe(const QString& path, QString* reason) {
    const QString folder = QFileInfo(path).absolutePath();
    auto refuse = [&](const QString& why) {
        if (reason) *reason = why;
        return false;
    };
    struct stat st {};
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0) return refuse(QStringLiteral("%1 does not exist").arg(folder));
    if (!S_ISDIR(st.st_mode)) return refuse(QStringLiteral("%1 is not a folder").arg(folder));
    const uid_t me = ::geteuid();
    if (st.st_uid != me && st.st_uid != 0) return refuse(QStringLiteral("%1 belongs to another user").arg(folder));
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
        return refuse(QStringLiteral("%1 can be written by other users").arg(folder));
    if (QFileInfo(folder).fileName().startsWith(QStringLiteral("drawhost-")) && folder.startsWith(QStringLiteral("/tmp/")) &&
        (st.st_uid != me || (st.st_mode & 077) != 0))
        return refuse(QStringLiteral("%1 is not a private folder of this user").arg(folder));
    return true;
}

}  // namespace host::wire
