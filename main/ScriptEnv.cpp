#include "ScriptEnv.h"

#include "support/Ini.h"

namespace mainwin {

namespace {
const QString kSection = QStringLiteral("ScriptEnv");

QString readText(const QString& ini, const char* key, const QString& def) {
    return support::GetINI(ini, kSection, QString::fromLatin1(key), def, false).toString();
}

int readNumber(const QString& ini, const char* key, int def) {
    return support::GetINI(ini, kSection, QString::fromLatin1(key), def, true).toInt();
}
}  // namespace

ScriptEnv loadScriptEnv(const QString& iniFileName) {
    const ScriptEnv d;
    ScriptEnv env;
    // The keys are the names of the environment dialog's controls.
    env.sKeywordPath = readText(iniFileName, "TxtKeyPath", d.sKeywordPath);
    env.sKeywordFileName = readText(iniFileName, "TxtKeyFileName", d.sKeywordFileName);
    env.sKeywordLayerName = readText(iniFileName, "TxtKeyLayerName", d.sKeywordLayerName);
    env.sFilterLayer = readText(iniFileName, "CboScriptFilterLayer", d.sFilterLayer);
    env.iFilterLayerClass = readNumber(iniFileName, "CboScriptFilterLayerClass", d.iFilterLayerClass);
    env.sKeywordLayout = readText(iniFileName, "TxtKeyLayout", d.sKeywordLayout);
    env.sFilterLayout = readText(iniFileName, "CboScriptFilterLayout", d.sFilterLayout);
    env.iFilterLayoutClass = readNumber(iniFileName, "CboScriptFilterLayoutClass", d.iFilterLayoutClass);
    env.sKeywordPtinter = readText(iniFileName, "TxtKeyPtinter", d.sKeywordPtinter);
    env.sKeywordPaperSize = readText(iniFileName, "TxtKeyPaperSize", d.sKeywordPaperSize);
    env.sReplacePrinter = readText(iniFileName, "CboKeyPtinter", d.sReplacePrinter);
    env.sReplacePrinterSize = readText(iniFileName, "CboKeyPaperSize", d.sReplacePrinterSize);
    return env;
}

}  // namespace mainwin
