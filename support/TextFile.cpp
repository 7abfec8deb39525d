#include "TextFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <iconv.h>

namespace support {

namespace {

// One iconv conversion descriptor for the duration of one conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can. Returns the number of input bytes consumed;
    // *failed is true when it stopped at an input sequence it cannot convert
    // (or that is cut off at the end).
    size_t convert(const QByteArray& in, size_t from, QByteArray* out, bool* failed) {
        char* inPtr = const_cast<char*>(in.constData()) + from;
        size_t inLeft = static_cast<size_t>(in.size()) - from;
        *failed = false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        char buffer[4096];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            out->append(buffer, static_cast<qsizetype>(outPtr - buffer));
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
                *failed = true;
                break;
            }
        }
        return static_cast<size_t>(in.size()) - from - inLeft;
    }

private:
    iconv_t cd_;
};

// 1-based line number of a position: counts CR LF, lone CR and lone LF.
template <typename Seq>
int lineAt(const Seq& text, qsizetype position) {
    int line = 1;
    for (qsizetype i = 0; i < position && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
        } else if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++line;
        }
    }
    return line;
}

constexpr const char* kCp932 = "CP932";

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<uchar>(c) >= 0x80) return false;
    return true;
}

QString describeCharacter(const QString& text) {
    const char32_t code = text.isEmpty() ? 0 : text.toUcs4().value(0);
    const QString hex = QStringLiteral("%1").arg(static_cast<uint>(code), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("「%1」(U+%2)").arg(text, hex);
}

}  // namespace

bool decodeCp932(const QByteArray& bytes, QString* text, QString* error) {
    Converter conv("UTF-8", kCp932);
    if (!conv.ok()) {
        if (error) *error = QStringLiteral("CP932 の変換が使えません。");
        return false;
    }
    QByteArray utf8;
    bool failed = false;
    const size_t used = conv.convert(bytes, 0, &utf8, &failed);
    if (failed) {
        if (error) {
            *error = QStringLiteral("%1 行目に CP932 として読めないバイト (0x%2) があります。")
                         .arg(lineAt(bytes, static_cast<qsizetype>(used)))
                         .arg(static_cast<uchar>(bytes[static_cast<qsizetype>(used)]), 2, 16, QLatin1Char('0'));
        }
        return false;
    }
    *text = QString::fromUtf8(utf8);
    return true;
}

QString decodeCp932Lenient(const QByteArray& bytes) {
    // Most lines of an INI file are plain ASCII, which CP932 leaves as it is.
    if (isAscii(bytes)) return QString::fromLatin1(bytes);
    thread_local Converter conv("UTF-8", kCp932);
    if (!conv.ok()) return QString::fromLatin1(bytes);
    QByteArray utf8;
    size_t from = 0;
    while (from < static_cast<size_t>(bytes.size())) {
        bool failed = false;
        from += conv.convert(bytes, from, &utf8, &failed);
        if (!failed) break;
        // Skip one byte only: the byte after a bad lead byte may be an
        // ordinary character (or a line break) of its own.
        utf8.append("\xEF\xBF\xBD");
        ++from;
    }
    return QString::fromUtf8(utf8);
}

bool encodeCp932(const QString& text, QByteArray* bytes, QString* error) {
    Converter conv(kCp932, "UTF-8");
    if (!conv.ok()) {
        if (error) *error = QStringLiteral("CP932 の変換が使えません。");
        return false;
    }
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    bool failed = false;
    const size_t used = conv.convert(utf8, 0, &out, &failed);
    if (failed) {
        if (error) {
            // Back from the UTF-8 offset to the character and its line.
            const QString before = QString::fromUtf8(utf8.constData(), static_cast<qsizetype>(used));
            const qsizetype at = before.size();
            const qsizetype width = (at + 1 < text.size() && text[at].isHighSurrogate()) ? 2 : 1;
            *error = QStringLiteral("%1 行目の文字%2は CP932 で表せません。")
                         .arg(lineAt(text, at))
                         .arg(describeCharacter(text.mid(at, width)));
        }
        return false;
    }
    *bytes = out;
    return true;
}

bool canEncodeCp932(const QString& text) {
    QByteArray ignored;
    return encodeCp932(text, &ignored, nullptr);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.append(text.mid(start));
    return lines;
}

QString toCrLf(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += QStringLiteral("\r\n");
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

QString joinCrLf(const QStringList& lines) {
    QString out;
    for (const QString& line : lines) {
        out += line;
        out += QStringLiteral("\r\n");
    }
    return out;
}

QString printableText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n') || (u >= 0x7F && u <= 0x9F))
            out += QStringLiteral("\\x") + QStringLiteral("%1").arg(static_cast<uint>(u), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

bool readTextFile(const QString& path, QString* text, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1 を開けません: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    QString decoded;
    QString why;
    if (!decodeCp932(bytes, &decoded, &why)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    *text = decoded;
    return true;
}

bool readTextLines(const QString& path, QStringList* lines, QString* error) {
    QString text;
    if (!readTextFile(path, &text, error)) return false;
    *lines = splitLines(text);
    return true;
}

bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = QStringLiteral("%1 に書き込めません: %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = QStringLiteral("%1 に書き込めません: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool writeTextFile(const QString& path, const QString& text, QString* error) {
    QByteArray bytes;
    QString why;
    if (!encodeCp932(text, &bytes, &why)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return writeBytesAtomically(path, bytes, error);
}

bool appendTextFile(const QString& path, const QString& text, QString* error) {
    QByteArray bytes;
    QString why;
    if (!encodeCp932(text, &bytes, &why)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error) *error = QStringLiteral("%1 に書き込めません: %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (error) *error = QStringLiteral("%1 に書き込めません: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace support
