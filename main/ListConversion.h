#pragma once
// The window's four report lists: their columns, their rows, and the list
// tables read from them. A list row's "No" is the item's main text (column 0);
// the further columns are its sub-items in header order. "Selected" means
// highlighted in the list.
#include <QStringList>

#include "support/ListTable.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace mainwin {

// Twips, the window's units, to pixels.
constexpr int kTwipsPerPixel = 15;
constexpr int twips(int value) { return value / kTwipsPerPixel; }

// Column headers of the two rule lists, "No" first.
QStringList layerNameHeaders();
QStringList layerStateHeaders();

// Column set-ups, run once when the window loads. Columns fit their header
// and content, the last one stretches, long texts are cut in the middle.
void subInitLstvLayerName(QTreeWidget& list);
void subInitLstvLayerState(QTreeWidget& list);
void subInitLstvDWGs(QTreeWidget& list);
void subInitLstvKeyword(QTreeWidget& list);

// Appends a row: "No" = row count + 1, then the values in column order.
QTreeWidgetItem* appendRow(QTreeWidget& list, const QStringList& values);
// Column c of a row as the list shows it; an unset column reads as "".
QString cellText(const QTreeWidgetItem& item, int column);
// Sets "No" of every row to its position, 1 to n.
void subRenumberRows(QTreeWidget& list);
int selectedCount(const QTreeWidget& list);

// The header-and-all-rows rule tables (rows 0..n, 3 or 10 columns); no table
// for an empty list.
support::OptionalListTable subGetLayerNameListAll(const QTreeWidget& list);
support::OptionalListTable subGetLayerStateListAll(const QTreeWidget& list);
// The selected-rows rule tables (rows 0..n-1): one row per list row, filled
// only where the list row is selected; no table for an empty list.
support::OptionalListTable subGetLayerNameListSelected(const QTreeWidget& list);
support::OptionalListTable subGetLayerStateListSelected(const QTreeWidget& list);
// The drawing table, transposed: (0, k) file name and (1, k) full path of the
// k-th selected row, selected rows packed to the front; no table for an empty list.
support::OptionalListTable subGetDWGListSelected(const QTreeWidget& list);

}  // namespace mainwin
