#pragma once
// Settings in an INI file beside the program ("Laminor.ini", "Tagseek.ini"),
// with the semantics of the Windows profile functions the programs were
// written against:
//  - the file is CP932 text with CR LF, in [Section] / Key=Value lines;
//  - section and key names compare ignoring letter case, and the first
//    matching key of the first matching section wins;
//  - values come back trimmed of spaces and tabs (not of full-width spaces),
//    and a pair of matching quotes (" or ') around a value is removed;
//  - integer reads take leading blanks, an optional sign and the leading
//    decimal digits ("12px" is 12, "abc" is 0, "0x10" is 0); a missing key
//    or an empty value gives the default.
// Values are read whole, however long (no 254-byte cut).
//
// Reading and writing take one pass over the file's bytes. Writes change
// only the one line they concern (or add one line, or a section at the end)
// and keep every other byte of the file, then replace the file atomically. A read-only file is never written. A missing file is
// created empty; when it cannot be created the module behaves as with a
// read-only file and iniCreateFailed() tells the window to say so once.
#include <QString>
#include <QVariant>

namespace support {

// Resolves a bare file name to the full path in the program folder (a name
// starting with "/" or with "X:\" is kept), creates the file when missing
// and updates bIniWritable. An empty name changes nothing.
void SetINI(QString& sIniFileName);

// Reads a value: an int when Integeral is true, otherwise a QString (a null
// QString when nothing was read: empty value, or missing key and empty Default).
QVariant GetINI(QString sIniFileName, const QString& Section, const QString& Key,
                const QVariant& Default, bool Integeral);

// Writes Key=WriteString into Section. Returns 1 when written, 0 when not:
// the file is read-only or could not be created, a name is empty, a name or
// the value holds a line break (it would break the file's layout) or a
// character CP932 cannot hold, or the save failed.
int WriteINI(QString sIniFileName, const QString& Section, const QString& Key, const QVariant& WriteString);

// Whether WriteINI may write (false at start; each SetINI updates it).
bool bIniWritable();
// True when the last SetINI found the file missing and could not create it.
bool iniCreateFailed();
// The size of the file when the last SetINI refused it for being far larger
// than settings ever are (over 1 MiB): it is then neither read (reads give
// their defaults) nor written. 0 otherwise.
qint64 iniTooLargeSize();
// Why the last WriteINI wrote nothing (empty after a successful write).
QString iniLastError();
// Tests: both flags back to false.
void resetIniState();

}  // namespace support
