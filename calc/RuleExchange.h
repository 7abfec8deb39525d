#pragma once
// The spreadsheet helpers that the rule import and export and the layer
// survey share: tables into sheets, the choice lists of the state rule
// columns with their validations, and the user's selection read as rules.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "calc/CalcApp.h"
#include "host/HostApi.h"
#include "support/ListTable.h"

namespace calc {

// Writes the table into ws with its element (r, c) at row lRow + r, column
// c + 1, in one assignment, then fits every column of the sheet. True on
// success, false on any spreadsheet error (nothing is reported).
// A caller that appends many tables to the same sheets may leave the fitting
// to one autoFitColumns per sheet at its end (fitColumns false): fitting
// measures the whole sheet, so fitting after every block grows with the
// rows written before.
bool fun_bPutTable(Worksheet& ws, const CellBlock& vTable, long lRow, bool fitColumns = true);
// The same for a list table of texts: every cell stays text.
bool fun_bPutTable(Worksheet& ws, const support::ListTable& vTable, long lRow);

// One column of "list_source" each, with its workbook name; sFormula receives
// the list source ("=ColorList", "=LinetypeList", "=LineweightList").
void subMakeColorList(QString& sFormula, Worksheet& wsList);
void subMakeLinetypeList(QString& sFormula, const host::DocumentPtr& objDoc, Worksheet& wsList);
void subMakeLineweightList(QString& sFormula, Worksheet& wsList);
// "(変更なし)" and every distinct plot style name of the drawing's layers,
// separated by ",". Names are compared whole: "Style 1" is listed after
// "Style 10", so the stop-alert validation accepts both.
void subMakePlotStyleList(QString& sFormula, const host::DocumentPtr& objDoc);

// Fills "list_source" from the drawing and attaches the list validations of
// the state rule columns C to J of wsRule.
void subSetRuleValidation(Worksheet& wsRule, Worksheet& wsList, const host::DocumentPtr& objDoc);

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

}  // namespace calc
