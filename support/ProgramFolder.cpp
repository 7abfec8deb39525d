#include "ProgramFolder.h"

#include <QCoreApplication>

namespace support {

namespace {
QString& overrideSlot() {
    static QString folder;
    return folder;
}
}  // namespace

QString programFolder() {
    if (!overrideSlot().isEmpty()) return overrideSlot();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& path) { overrideSlot() = path; }

}  // namespace support
