#pragma once
// Toolbar buttons 2 and 5: the current rule list (rename rules in mode 1,
// state rules in mode 2) read from the cells the user selected in the
// spreadsheet, or written into a new workbook, state rules with choice lists
// from the drawing active in the host.
#include <QString>
#include <QStringList>
#include <functional>

#include "support/ListTable.h"

namespace mainwin {

// How the import meets the window's active rule list.
struct RuleListAccess {
    // Empties the list as its reset command does.
    std::function<void()> reset;
    // Appends a row: "No", then the sub-items.
    std::function<void(const QStringList& values)> appendRow;
    // Sets the window's title.
    std::function<void(const QString& title)> setTitle;
};

// The import of button 2 in mode iMode. True when rows were taken into the
// list (the caller then selects them all and brings the window forward).
bool subImportRuleExcel(int iMode, const RuleListAccess& list);

// The export of button 5: vTable is the list's header-and-all-rows table
// (nothing when the list is empty).
void subExportRuleExcel(int iMode, const support::OptionalListTable& vTable);

}  // namespace mainwin
