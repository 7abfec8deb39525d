#pragma once
// Mode 4's per-drawing operation as the batch run calls it: the run's script
// request turned into the keywords of the serial script generation.
#include <QString>

#include "host/HostApi.h"
#include "host/SerialScript.h"
#include "main/BatchRun.h"

namespace script {

host::ScriptKeywords scriptKeywords(const mainwin::ScriptRequest& request);

bool makeDWGScript(host::ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                   const mainwin::ScriptRequest& request, QString& sScript);

}  // namespace script
