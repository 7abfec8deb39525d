#pragma once
// The spreadsheet helpers of the rule import and export: tables into sheets
// and the user's selection read as rules. (The choice lists of the state rule
// columns are built by host/RuleValidation through a sheet sink.)
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "calc/CalcApp.h"
#include "support/ListTable.h"

namespace mainwin {

using calc::ApplicationPtr;
using calc::CellBlock;
using calc::Worksheet;

// Writes the table into ws with its element (r, c) at row lRow + r, column
// c + 1, in one assignment, then fits every column of the sheet. True on
// success, false on any spreadsheet error (nothing is reported).
bool fun_bPutTable(Worksheet& ws, const CellBlock& vTable, long lRow);
// The same for a list table of texts: every cell stays text.
bool fun_bPutTable(Worksheet& ws, const support::ListTable& vTable, long lRow);

// The current selection's values checked against the rule shape of iMode
// (1: 3 columns, 2: 10 columns). With no workbook open: the warning, false,
// vValues untouched. With another shape: the column-count warning, vValues
// emptied, and true unless a spreadsheet call failed.
bool fun_bGetSelectionValues(const ApplicationPtr& xlApp, std::optional<CellBlock>& vValues, int iMode);

// A cell's value as the import reads it: texts as they are, whole numbers
// without a fraction ("1"), other numbers in their shortest form, an empty
// cell as the empty text.
QString cellText(const QVariant& value);

// The rules in a selection block (rows of 3 or 10 values): header rows and
// rows with an empty value are left out; each rule is its values as texts.
std::vector<QStringList> importRuleRows(const CellBlock& vValues, int iMode);

}  // namespace mainwin
