#pragma once
// The one place where a layer or layout name meets a user-written pattern.
// Patterns are written in the script engine's regular-expression dialect
// (the one of the Windows script host); see RegExp.cpp for how it is run on
// QRegularExpression.
#include <QString>
#include <QStringList>

namespace support {

// Matches sPattern against sText, case-sensitively, globally (left to right,
// an empty match moves the search on by one character).
// bWholeMatch true: true when the first match is the whole text.
// bWholeMatch false: true when there is a match; vMatch receives every
// matched text in order.
// vMatch (may be null) is cleared first in both modes. An empty text, an
// invalid pattern, and a pattern that exceeds the matching budget (a
// pathological pattern) match nothing.
bool fun_bRegExpMatch(const QString& sText, const QString& sPattern, QStringList* vMatch, bool bWholeMatch);

// The pattern as handed to QRegularExpression (exposed for tests and for
// readers of a pattern's behaviour).
QString translateScriptPattern(const QString& sPattern);

}  // namespace support
