#include "script/ScriptFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "host/SerialScript.h"
#include "support/ProgramFolder.h"
#include "support/TextFile.h"

namespace script {

namespace {

QString inProgramFolder(const char* name) { return QDir(support::programFolder()).filePath(QString::fromLatin1(name)); }

bool readBytes(const QString& path, QByteArray* bytes, QString* error) {
    bytes->clear();
    if (!QFileInfo::exists(path)) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1 を開けません: %2").arg(path, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    return true;
}

}  // namespace

QString headerScriptPath() { return inProgramFolder("Laminor_script_Header.scr"); }
QString footerScriptPath() { return inProgramFolder("Laminor_script_Footer.scr"); }

bool ensureHeaderAndFooter(QString* error) {
    for (const QString& path : {headerScriptPath(), footerScriptPath()}) {
        if (QFileInfo::exists(path)) continue;
        if (!support::writeBytesAtomically(path, QByteArray(), error)) return false;
    }
    return true;
}

QString readScriptText(const QString& path, QString* error) {
    QByteArray bytes;
    if (!readBytes(path, &bytes, error)) return QString();
    QString text;
    if (!support::decodeCp932(bytes, &text, error)) return support::decodeCp932Lenient(bytes);
    return text;
}

bool storeScriptText(const QString& path, const QString& text, QString* error) {
    QString stored = host::fun_sTrimLastCrLf(text);
    if (!stored.isEmpty()) stored += QStringLiteral("\r\n");
    return support::writeTextFile(path, stored, error);
}

bool writeFinalScript(const QString& headerPath, const QString& mergedPath, const QString& footerPath,
                      const QString& outPath, QString* error) {
    QByteArray all, part;
    for (const QString& path : {headerPath, mergedPath, footerPath}) {
        if (!readBytes(path, &part, error)) return false;
        all += part;
    }
    return support::writeBytesAtomically(outPath, all, error);
}

}  // namespace script
