#pragma once
// The twelve values of the serial-script mode: its keywords, its layer and
// layout filters and its printer replacements, kept by the main window and
// stored in section "ScriptEnv" of the INI file. Their order here is the order
// in which every interface passes them.
#include <QString>

namespace mainwin {

struct ScriptEnv {
    QString sKeywordPath = QStringLiteral("<DWGPATH>");
    QString sKeywordFileName = QStringLiteral("<DWGNAME>");
    QString sKeywordLayerName = QStringLiteral("<LAYERNAME>");
    QString sFilterLayer = QStringLiteral("(全てを対象)");
    int iFilterLayerClass = 0;
    QString sKeywordLayout = QStringLiteral("<LAYOUT>");
    QString sFilterLayout = QStringLiteral("model");
    int iFilterLayoutClass = 0;
    QString sKeywordPtinter = QStringLiteral("<PRINTER>");
    QString sReplacePrinter;
    QString sKeywordPaperSize = QStringLiteral("<PAPERSIZE>");
    QString sReplacePrinterSize;

    bool operator==(const ScriptEnv&) const = default;
};

// Reads the stored values from section "ScriptEnv" of the INI file; a missing
// key gives its default.
ScriptEnv loadScriptEnv(const QString& iniFileName);

}  // namespace mainwin
