#include "host/RuleValidation.h"

#include <QStringList>

#include "host/SkipError.h"
#include "host/ValueLists.h"

namespace host {

namespace {

// Writes one column of "list_source" from row 1 and names it.
void putNamedColumn(SheetSink& wsList, int column, const CellRows& cells, const QString& name) {
    wsList.putRows(1, column, cells);
    wsList.defineName(name, column, long(cells.size()));
}

}  // namespace

void subMakeColorList(QString& sFormula, SheetSink& wsList) {
    CellRows cells{{kNoChange}};
    for (int i = 1; i <= 255; ++i) cells.push_back({i});
    putNamedColumn(wsList, 1, cells, QStringLiteral("ColorList"));
    sFormula = QStringLiteral("=ColorList");
}

void subMakeLinetypeList(QString& sFormula, const DocumentPtr& objDoc, SheetSink& wsList) {
    CellRows cells{{kNoChange}};
    if (objDoc) {
        const QStringList names = skipErrorValue([&] { return objDoc->linetypes(); }).value_or(QStringList());
        for (const QString& name : names) {
            const QString lower = name.toLower();
            if (lower == QStringLiteral("bylayer") || lower == QStringLiteral("byblock")) continue;
            cells.push_back({name});
        }
    }
    putNamedColumn(wsList, 2, cells, QStringLiteral("LinetypeList"));
    sFormula = QStringLiteral("=LinetypeList");
}

void subMakeLineweightList(QString& sFormula, SheetSink& wsList) {
    LineweightTable table;
    subGetLineweightTable(table);
    CellRows cells{{kNoChange}};
    for (size_t i = 2; i < table.size(); ++i) cells.push_back({table[i].name});
    putNamedColumn(wsList, 3, cells, QStringLiteral("LineweightList"));
    sFormula = QStringLiteral("=LineweightList");
}

void subMakePlotStyleList(QString& sFormula, const DocumentPtr& objDoc) {
    QStringList items{kNoChange};
    const LayersPtr layers = objDoc ? skipErrorValue([&] { return objDoc->layers(); }).value_or(nullptr) : nullptr;
    const int count = layers ? skipErrorValue([&] { return layers->count(); }).value_or(0) : 0;
    for (int i = 0; i < count; ++i) {
        const QString name = skipErrorValue([&] { return layers->item(i)->plotStyleName(); }).value_or(QString());
        // Whole names: a name inside a longer one listed before is still a choice
        // of its own. An empty name is no choice.
        if (!name.isEmpty() && !items.contains(name)) items << name;
    }
    sFormula = items.join(QLatin1Char(','));
}

void subSetRuleValidation(SheetSink& wsRule, SheetSink& wsList, const DocumentPtr& objDoc) {
    const QString yesNo = QStringList{kNoChange, kYes, kNo}.join(QLatin1Char(','));
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

}  // namespace host
