#pragma once
// Where the layer survey's tables go. The survey builds every row, list
// source, workbook name and validation itself; a sink only stores them: in
// the spreadsheet application, where the user sees the workbook, or straight
// into a workbook file. The sheets are those of a mode-3 workbook, by role.
#include <QString>
#include <QVariant>
#include <stdexcept>
#include <vector>

namespace host {

// Rows of cells. A QString is text, kept as text whatever it looks like (a
// leading apostrophe only marks it as text and is not stored); an int or a
// double is a number; an invalid QVariant is an empty cell.
using CellRows = std::vector<std::vector<QVariant>>;

// A sink that cannot store what it is given throws this.
class SinkError : public std::runtime_error {
public:
    explicit SinkError(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    const QString& description() const { return description_; }

private:
    QString description_;
};

// One sheet of the workbook.
class SheetSink {
public:
    virtual ~SheetSink() = default;
    virtual QString name() const = 0;
    // The last row that holds anything, from 1; 1 for an empty sheet.
    virtual long lastUsedRow() const = 0;
    // Stores the rows with their first cell at (row, column), both from 1.
    virtual void putRows(long row, int column, const CellRows& rows) = 0;
    // Defines the workbook name `name` for rows 1 to lastRow of a column of
    // this sheet.
    virtual void defineName(const QString& name, int column, long lastRow) = 0;
    // Removes the validation of a whole column (from 1).
    virtual void deleteValidation(int column) = 0;
    // A list validation over a whole column: stop alert, blanks ignored,
    // in-cell drop-down, no titles or messages. formula1 is a list name
    // ("=ColorList") or literal items ("a,b,c").
    virtual void setListValidation(int column, const QString& formula1) = 0;
};

// The workbook of a layer survey run.
class SurveySink {
public:
    virtual ~SurveySink() = default;
    virtual SheetSink& layerSheet() = 0;   // 画層情報
    virtual SheetSink& renameSheet() = 0;  // 画層名変更規則
    virtual SheetSink& stateSheet() = 0;   // 画層状態変更規則
    virtual SheetSink& listSheet() = 0;    // list_source
    virtual SheetSink* textSheet() = 0;    // 文字出力; null when text output is off
    // Screen updating of the spreadsheet application while a drawing's rows
    // are written; a file has no screen.
    virtual void setScreenUpdating(bool on) = 0;
    // The end of the run: every sheet's columns fitted to their contents and
    // sheet 画層情報 active.
    virtual void finish() = 0;
};

}  // namespace host
