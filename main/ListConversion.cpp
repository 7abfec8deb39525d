#include "ListConversion.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace mainwin {

namespace {

// "No" is always 500 twips wide.
constexpr int kNoWidth = twips(500);

struct Column {
    QString header;
    double share;  // of the list's width; 0 for a fixed width
    int fixed = 0;
};

// Adds the columns in order. A width that depends on the list's width reads
// it right before the column is added, as the columns are laid out one by one.
void setUpColumns(QTreeWidget& list, const std::vector<Column>& columns) {
    // Full-row selection: a highlighted row reads as selected across all columns.
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list.setRootIsDecorated(false);
    list.setItemsExpandable(false);
    list.setUniformRowHeights(true);
    list.setAllColumnsShowFocus(true);
    list.header()->setStretchLastSection(false);
    list.header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    QStringList headers;
    for (const Column& c : columns) headers << c.header;
    list.setColumnCount(static_cast<int>(columns.size()));
    list.setHeaderLabels(headers);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const Column& c = columns[static_cast<size_t>(i)];
        const double w = static_cast<double>(list.width());
        list.setColumnWidth(i, c.share > 0 ? static_cast<int>(w * c.share) : c.fixed);
    }
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

void subInitLstvLayerName(QTreeWidget& list) {
    setUpColumns(list, {{QStringLiteral("No"), 0, kNoWidth},
                        {QStringLiteral("検索文字"), 1.2 / 3},
                        {QStringLiteral("置換文字"), 1.2 / 3}});
}

void subInitLstvLayerState(QTreeWidget& list) {
    const QStringList h = layerStateHeaders();
    std::vector<Column> columns{{h[0], 0, kNoWidth}, {h[1], 0, twips(900)}};
    for (int i = 2; i < h.size(); ++i) columns.push_back({h[i], 1.0 / 10});
    setUpColumns(list, columns);
}

void subInitLstvDWGs(QTreeWidget& list) {
    setUpColumns(list, {{QStringLiteral("No"), 0, kNoWidth},
                        {QStringLiteral("ファイル名"), 1.0 / 3},
                        {QStringLiteral("フルパス"), 1.5 / 3}});
}

void subInitLstvKeyword(QTreeWidget& list) {
    setUpColumns(list, {{QStringLiteral("No"), 0, kNoWidth},
                        {QStringLiteral("検索ｷｰﾜｰﾄﾞ"), 1.3 / 3},
                        {QStringLiteral("置換文字"), 1.3 / 3}});
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
