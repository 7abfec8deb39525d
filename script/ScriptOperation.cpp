#include "script/ScriptOperation.h"

namespace script {

host::ScriptKeywords scriptKeywords(const mainwin::ScriptRequest& r) {
    host::ScriptKeywords k;
    k.sKeywordPath = r.env.sKeywordPath;
    k.sPathValue = r.drawingFolder;
    k.sKeywordFileName = r.env.sKeywordFileName;
    k.sFileNameValue = r.drawingTitle;
    k.layer = {r.env.sKeywordLayerName, r.layerFilter, r.layerFlags.include, r.layerFlags.whole};
    k.layout = {r.env.sKeywordLayout, r.layoutFilter, r.layoutFlags.include, r.layoutFlags.whole};
    k.sKeywordPtinter = r.env.sKeywordPtinter;
    k.sReplacePrinter = r.env.sReplacePrinter;
    k.sKeywordPaperSize = r.env.sKeywordPaperSize;
    k.sReplacePrinterSize = r.env.sReplacePrinterSize;
    k.bSave = r.saveDrawings;
    k.vKeyword = r.keywordTable;
    return k;
}

bool makeDWGScript(host::ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                   const mainwin::ScriptRequest& request, QString& sScript) {
    return host::fun_bMakeDWGScript(std::move(acadApp), sDWGName, sDWGFullPath, request.baseScriptPath, sScript,
                                    scriptKeywords(request));
}

}  // namespace script
