#pragma once
// The batch run without a window: the main window's driver (subExecute) over
// the drawings and rules of the command line. Messages that the window would
// show in a box go to standard error and are answered OK; every drawing gets
// one line on standard output; the driver's report ends the output.
#include <QStringList>

#include "batch/CommandLine.h"
#include "main/BatchRun.h"

namespace batch {

// Runs the mode of options over the drawings with the operations given and
// returns the exit status: 0 when no drawing failed, 1 when some did or the
// run ended without its report (no host, an unexpected error). Drawings
// listed in unusable (names that are not UTF-8, see collectDrawings) fail
// with a line that says so. With several jobs, each drawing's line comes as
// soon as it and every drawing before it are done.
int runHeadless(const BatchOptions& options, const support::ListTable& rules, const QStringList& drawings,
                const mainwin::DrawingOperations& operations, const QStringList& unusable = {});

// Output helpers: UTF-8 text, line ends as the terminal expects them (the
// window's CR LF become LF).
void printOut(const QString& text);
void printErr(const QString& text);

}  // namespace batch
