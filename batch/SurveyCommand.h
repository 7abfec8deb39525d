#pragma once
// laminor-batch survey: mode 3 without a window. Every drawing's layers (and,
// on request, object counts and texts) go into one new workbook of a private
// headless office, which is saved as FILE (.xlsx or .ods).
#include <QStringList>

namespace batch {

// The arguments after "survey". Returns the exit code: 0 all surveyed and
// saved, 1 some drawing failed or the workbook was not saved, 2 a usage error
// or no office.
int runSurveyCommand(const QStringList& args);

}  // namespace batch
