#include "Ini.h"

#include "ProgramFolder.h"
#include "TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <sys/stat.h>
#include <unistd.h>

namespace support {

namespace {

struct IniState {
    bool writable = false;
    bool createFailed = false;
    QString lastError;
};

IniState& state() {
    static IniState s;
    return s;
}

// One line of the file. The raw bytes (line break included) are what is
// written back for every line a write does not concern, so comments, odd
// lines, line ends and bytes that are not valid CP932 survive untouched.
struct Line {
    enum Kind { Other, Section, Key };
    QByteArray raw;
    QByteArray lineBreak;  // "\r\n", "\n", "\r" or empty on a last line without one
    Kind kind = Other;
    QString name;          // section or key name, trimmed
    QString value;         // text after the first '=' (untrimmed)
};

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }

// Trims the blanks the profile functions trim. Deliberately not
// QString::trimmed(): a full-width space (U+3000) belongs to the value.
QString trimBlanks(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin])) ++begin;
    while (end > begin && isBlank(s[end - 1])) --end;
    return s.mid(begin, end - begin);
}

Line parseLine(const QByteArray& raw, const QByteArray& lineBreak) {
    Line line;
    line.raw = raw;
    line.lineBreak = lineBreak;
    const QString text = trimBlanks(decodeCp932Lenient(raw.left(raw.size() - lineBreak.size())));
    if (text.isEmpty() || text.startsWith(u';')) return line;
    if (text.startsWith(u'[')) {
        // The name runs to the last ']' ("[a]b]" is section "a]b"); a line
        // without one is not a section header.
        const qsizetype close = text.lastIndexOf(u']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = trimBlanks(text.mid(1, close - 1));
        }
        return line;
    }
    const qsizetype eq = text.indexOf(u'=');
    line.name = trimBlanks(eq < 0 ? text : text.left(eq));
    if (line.name.isEmpty()) return line;
    line.kind = Line::Key;
    if (eq >= 0) line.value = text.mid(eq + 1);
    return line;
}

// Splits at CR LF, lone LF and lone CR. Neither byte can be the second byte
// of a CP932 double-byte character, so splitting the raw bytes is safe.
QList<Line> parseFile(const QByteArray& bytes) {
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        qsizetype end = i + 1;
        if (c == '\r' && end < bytes.size() && bytes[end] == '\n') ++end;
        lines.append(parseLine(bytes.mid(start, end - start), bytes.mid(i, end - i)));
        start = end;
        i = end - 1;
    }
    if (start < bytes.size()) lines.append(parseLine(bytes.mid(start), QByteArray()));
    return lines;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Index of the first key line named key in a section named section, or -1.
// Sections of the same name are searched in file order.
qsizetype findKey(const QList<Line>& lines, const QString& section, const QString& key) {
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Section) {
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == Line::Key && sameName(line.name, key)) {
            return i;
        }
    }
    return -1;
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
    if (QFileInfo::exists(sIniFileName)) {
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
    const QList<Line> lines = parseFile(readBytes(sIniFileName));
    const qsizetype at = findKey(lines, trimBlanks(Section), trimBlanks(Key));
    const QString value = at < 0 ? QString() : profileValue(lines[at].value);

    if (Integeral) {
        if (value.isEmpty()) return QVariant(Default.toInt());
        return QVariant(profileInt(value));
    }
    const QString text = trimBlanks(at < 0 ? variantText(Default) : value);
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
    QList<Line> lines = parseFile(original);
    const QByteArray crlf("\r\n");
    auto encodeLine = [&](const QString& text, QByteArray* out) {
        QString why;
        if (encodeCp932(text, out, &why)) return true;
        s.lastError = QStringLiteral("[%1] %2: %3").arg(section, key, why);
        return false;
    };

    const qsizetype at = findKey(lines, section, key);
    if (at >= 0) {
        // Replace the line in place, keeping the stored spelling of the key
        // and the line's own line break.
        QByteArray bytes;
        if (!encodeLine(lines[at].name + u'=' + value, &bytes)) return 0;
        lines[at].raw = bytes + lines[at].lineBreak;
    } else {
        // Add the key after the last key of the first section of that name,
        // or add the section at the end of the file.
        qsizetype after = -1;
        bool inSection = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].kind == Line::Section) {
                if (after >= 0 && inSection) break;
                inSection = sameName(lines[i].name, section);
                if (inSection) after = i;
            } else if (inSection && lines[i].kind == Line::Key) {
                after = i;
            }
        }
        QByteArray added;
        if (after < 0) {
            QByteArray header;
            if (!encodeLine(u'[' + section + u']', &header)) return 0;
            added = header + crlf;
            after = lines.size() - 1;
        }
        QByteArray bytes;
        if (!encodeLine(key + u'=' + value, &bytes)) return 0;
        added += bytes + crlf;
        if (after >= 0 && lines[after].lineBreak.isEmpty()) {
            lines[after].raw += crlf;
            lines[after].lineBreak = crlf;
        }
        Line line;
        line.raw = added;
        lines.insert(after + 1, line);
    }

    QByteArray result;
    result.reserve(original.size() + 64);
    for (const Line& line : lines) result += line.raw;
    if (result == original) return 1;  // nothing changes: no need to touch the file
    QString why;
    if (!writeBytesAtomically(sIniFileName, result, &why)) return failWrite(why);
    return 1;
}

bool bIniWritable() { return state().writable; }

bool iniCreateFailed() { return state().createFailed; }

QString iniLastError() { return state().lastError; }

void resetIniState() { state() = IniState{}; }

}  // namespace support
