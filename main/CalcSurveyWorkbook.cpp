#include "main/CalcSurveyWorkbook.h"

#include "calc/CalcConnection.h"
#include "host/LayerSurvey.h"
#include "support/Foreground.h"

namespace mainwin {

namespace {

calc::Worksheet named(calc::Worksheet ws, const QString& name) {
    ws.setName(name);
    return ws;
}

}  // namespace

std::unique_ptr<CalcSurveyWorkbook> CalcSurveyWorkbook::open(bool outputText) {
    calc::ApplicationPtr xlApp;
    if (!calc::fun_bGetExcel(xlApp)) return nullptr;
    try {
        if (xlApp->windowState() == calc::xlMinimized) xlApp->setWindowState(calc::xlNormal);
        xlApp->activateWindow();
    } catch (const calc::SheetError&) {
        // Bringing the office forward is a courtesy; the workbook is what matters.
    }
    support::bringMainWindowToFront();
    return std::make_unique<CalcSurveyWorkbook>(xlApp, outputText);
}

// The sheets are named in the order the workbook is built: the three of a new
// workbook, then list_source after the third, then 文字出力 after the first.
CalcSurveyWorkbook::CalcSurveyWorkbook(calc::ApplicationPtr xlApp, bool outputText)
    : xlApp_(std::move(xlApp)),
      workbook_(xlApp_->addWorkbook()),
      wsLayer_(named(workbook_.worksheet(1), QStringLiteral("画層情報"))),
      wsRename_(named(workbook_.worksheet(2), QStringLiteral("画層名変更規則"))),
      wsState_(named(workbook_.worksheet(3), QStringLiteral("画層状態変更規則"))),
      wsList_(named(workbook_.addWorksheetAfter(wsState_), QStringLiteral("list_source"))) {
    if (outputText) wsText_ = named(workbook_.addWorksheetAfter(wsLayer_), QStringLiteral("文字出力"));
}

bool CalcSurveyWorkbook::fun_bOutputLayerInfo(host::ApplicationPtr acadApp, const QString& sDWGName,
                                              const QString& sDWGFullPath, const SurveyOptions& options,
                                              support::StatusLabel& lblStatus) {
    bool bTextInclude = options.textFlags.include;
    bool bTextWhole = options.textFlags.whole;
    QString sTextFilter = options.textFilter;
    const bool outputText = options.outputText && wsText_.has_value();
    return host::fun_bOutputLayerInfo(acadApp, sDWGName, sDWGFullPath, xlApp_, wsLayer_, wsRename_, wsState_, wsList_,
                                      wsText_ ? &*wsText_ : nullptr, outputText, lblStatus, options.layerFlags.include,
                                      bTextInclude, options.layerFlags.whole, bTextWhole, options.layerFilter,
                                      sTextFilter, options.countObjects);
}

void CalcSurveyWorkbook::finish() {
    // The survey appends without fitting; every sheet is fitted once, here.
    for (calc::Worksheet* ws : {&wsLayer_, &wsRename_, &wsState_, &wsList_}) {
        try {
            ws->autoFitColumns();
        } catch (const calc::SheetError&) {
        }
    }
    if (wsText_) {
        try {
            wsText_->autoFitColumns();
        } catch (const calc::SheetError&) {
        }
    }
    try {
        xlApp_->activateWindow();
        wsLayer_.activate();
    } catch (const calc::SheetError&) {
        // The workbook stays as it is; the user finds it in the office.
    }
}

}  // namespace mainwin
