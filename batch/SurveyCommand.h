#pragma once
// laminor-batch survey: mode 3 without a window. Every drawing's layers (and,
// on request, object counts and texts) go into one new workbook, written
// straight to FILE.xlsx: no office is needed. The rows, typed cells, names and
// validations are those the window's office workbook gets.
#include <QStringList>

namespace batch {

// The arguments after "survey". Returns the exit code: 0 all surveyed and
// saved, 1 some drawing failed or the workbook was not saved, 2 a usage error.
int runSurveyCommand(const QStringList& args);

}  // namespace batch
