#pragma once
// The script files of mode 4 beside the program: the merged script
// "Laminor_script.scr" (the drawing blocks, then the final script), and the
// user's header and footer "Laminor_script_Header.scr" and
// "Laminor_script_Footer.scr", sent once before and after all blocks. All are
// CP932 text with CR LF; every whole-file write replaces the file atomically,
// so a crash never leaves a header or footer lost or half written.
#include <QString>

namespace script {

QString headerScriptPath();
QString footerScriptPath();

// Creates the header and footer files empty where they are missing. False
// with *error set when one cannot be created.
bool ensureHeaderAndFooter(QString* error);

// The text of a script file as a box shows it; empty for a missing or empty
// file. Bytes that are not CP932 are shown as U+FFFD and *error tells why.
QString readScriptText(const QString& path, QString* error = nullptr);

// Stores an edited box: without its trailing empty lines, then one CR LF
// unless it is empty. False with *error set when the text cannot be written
// (a character CP932 cannot hold, a full disk); the file is then as it was.
bool storeScriptText(const QString& path, const QString& text, QString* error);

// The final script: the header's bytes, the merged file's, the footer's,
// joined as they are, written over outPath. Missing files count as empty.
bool writeFinalScript(const QString& headerPath, const QString& mergedPath, const QString& footerPath,
                      const QString& outPath, QString* error);

}  // namespace script
