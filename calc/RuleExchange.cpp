#include "calc/RuleExchange.h"

#include <cmath>

#include "host/SkipError.h"
#include "host/ValueLists.h"
#include "support/Foreground.h"
#include "support/MessageBox.h"

namespace calc {

namespace {

const QString kListSheet = QStringLiteral("list_source");

const QStringList& headersOf(int iMode) {
    static const QStringList rename{QStringLiteral("検索文字"), QStringLiteral("置換文字")};
    static const QStringList state{QStringLiteral("画層名規則"), QStringLiteral("表示"), QStringLiteral("ﾌﾘｰｽﾞ"),
                                   QStringLiteral("ﾛｯｸ"), QStringLiteral("色"), QStringLiteral("線種"),
                                   QStringLiteral("線の太さ"), QStringLiteral("印刷ｽﾀｲﾙ"), QStringLiteral("印刷")};
    return iMode == 1 ? rename : state;
}

int columnsOf(int iMode) { return iMode == 1 ? 3 : 10; }

// Writes one column of "list_source" from row 1 and names it.
void putNamedColumn(Worksheet& wsList, int column, const CellBlock& cells, const QString& name) {
    wsList.setValues(1, column, cells);
    wsList.workbook().addName(name, QStringLiteral("=%1!R1C%2:R%3C%2").arg(wsList.name()).arg(column).arg(cells.size()));
}

}  // namespace

bool fun_bPutTable(Worksheet& ws, const CellBlock& vTable, long lRow, bool fitColumns) {
    try {
        ws.setValues(int(lRow), 1, vTable);
        if (fitColumns) ws.autoFitColumns();
        return true;
    } catch (const SheetError&) {
        return false;
    }
}

bool fun_bPutTable(Worksheet& ws, const support::ListTable& vTable, long lRow) {
    CellBlock block(size_t(vTable.rows()), std::vector<QVariant>(size_t(vTable.columns())));
    for (int r = 0; r < vTable.rows(); ++r)
        for (int c = 0; c < vTable.columns(); ++c) block[size_t(r)][size_t(c)] = QVariant(vTable.at(r, c));
    return fun_bPutTable(ws, block, lRow);
}

void subMakeColorList(QString& sFormula, Worksheet& wsList) {
    CellBlock cells{{host::kNoChange}};
    for (int i = 1; i <= 255; ++i) cells.push_back({i});
    putNamedColumn(wsList, 1, cells, QStringLiteral("ColorList"));
    sFormula = QStringLiteral("=ColorList");
}

void subMakeLinetypeList(QString& sFormula, const host::DocumentPtr& objDoc, Worksheet& wsList) {
    CellBlock cells{{host::kNoChange}};
    if (objDoc) {
        const QStringList names = host::skipErrorValue([&] { return objDoc->linetypes(); }).value_or(QStringList());
        for (const QString& name : names) {
            const QString lower = name.toLower();
            if (lower == QStringLiteral("bylayer") || lower == QStringLiteral("byblock")) continue;
            cells.push_back({name});
        }
    }
    putNamedColumn(wsList, 2, cells, QStringLiteral("LinetypeList"));
    sFormula = QStringLiteral("=LinetypeList");
}

void subMakeLineweightList(QString& sFormula, Worksheet& wsList) {
    host::LineweightTable table;
    host::subGetLineweightTable(table);
    CellBlock cells{{host::kNoChange}};
    for (size_t i = 2; i < table.size(); ++i) cells.push_back({table[i].name});
    putNamedColumn(wsList, 3, cells, QStringLiteral("LineweightList"));
    sFormula = QStringLiteral("=LineweightList");
}

void subMakePlotStyleList(QString& sFormula, const host::DocumentPtr& objDoc) {
    QStringList items{host::kNoChange};
    const host::LayersPtr layers = objDoc ? host::skipErrorValue([&] { return objDoc->layers(); }).value_or(nullptr) : nullptr;
    const int count = layers ? host::skipErrorValue([&] { return layers->count(); }).value_or(0) : 0;
    for (int i = 0; i < count; ++i) {
        const QString name = host::skipErrorValue([&] { return layers->item(i)->plotStyleName(); }).value_or(QString());
        // Whole names: a name inside a longer one listed before is still a choice
        // of its own. An empty name is no choice.
        if (!name.isEmpty() && !items.contains(name)) items << name;
    }
    sFormula = items.join(QLatin1Char(','));
}

void subSetRuleValidation(Worksheet& wsRule, Worksheet& wsList, const host::DocumentPtr& objDoc) {
    const QString yesNo = QStringList{host::kNoChange, host::kYes, host::kNo}.join(QLatin1Char(','));
    for (int column = 3; column <= 10; ++column) {
        QString source = yesNo;
        if (column == 6) subMakeColorList(source, wsList);
        if (column == 7) subMakeLinetypeList(source, objDoc, wsList);
        if (column == 8) subMakeLineweightList(source, wsList);
        if (column == 9) subMakePlotStyleList(source, objDoc);
        wsRule.deleteValidation(column);
        wsRule.setListValidation(column, source);
    }
}

bool fun_bGetSelectionValues(const ApplicationPtr& xlApp, std::optional<CellBlock>& vValues, int iMode) {
    try {
        if (xlApp->workbooksCount() == 0) {
            support::bringMainWindowToFront();
            support::MsgBox(QStringLiteral("Excelシートが見つかりません。"), support::vbExclamation, support::kLaminorTitle);
            return false;
        }
        vValues = xlApp->selectionValues();
        if (vValues && !vValues->empty() && int(vValues->front().size()) == columnsOf(iMode)) return true;
        support::bringMainWindowToFront();
        support::MsgBox(iMode == 1 ? QStringLiteral("ExcelシートでNo、検索文字、置換文字の列、合計3列分を選択してください。")
                                   : QStringLiteral("ExcelシートでNoや画層名規則、表示等を含む合計10列分を選択してください。"),
                        support::vbExclamation, support::kLaminorTitle);
        vValues.reset();
        return true;
    } catch (const SheetError&) {
        vValues.reset();
        return false;
    }
}

QString cellText(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return QString(QLatin1String(""));
    switch (value.typeId()) {
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return value.toString();
    }
}

std::vector<QStringList> importRuleRows(const CellBlock& vValues, int iMode) {
    const int columns = columnsOf(iMode);
    const QStringList& headers = headersOf(iMode);
    std::vector<QStringList> rules;
    for (const std::vector<QVariant>& row : vValues) {
        QStringList values;
        for (int c = 0; c < columns; ++c) values << (size_t(c) < row.size() ? cellText(row[size_t(c)]) : QString(QLatin1String("")));
        bool header = values[0].toLower() == QStringLiteral("no");
        for (int k = 0; k < headers.size() && !header; ++k) header = values[k + 1].toLower() == headers[k];
        if (header) continue;
        bool anyEmpty = false;
        for (const QString& v : values) anyEmpty = anyEmpty || v.isEmpty();
        if (anyEmpty) continue;
        rules.push_back(values);
    }
    return rules;
}

}  // namespace calc
