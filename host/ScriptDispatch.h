#pragma once
// Handing a finished script file to the drawing host: the host's window comes
// to the front, a pending command is cancelled with Escape twice, and the
// commands that switch file dialogs off and run SCRIPT on the file are typed
// into its command line. Completion is not detected: a wait dialog above the
// host asks the user to press OK once the host has finished; then file
// dialogs are switched back on.
#include <QString>

namespace host {

// The wait dialog's message (six lines joined by CR LF).
QString scriptWaitMessage();

// Dispatches the script at sScriptFullPath; returns once the user pressed OK
// and FILEDIA was restored, or after a failure message.
void subSendScript(const QString& sScriptFullPath);

}  // namespace host
