#pragma once
// Toolbar buttons 2 and 5: the current rule list (rename rules in mode 1,
// state rules in mode 2) read from the cells the user selected in the
// spreadsheet, or written into a new workbook, state rules with choice lists
// from the drawing active in the host.
#include <QString>
#include <QStringList>
#include <QList>
#include <optional>

#include "support/ListTable.h"

namespace mainwin {

// Button 2: the rules in the cells the user selected in the spreadsheet, in
// mode iMode (3 or 10 columns), each "No" first, then the rule's fields, all
// as texts; header rows and rows with an empty cell are left out. Nothing
// when there is nothing to import, after telling the user why.
std::optional<QList<QStringList>> readRulesFromSpreadsheet(int iMode);

// Button 5: the list's header-and-all-rows table into a new workbook; state
// rules (mode 2) with choice lists from the drawing active in the host.
void writeRulesToSpreadsheet(int iMode, const support::ListTable& vTable);

}  // namespace mainwin
