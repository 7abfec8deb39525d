#pragma once
// Cell references as the system writes them (R1C1, with a sheet name) turned
// into the form the office's named ranges take ($'Sheet'.$A$1:$B$2).
#include <QString>
#include <optional>

namespace calc {

// "A", ..., "Z", "AA", ...; column counts from 1.
QString columnLetters(int column);

// A1-style address of a cell block, absolute, e.g. "$A$1:$C$4" (rows and
// columns from 1).
QString absoluteAddress(int firstRow, int firstColumn, int lastRow, int lastColumn);

// "=list_source!R1C1:R256C1" (or without "=", or a single cell "R2C3")
// becomes "$'list_source'.$A$1:$A$256". Nothing when the text is not such a
// reference.
std::optional<QString> r1c1ToOfficeReference(const QString& refersTo);

// The source of a list validation as the system writes it ("=ColorList", or
// literal items separated by commas: "(変更なし),する,しない") in the form the
// office takes: the name alone, or quoted items separated by ";"
// ("\"(変更なし)\";\"する\";\"しない\"").
QString officeListSource(const QString& formula1);

}  // namespace calc
