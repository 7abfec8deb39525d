#pragma once
// Test drawings: copies of testdata/drawings in a
// temporary folder, so tests may change and save them.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifndef LAMINOR_SAMPLES_DIR
#define LAMINOR_SAMPLES_DIR ""
#endif

namespace testdrawings {

// Copies testdata/drawings/<name> into dir (under a new name when given) and returns its path.
inline QString copySample(const QTemporaryDir& dir, const QString& name, const QString& as = QString()) {
    const QString target = dir.filePath(as.isEmpty() ? name : as);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/") + name, target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return target;
}

inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace testdrawings
