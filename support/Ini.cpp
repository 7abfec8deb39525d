#include "Ini.h"

#include "ProgramFolder.h"
#include "TextFile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace support {

namespace {

// Settings take a few kilobytes; a file far beyond that is not a settings
// file of ours (or one that grew without bounds) and is not read at all.
constexpr qint64 kMaxIniSize = 1024 * 1024;

struct IniState {
    bool writable = false;
    bool createFailed = false;
    qint64 tooLargeSize = 0;  // size of a file refused for its size, else 0
    QString lastError;
};

IniState& state() {
    static IniState s;
    return s;
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }
bool isBlankByte(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Trims the blanks the profile functions trim. Deliberately not
// QString::trimmed(): a full-width space (U+3000) belongs to the value.
QString trimBlanks(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin])) ++begin;
    while (end > begin && isBlank(s[end - 1])) --end;
    return s.mid(begin, end - begin);
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// What one pass over the file finds for one section and key. The file is
// walked as bytes, line by line (CR LF, lone LF, lone CR), and only the
// lines that can matter are decoded: section headers, and the key names of
// the sections asked for. Neither CR, LF, ";" nor "=" can be the second byte
// of a CP932 character, so they are found in the bytes; "]" can, so a
// header is decoded before its end is looked for. One pass, no copy of the
// lines: time and memory grow with the file's size and nothing else.
struct IniScan {
    // The first key of that name in a section of that name.
    qsizetype keyBegin = -1;  // its line, without the line break
    qsizetype keyEnd = -1;
    QString keyName;  // as the file spells it
    QString value;    // the text after the first "=", untrimmed
    // Where a new key goes: after the last key of the first section of that
    // name (or its header); -1 when there is no such section.
    qsizetype insertAt = -1;
    bool insertNeedsBreak = false;  // the line before it has no line break
};

IniScan scanIni(const QByteArray& bytes, const QString& section, const QString& key) {
    IniScan found;
    bool inSection = false;
    bool firstSectionDone = false;  // the first section of that name has ended
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\r' && data[end] != '\n') ++end;
        qsizetype next = end;
        if (next < size) next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;

        qsizetype p = start;
        while (p < end && isBlankByte(data[p])) ++p;
        if (p < end && data[p] == '[') {
            const QString text = trimBlanks(decodeCp932Lenient(QByteArray::fromRawData(data + start, end - start)));
            // The name runs to the last ']' ("[a]b]" is section "a]b"); a line
            // without one is not a section header.
            const qsizetype close = text.lastIndexOf(u']');
            if (close > 0) {
                if (inSection) firstSectionDone = true;
                inSection = sameName(trimBlanks(text.mid(1, close - 1)), section);
                if (inSection && !firstSectionDone && found.insertAt < 0) {
                    found.insertAt = next;
                    found.insertNeedsBreak = next == end;
                }
            }
        } else if (inSection && p < end && data[p] != ';') {
            qsizetype eq = p;
            while (eq < end && data[eq] != '=') ++eq;
            qsizetype nameEnd = eq;
            while (nameEnd > p && isBlankByte(data[nameEnd - 1])) --nameEnd;
            if (nameEnd > p) {
                if (!firstSectionDone) {
                    found.insertAt = next;
                    found.insertNeedsBreak = next == end;
                }
                if (found.keyBegin < 0) {
                    const QString name = trimBlanks(decodeCp932Lenient(QByteArray::fromRawData(data + p, nameEnd - p)));
                    if (!name.isEmpty() && sameName(name, key)) {
                        found.keyBegin = start;
                        found.keyEnd = end;
                        found.keyName = name;
                        if (eq < end)
                            found.value = decodeCp932Lenient(QByteArray::fromRawData(data + eq + 1, end - eq - 1));
                    }
                }
            }
        }
        start = next;
    }
    return found;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.read(kMaxIniSize + 1);
}

// The value as the profile read returns it: blanks trimmed, then one pair of
// matching surrounding quotes removed.
QString profileValue(const QString& stored) {
    QString value = trimBlanks(stored);
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

// Leading blanks, an optional sign, then decimal digits up to the first
// other character; no digits gives 0. Wraps like the 32-bit original.
int profileInt(const QString& value) {
    qsizetype i = 0;
    while (i < value.size() && isBlank(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) {
        negative = value[i] == u'-';
        ++i;
    }
    quint32 n = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i)
        n = n * 10u + static_cast<quint32>(value[i].unicode() - u'0');
    if (negative) n = 0u - n;
    return static_cast<int>(n);
}

// How a value turns into text: numbers in their plain form, Booleans as the
// programs' own "True" / "False", nothing as empty.
QString variantText(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

// Not writable: the user may not write it, or (for root, whom access()
// never refuses) it carries no write permission at all, the counterpart of
// the read-only attribute. A write also needs the folder, where the new
// file is made before it replaces the old one; without it every write would
// fail, so the file counts as read-only.
bool fileIsWritable(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), W_OK) != 0) return false;
    if (::access(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), W_OK | X_OK) != 0) return false;
    struct stat st {};
    if (::stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool isAbsoluteName(const QString& name) {
    return name.startsWith(u'/') || name.mid(1, 2) == QStringLiteral(":\\");
}

bool hasLineBreak(const QString& s) { return s.contains(u'\r') || s.contains(u'\n'); }

int failWrite(const QString& why) {
    state().lastError = why;
    return 0;
}

}  // namespace

void SetINI(QString& sIniFileName) {
    if (sIniFileName.isEmpty()) return;
    // The separator is added even when the folder already ends with one, as
    // the original did; a doubled "/" names the same file.
    if (!isAbsoluteName(sIniFileName)) sIniFileName = programFolder() + u'/' + sIniFileName;

    IniState& s = state();
    s.createFailed = false;
    s.tooLargeSize = 0;
    const QFileInfo info(sIniFileName);
    if (info.exists()) {
        if (info.size() > kMaxIniSize) {
            // Read as if empty and never written: its contents stay as they are.
            s.tooLargeSize = info.size();
            s.writable = false;
            return;
        }
        s.writable = fileIsWritable(sIniFileName);
        return;
    }
    // Every local file system counts as a fixed disk, so a new file is writable.
    QFile file(sIniFileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        s.writable = true;
    } else {
        // No permission, no folder, read-only medium: reads give their
        // defaults and writes are skipped, as with a read-only file.
        s.writable = false;
        s.createFailed = true;
    }
}

QVariant GetINI(QString sIniFileName, const QString& Section, const QString& Key, const QVariant& Default,
                bool Integeral) {
    SetINI(sIniFileName);
    const QByteArray bytes = state().tooLargeSize > 0 ? QByteArray() : readBytes(sIniFileName);
    const IniScan found = scanIni(bytes, trimBlanks(Section), trimBlanks(Key));
    const bool at = found.keyBegin >= 0;
    const QString value = at ? profileValue(found.value) : QString();

    if (Integeral) {
        if (value.isEmpty()) return QVariant(Default.toInt());
        return QVariant(profileInt(value));
    }
    const QString text = trimBlanks(!at ? variantText(Default) : value);
    if (text.isEmpty()) return QVariant(QString());
    return QVariant(text);
}

int WriteINI(QString sIniFileName, const QString& Section, const QString& Key, const QVariant& WriteString) {
    SetINI(sIniFileName);
    IniState& s = state();
    s.lastError.clear();
    if (!s.writable) return failWrite(QStringLiteral("%1 には書き込めません。").arg(sIniFileName));

    const QString section = trimBlanks(Section);
    const QString key = trimBlanks(Key);
    QString value = variantText(WriteString);
    if (section.isEmpty() || key.isEmpty()) return failWrite(QStringLiteral("セクション名またはキー名が空です。"));
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value) || key.contains(u'='))
        return failWrite(QStringLiteral("[%1] %2 の値に改行などINIに書けない文字があります。").arg(section, key));
    // A value wrapped in matching quotes would lose them when read back;
    // one more pair keeps it whole.
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.front() + value + value.back();

    const QByteArray original = readBytes(sIniFileName);
    if (original.size() > kMaxIniSize) return failWrite(QStringLiteral("%1 が大きすぎます。").arg(sIniFileName));
    const IniScan found = scanIni(original, section, key);
    const QByteArray crlf("\r\n");
    auto encodeLine = [&](const QString& text, QByteArray* out) {
        QString why;
        if (encodeCp932(text, out, &why)) return true;
        s.lastError = QStringLiteral("[%1] %2: %3").arg(section, key, why);
        return false;
    };

    // Only the one line changes (or one is added); every other byte of the
    // file, comments and odd lines included, is written back as it was.
    QByteArray result;
    result.reserve(original.size() + 64);
    if (found.keyBegin >= 0) {
        // Replace the line in place, keeping the stored spelling of the key
        // and the line's own line break.
        QByteArray line;
        if (!encodeLine(found.keyName + u'=' + value, &line)) return 0;
        result = original.left(found.keyBegin) + line + original.mid(found.keyEnd);
    } else {
        // Add the key after the last key of the first section of that name,
        // or add the section at the end of the file.
        QByteArray added;
        qsizetype at = found.insertAt;
        bool needsBreak = found.insertNeedsBreak;
        if (at < 0) {
            QByteArray header;
            if (!encodeLine(u'[' + section + u']', &header)) return 0;
            added = header + crlf;
            at = original.size();
            needsBreak = !original.isEmpty() && !original.endsWith('\r') && !original.endsWith('\n');
        }
        QByteArray line;
        if (!encodeLine(key + u'=' + value, &line)) return 0;
        added += line + crlf;
        result = original.left(at) + (needsBreak ? crlf : QByteArray()) + added + original.mid(at);
    }
    if (result == original) return 1;  // nothing changes: no need to touch the file
    QString why;
    if (!writeBytesAtomically(sIniFileName, result, &why)) return failWrite(why);
    return 1;
}

bool bIniWritable() { return state().writable; }

bool iniCreateFailed() { return state().createFailed; }

qint64 iniTooLargeSize() { return state().tooLargeSize; }

QString iniLastError() { return state().lastError; }

void resetIniState() { state() = IniState{}; }

}  // namespace support
