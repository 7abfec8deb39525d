#pragma once
// The workbook of a layer information export written straight into an .xlsx
// file with libxlsxwriter, for servers without an office: the same sheets in
// the same order as the office's workbook (画層情報, (文字出力), 画層名変更規則,
// 画層状態変更規則, list_source), typed cells, workbook names and list
// validations, filled by the same layer survey. Nothing is written to disk
// until save().
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "host/SurveySink.h"

struct lxw_workbook;
struct lxw_worksheet;

namespace xlsx {

class XlsxSheet : public host::SheetSink {
public:
    XlsxSheet(lxw_workbook* workbook, QString name);

    QString name() const override { return name_; }
    long lastUsedRow() const override { return lastRow_; }
    void putRows(long row, int column, const host::CellRows& rows) override;
    void defineName(const QString& name, int column, long lastRow) override;
    void deleteValidation(int column) override { validations_.erase(column); }
    void setListValidation(int column, const QString& formula1) override { validations_[column] = formula1; }

    // Column widths fitted to what was written, and the validations, into the
    // worksheet; run once, before the file is written.
    void complete();
    lxw_worksheet* worksheet() const { return worksheet_; }

private:
    lxw_workbook* workbook_;
    lxw_worksheet* worksheet_;
    QString name_;
    long lastRow_ = 1;
    std::vector<int> widths_;  // by column from 0, in character cells
    std::map<int, QString> validations_;
};

class XlsxSurveySink : public host::SurveySink {
public:
    // The workbook for the file at path, which save() writes.
    XlsxSurveySink(const QString& path, bool outputText);
    ~XlsxSurveySink() override;
    XlsxSurveySink(const XlsxSurveySink&) = delete;
    XlsxSurveySink& operator=(const XlsxSurveySink&) = delete;

    host::SheetSink& layerSheet() override { return *layer_; }
    host::SheetSink& renameSheet() override { return *rename_; }
    host::SheetSink& stateSheet() override { return *state_; }
    host::SheetSink& listSheet() override { return *list_; }
    host::SheetSink* textSheet() override { return text_.get(); }
    void setScreenUpdating(bool) override {}
    // Fits the columns and makes 画層情報 the sheet the workbook opens on.
    void finish() override;

    // Writes the workbook through a temporary name beside the file, so a
    // failed write leaves no half-written file at its path. Once only. Empty
    // when saved, else why not.
    QString save();

private:
    QString path_;
    QString partialPath_;
    lxw_workbook* workbook_ = nullptr;
    std::unique_ptr<XlsxSheet> layer_, text_, rename_, state_, list_;
    bool finished_ = false;
};

}  // namespace xlsx
