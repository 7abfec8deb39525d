#pragma once
// The workbook of a layer information export (mode 3) in the spreadsheet:
// made when the run starts with its sheets 画層情報, (文字出力), 画層名変更規則,
// 画層状態変更規則 and list_source, filled by the layer survey for every
// drawing, and left open and unsaved for the user at the end.
#include <memory>
#include <optional>

#include "calc/CalcApp.h"
#include "main/BatchRun.h"

namespace mainwin {

class CalcSurveyWorkbook : public SurveyWorkbook {
public:
    // Obtains the spreadsheet (running or started) and a new workbook with
    // its sheets; null when there is no spreadsheet.
    static std::unique_ptr<CalcSurveyWorkbook> open(bool outputText);
    // The same with a spreadsheet already obtained.
    CalcSurveyWorkbook(calc::ApplicationPtr xlApp, bool outputText);

    bool fun_bOutputLayerInfo(host::ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                              const SurveyOptions& options, support::StatusLabel& lblStatus) override;
    void finish() override;

    calc::Workbook& workbook() { return workbook_; }

private:
    calc::ApplicationPtr xlApp_;
    calc::Workbook workbook_;
    calc::Worksheet wsLayer_, wsRename_, wsState_, wsList_;
    std::optional<calc::Worksheet> wsText_;
};

}  // namespace mainwin
