#include "ListConversion.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>

namespace mainwin {

namespace {

// Adds the columns in order. Every column is as wide as its header and its
// widest cell, and the last one takes the rest of the list; a list too narrow
// for its columns scrolls sideways. Long texts (paths) are cut in the middle,
// so that their start and their file name stay in sight.
void setUpColumns(QTreeWidget& list, const QStringList& headers) {
    // Full-row selection: a highlighted row reads as selected across all columns.
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list.setRootIsDecorated(false);
    list.setItemsExpandable(false);
    list.setUniformRowHeights(true);
    list.setAllColumnsShowFocus(true);
    list.setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = list.header();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list.setColumnCount(static_cast<int>(headers.size()));
    list.setHeaderLabels(headers);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
    // The stretched column shrinks to this when the others fill the list: it
    // keeps room for its own header.
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    header->setMinimumSectionSize(header->fontMetrics().horizontalAdvance(headers.last()) + margin + 8);
}

QString writtenText(const QString& text) {
    // A written cell is never "unwritten", even when its text is empty.
    return text.isNull() ? QString::fromLatin1("") : text;
}

void copyRow(const QTreeWidgetItem& item, support::ListTable& table, int row, int columns) {
    for (int c = 0; c < columns; ++c) table.set(row, c, cellText(item, c));
}

support::OptionalListTable allRows(const QTreeWidget& list, const QStringList& headers) {
    const int n = list.topLevelItemCount();
    if (n == 0) return std::nullopt;
    const int columns = static_cast<int>(headers.size());
    support::ListTable table(n + 1, columns);
    for (int c = 0; c < columns; ++c) table.set(0, c, headers[c]);
    for (int i = 1; i <= n; ++i) copyRow(*list.topLevelItem(i - 1), table, i, columns);
    return table;
}

support::OptionalListTable selectedRows(const QTreeWidget& list, int columns) {
    const int n = list.topLevelItemCount();
    if (n == 0) return std::nullopt;
    support::ListTable table(n, columns);
    for (int i = 0; i < n; ++i) {
        const QTreeWidgetItem& item = *list.topLevelItem(i);
        if (item.isSelected()) copyRow(item, table, i, columns);
    }
    return table;
}

}  // namespace

QStringList layerNameHeaders() {
    return {QStringLiteral("No"), QStringLiteral("検索文字"), QStringLiteral("置換文字")};
}

QStringList layerStateHeaders() {
    return {QStringLiteral("No"),     QStringLiteral("画層名規則"), QStringLiteral("表示"),
            QStringLiteral("ﾌﾘｰｽﾞ"),  QStringLiteral("ﾛｯｸ"),       QStringLiteral("色"),
            QStringLiteral("線種"),   QStringLiteral("線の太さ"),   QStringLiteral("印刷ｽﾀｲﾙ"),
            QStringLiteral("印刷")};
}

void subInitLstvLayerName(QTreeWidget& list) { setUpColumns(list, layerNameHeaders()); }

void subInitLstvLayerState(QTreeWidget& list) { setUpColumns(list, layerStateHeaders()); }

void subInitLstvDWGs(QTreeWidget& list) {
    setUpColumns(list, {QStringLiteral("No"), QStringLiteral("ファイル名"), QStringLiteral("フルパス")});
}

void subInitLstvKeyword(QTreeWidget& list) {
    setUpColumns(list, {QStringLiteral("No"), QStringLiteral("検索ｷｰﾜｰﾄﾞ"), QStringLiteral("置換文字")});
}

QTreeWidgetItem* appendRow(QTreeWidget& list, const QStringList& values) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::number(list.topLevelItemCount() + 1));
    for (int i = 0; i < values.size(); ++i) item->setText(i + 1, writtenText(values[i]));
    list.addTopLevelItem(item);
    return item;
}

QString cellText(const QTreeWidgetItem& item, int column) { return writtenText(item.text(column)); }

void subRenumberRows(QTreeWidget& list) {
    for (int i = 0; i < list.topLevelItemCount(); ++i) list.topLevelItem(i)->setText(0, QString::number(i + 1));
}

int selectedCount(const QTreeWidget& list) {
    int count = 0;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        if (list.topLevelItem(i)->isSelected()) ++count;
    return count;
}

support::OptionalListTable subGetLayerNameListAll(const QTreeWidget& list) {
    return allRows(list, layerNameHeaders());
}

support::OptionalListTable subGetLayerStateListAll(const QTreeWidget& list) {
    return allRows(list, layerStateHeaders());
}

support::OptionalListTable subGetLayerNameListSelected(const QTreeWidget& list) { return selectedRows(list, 3); }

support::OptionalListTable subGetLayerStateListSelected(const QTreeWidget& list) { return selectedRows(list, 10); }

support::OptionalListTable subGetDWGListSelected(const QTreeWidget& list) {
    const int n = list.topLevelItemCount();
    if (n == 0) return std::nullopt;
    support::ListTable table(2, n);
    int k = 0;
    for (int i = 0; i < n; ++i) {
        const QTreeWidgetItem& item = *list.topLevelItem(i);
        if (!item.isSelected()) continue;
        table.set(0, k, cellText(item, 1));
        table.set(1, k, cellText(item, 2));
        ++k;
    }
    return table;
}

}  // namespace mainwin
