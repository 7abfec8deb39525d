#pragma once
// Text files of the system (scripts, rule CSV files, INI files) are CP932
// (Windows-31J) with CR LF line ends. This is the one place that converts
// them: decoding, encoding, line splitting, atomic whole-file writes and the
// append used for the merged script.
//
// A character that CP932 cannot hold is an error (naming the character and
// its line) that the caller reports; it is never written as '?'.
//
// The conversion is glibc's "CP932". It also takes the JIS forms that Linux
// input methods type for characters Windows spells differently (wave dash
// U+301C, minus U+2212, double bar U+2016, dash U+2014, U+00A2, U+00AC) and
// writes them as the CP932 character a Windows user sees for them; reading
// gives the Windows form (U+FF5E, U+FF0D, ...). Yen U+00A5 and overline
// U+203E are written as 0x5C and 0x7E, the bytes that show as them on
// Japanese Windows, and read back as "\" and "~".
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace support {

// Decodes CP932 bytes. A byte sequence that is not CP932 is an error naming
// its line; *text is left untouched then.
bool decodeCp932(const QByteArray& bytes, QString* text, QString* error);
// Decodes CP932 bytes, turning each undecodable byte into U+FFFD. For
// readers that only look for their own lines (the INI reader).
QString decodeCp932Lenient(const QByteArray& bytes);

// Encodes text as CP932. A character CP932 cannot hold is an error naming
// the character and its line (1-based); *bytes is left untouched then.
bool encodeCp932(const QString& text, QByteArray* bytes, QString* error);
bool canEncodeCp932(const QString& text);

// Splits at CR LF, lone CR and lone LF. A line break at the very end does
// not start another (empty) line; an empty text has no lines.
QStringList splitLines(const QString& text);
// Every line break (CR LF, lone CR, lone LF) written as CR LF.
QString toCrLf(const QString& text);
// Each line followed by CR LF.
QString joinCrLf(const QStringList& lines);

// The text with its control characters (C0 but tab and line feed, DEL, C1)
// written as \xNN: for a terminal, which would act on them.
QString printableText(const QString& text);

// Reads a whole CP932 file.
bool readTextFile(const QString& path, QString* text, QString* error);
bool readTextLines(const QString& path, QStringList* lines, QString* error);

// Replaces the file with the CP932 form of text, atomically: a new file is
// written beside it and renamed over it, so a failure (an unencodable
// character, a full disk, a crash) leaves the old file as it was. The text
// is written as given; use toCrLf or joinCrLf for the line ends.
bool writeTextFile(const QString& path, const QString& text, QString* error);
// Appends the CP932 form of text, creating the file when missing. The whole
// text is encoded before the file is touched, so an unencodable character
// appends nothing.
bool appendTextFile(const QString& path, const QString& text, QString* error);

// Replaces a file with the given bytes atomically (see writeTextFile).
bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error);

}  // namespace support
