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
// run ended without its report (no host, an unexpected error).
int runHeadless(const BatchOptions& options, const support::ListTable& rules, const QStringList& drawings,
                const mainwin::DrawingOperations& operations);

// Output helpers: UTF-8 text, line ends as the terminal expects them (the
// window's CR LF become LF).
void printOut(const QString& text);
void printErr(const QString& text);

}  // namespace batch
