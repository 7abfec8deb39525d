#pragma once
// The spreadsheet application as the system uses it: workbooks, worksheets,
// block writes, names, list validations, screen updating, the user's current
// selection. Backed by LibreOffice Calc over UNO; every member the system
// calls is mapped once, here. A failing member throws SheetError.
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace calc {

class SheetError : public std::runtime_error {
public:
    SheetError(long number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    long number() const { return number_; }
    const QString& description() const { return description_; }

private:
    long number_;
    QString description_;
};

// A block of cell values, rows of columns. A QString is text (kept as text,
// whatever it looks like), a number is a number, an invalid QVariant is an
// empty cell.
using CellBlock = std::vector<std::vector<QVariant>>;

// Window states of the application window.
enum WindowState : int { xlMaximized = -4137, xlMinimized = -4140, xlNormal = -4143 };

struct Session;      // the UNO connection, shared by every object of one application
struct DocHandle;    // one spreadsheet document
struct SheetHandle;  // one sheet of it
class Workbook;

class Worksheet {
public:
    QString name() const;
    void setName(const QString& name);
    // Writes the block with its top-left cell at (row, column), both from 1, in one call.
    void setValues(int row, int column, const CellBlock& block);
    CellBlock values(int row, int column, int rows, int columns) const;
    // Fits the width of every column to its contents.
    void autoFitColumns();
    // The used area: first row and column (from 1) and its size; 1,1,1,1 for an empty sheet.
    struct Area {
        int row = 1, column = 1, rows = 1, columns = 1;
    };
    Area usedRange() const;
    // A list validation on a whole column (from 1), replacing what was there.
    // formula1: a list name "=Name" or literal items "a,b,c".
    void setListValidation(int column, const QString& formula1);
    void deleteValidation(int column);
    void activate();
    // Makes a block (rows and columns from 1) the current selection, as a user
    // does with the mouse.
    void select(int row, int column, int rows, int columns);
    // The workbook that holds the sheet (where its names are defined).
    Workbook workbook() const;

private:
    friend class Workbook;
    friend class Application;
    Worksheet(std::shared_ptr<Session> session, std::shared_ptr<DocHandle> doc, std::shared_ptr<SheetHandle> sheet);
    std::shared_ptr<Session> session_;
    std::shared_ptr<DocHandle> doc_;
    std::shared_ptr<SheetHandle> sheet_;
};

class Workbook {
public:
    int worksheetCount() const;
    Worksheet worksheet(int index) const;  // from 1
    Worksheet addWorksheetAfter(const Worksheet& after);
    // A workbook name for a reference in R1C1 form ("=Sheet!R1C1:R9C1").
    void addName(const QString& name, const QString& refersToR1C1);
    // Saves a copy (the format follows the extension: .xlsx, .ods); the workbook stays open.
    void saveCopyAs(const QString& path);
    void close();

private:
    friend class Application;
    friend class Worksheet;
    Workbook(std::shared_ptr<Session> session, std::shared_ptr<DocHandle> doc);
    std::shared_ptr<Session> session_;
    std::shared_ptr<DocHandle> doc_;
};

class Application {
public:
    explicit Application(std::shared_ptr<Session> session);
    int workbooksCount();
    // A new workbook with three worksheets, as the callers expect of a new workbook.
    Workbook addWorkbook();
    // The workbook the user works in (the active spreadsheet document); nothing when none.
    std::optional<Workbook> activeWorkbook();
    bool visible();
    void setVisible(bool on);
    int windowState();
    void setWindowState(int state);
    QString caption();
    void activateWindow();
    void setScreenUpdating(bool on);
    // The values of the current selection of the active workbook, rows of
    // columns; nothing when the selection is not a block of cells. Only the
    // part inside the sheet's used area is read (a selection of whole
    // columns does not read a million empty rows); a selection of several
    // areas gives its first area.
    std::optional<CellBlock> selectionValues();

private:
    std::shared_ptr<Session> session_;
};

using ApplicationPtr = std::shared_ptr<Application>;

}  // namespace calc
