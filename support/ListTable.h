#pragma once
// The list table: a two-dimensional table of texts, indexed (row, column)
// from 0, that the window's lists are read into and the batch run passes
// around. A cell that nothing wrote is empty: a null QString, which compares
// equal to the empty text. "No table" (a list with no rows) is a distinct
// state: std::optional<ListTable> without a value, which callers test.
#include <QString>
#include <optional>
#include <vector>

namespace support {

class ListTable {
public:
    ListTable() = default;
    ListTable(int rows, int columns)
        : rows_(rows), columns_(columns), cells_(static_cast<size_t>(rows) * static_cast<size_t>(columns)) {}

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    // Upper bounds, as the tables' users count them.
    int upperRow() const { return rows_ - 1; }
    int upperColumn() const { return columns_ - 1; }

    const QString& at(int row, int column) const { return cells_.at(index(row, column)); }
    void set(int row, int column, const QString& text) { cells_.at(index(row, column)) = text; }
    // True when nothing wrote the cell.
    bool isEmpty(int row, int column) const { return at(row, column).isNull(); }

    bool operator==(const ListTable&) const = default;

private:
    size_t index(int row, int column) const {
        return static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column);
    }
    int rows_ = 0;
    int columns_ = 0;
    std::vector<QString> cells_;
};

using OptionalListTable = std::optional<ListTable>;

}  // namespace support
