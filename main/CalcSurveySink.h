#pragma once
// The workbook of a layer information export (mode 3) in the spreadsheet
// application: made when the run starts with its sheets 画層情報, (文字出力),
// 画層名変更規則, 画層状態変更規則 and list_source, filled by the layer survey
// for every drawing, and left open and unsaved for the user at the end.
#include <QString>
#include <memory>
#include <optional>

#include "calc/CalcApp.h"
#include "host/SurveySink.h"

namespace mainwin {

// One worksheet of the office as the survey and the rule export write it.
// Every office error becomes a host::SinkError.
class CalcSheetSink : public host::SheetSink {
public:
    explicit CalcSheetSink(calc::Worksheet ws) : ws_(std::move(ws)) {}
    calc::Worksheet& worksheet() { return ws_; }

    QString name() const override;
    long lastUsedRow() const override;
    void putRows(long row, int column, const host::CellRows& rows) override;
    void defineName(const QString& name, int column, long lastRow) override;
    void deleteValidation(int column) override;
    void setListValidation(int column, const QString& formula1) override;

private:
    calc::Worksheet ws_;
};

class CalcSurveySink : public host::SurveySink {
public:
    // Obtains the spreadsheet (running or started) and a new workbook with
    // its sheets; null when there is no spreadsheet.
    static std::unique_ptr<CalcSurveySink> open(bool outputText);
    // The same with a spreadsheet already obtained.
    CalcSurveySink(calc::ApplicationPtr xlApp, bool outputText);

    host::SheetSink& layerSheet() override { return wsLayer_; }
    host::SheetSink& renameSheet() override { return wsRename_; }
    host::SheetSink& stateSheet() override { return wsState_; }
    host::SheetSink& listSheet() override { return wsList_; }
    host::SheetSink* textSheet() override { return wsText_ ? &*wsText_ : nullptr; }
    void setScreenUpdating(bool on) override;
    // Fits every sheet once, brings the office forward with 画層情報 active.
    void finish() override;

    calc::Workbook& workbook() { return workbook_; }
    // Saves a copy of the workbook (.xlsx or .ods) through a temporary name,
    // so a failed save leaves no half-written file at path. Empty when
    // saved, else why not.
    QString saveCopyAs(const QString& path);

private:
    calc::ApplicationPtr xlApp_;
    calc::Workbook workbook_;
    CalcSheetSink wsLayer_, wsRename_, wsState_, wsList_;
    std::optional<CalcSheetSink> wsText_;
};

}  // namespace mainwin
