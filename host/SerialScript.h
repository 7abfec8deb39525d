#pragma once
// Serial script generation (mode 4) for one drawing: the user's base script is
// expanded into one block of host commands that opens the drawing, zooms,
// runs the body and closes the drawing.
//
// The body is the base file's lines (split at CR LF only) without the lines
// that start with ';'. Simple keywords (folder path, file name, printer, paper)
// are replaced once; a layer-name or layout-name keyword repeats the whole body
// for every qualifying layer or layout, the name inserted between double
// quotes; the user's keyword list is applied last. Blocks and script files are
// CP932 text with CR LF line ends.
#include <QString>

#include "host/HostApi.h"
#include "support/ListTable.h"

namespace host {

// One repeating keyword with its filter: names that match the pattern (or,
// with include false, that do not) qualify; whole asks for a match of the whole
// name. An empty pattern lets every name through.
struct RepeatKeyword {
    QString keyword;
    QString filter;
    bool include = true;
    bool whole = true;
};

// Everything fun_bMakeDWGScript replaces besides the drawing itself.
struct ScriptKeywords {
    QString sKeywordPath;
    QString sPathValue;  // the drawing's folder, no trailing separator (except a root)
    QString sKeywordFileName;
    QString sFileNameValue;  // the file name less its last four characters
    RepeatKeyword layer;
    RepeatKeyword layout;
    QString sKeywordPtinter;
    QString sReplacePrinter;
    QString sKeywordPaperSize;
    QString sReplacePrinterSize;
    bool bSave = false;  // "close" is answered "n" (save) rather than "y" (discard)
    // User keywords, (0..n-1, 0..1): search text, replacement; none when the list is empty.
    support::OptionalListTable vKeyword;
};

// Builds the block of one drawing into sScript. True when a block was made;
// false when the drawing could not be found or opened (sScript unchanged, the
// user was told), when its path holds a double quote, which a host script
// cannot quote (told, sScript unchanged), or when a repeating keyword found no
// qualifying name (sScript empty). A base file that cannot be read throws
// std::runtime_error: the batch run reports it as an unexpected error.
bool fun_bMakeDWGScript(ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                        const QString& sBaseFile, QString& sScript, const ScriptKeywords& keywords);

// The text without its trailing empty lines: while the text, split at CR LF,
// ends with an empty piece, that piece and its separator are dropped.
QString fun_sTrimLastCrLf(const QString& text);

}  // namespace host
