#pragma once
// "laminor-batch script": mode 4 without a window. The base script is
// expanded over the drawings exactly as the window does it (the same driver
// and operation, the keywords, filters and keyword list of Laminor.ini beside
// the program), the final script (header, blocks, footer) is written, and
// with --run it is run headless by drawhost --console, the drawings shared
// out over -j N hosts.
#include <QStringList>

namespace batch {

// The arguments after "script"; returns the exit status: 0 every drawing got
// its block (and every host run succeeded), 1 some drawing failed or a run
// failed, 2 a usage or input error.
int runScriptCommand(const QStringList& args);

QString scriptHelpText();

}  // namespace batch
