#include "host/LayerSurvey.h"

#include "host/DrawingAccess.h"
#include "host/RuleValidation.h"
#include "host/SkipError.h"
#include "host/ValueLists.h"
#include "support/EventYield.h"
#include "support/RegExp.h"

namespace host {

namespace {

const QString kSSetName = QStringLiteral("SSetDummy");

QString yesNo(bool on) { return on ? kYes : kNo; }

// A filter with an empty pattern lets everything through; otherwise a name
// passes when its match agrees with the include mode.
bool passes(const QString& text, const QString& pattern, bool include, bool whole) {
    if (pattern.isEmpty()) return true;
    return support::fun_bRegExpMatch(text, pattern, nullptr, whole) == include;
}

// Selects every object that passes the filter into the set (errors skipped).
void selectAll(const SelectionSetPtr& set, const std::vector<short>& types, const QVariantList& data) {
    if (!set) return;
    skipError([&] { set->clear(); });
    skipError([&] { set->select(5, types, data); });
}

int countOf(const SelectionSetPtr& set) {
    return set ? skipErrorValue([&] { return set->count(); }).value_or(0) : 0;
}

// Writes the table below what the sheet holds: with its header row into an
// empty sheet, without it after the last used row otherwise. atTop tells
// which happened.
// False when the sink refused the rows.
bool appendTable(SheetSink& ws, const CellRows& table, bool* atTop = nullptr) {
    long lastRow = 1;
    try {
        lastRow = ws.lastUsedRow();
    } catch (const SinkError&) {
    }
    if (atTop) *atTop = lastRow == 1;
    try {
        if (lastRow == 1) {
            ws.putRows(1, 1, table);
        } else if (table.size() > 1) {
            ws.putRows(lastRow + 1, 1, CellRows(table.begin() + 1, table.end()));
        }
        return true;
    } catch (const SinkError&) {
        return false;
    }
}

void setScreenUpdating(SurveySink& xlBook, bool on) {
    try {
        xlBook.setScreenUpdating(on);
    } catch (const SinkError&) {
        // Only the office's redrawing is at stake.
    }
}

}  // namespace

bool fun_bOutputLayerInfo(const ApplicationPtr& acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                          SurveySink& xlBook, bool bOutputText, support::StatusLabel& lblStatus, bool bLayerInclude,
                          bool& bTextInclude, bool bLayerWhole, bool& bTextWhole, const QString& sLayerFilter,
                          QString& sTextFilter, bool bCount) {
    const QString caption = lblStatus.caption();
    bool result = false;
    auto status = [&](const QString& text) {
        support::yieldEvents(1);
        lblStatus.setCaption(text);
    };

    OperationDrawing drawing;
    if (!fun_bFindOrOpenDrawing(acadApp, sDWGName, sDWGFullPath, drawing)) return false;
    const DocumentPtr& doc = drawing.doc;

    // Preparation: no selection set of the drawing survives, "SSetDummy" is ours.
    LineweightTable lineweights;
    subGetLineweightTable(lineweights);
    const SelectionSetsPtr sets = skipErrorValue([&] { return doc->selectionSets(); }).value_or(nullptr);
    if (sets) {
        const int n = skipErrorValue([&] { return sets->count(); }).value_or(0);
        for (int i = 0; i < n; ++i) skipError([&] { sets->item(0)->deleteSet(); });
    }
    const SelectionSetPtr set = sets ? skipErrorValue([&] { return sets->add(kSSetName); }).value_or(nullptr) : nullptr;

    const LayersPtr layers = skipErrorValue([&] { return doc->layers(); }).value_or(nullptr);
    const int layerCount = layers ? skipErrorValue([&] { return layers->count(); }).value_or(0) : 0;
    const int columns = bCount ? 14 : 11;

    CellRows layerTable(size_t(layerCount) + 1, std::vector<QVariant>(size_t(columns)));
    const QStringList layerHeaders{QStringLiteral("No"), QStringLiteral("ファイル名"), QStringLiteral("画層名"),
                                   QStringLiteral("表示"), QStringLiteral("ﾌﾘｰｽﾞ"), QStringLiteral("ﾛｯｸ"),
                                   QStringLiteral("色"), QStringLiteral("線種"), QStringLiteral("線の太さ"),
                                   QStringLiteral("印刷ｽﾀｲﾙ"), QStringLiteral("印刷"), QStringLiteral("オブジェクト総数"),
                                   QStringLiteral("ブロック総数"), QStringLiteral("ダイナミックテキスト総数")};
    for (int c = 0; c < columns; ++c) layerTable[0][size_t(c)] = layerHeaders[c];
    CellRows textTable{{QStringLiteral("No"), QStringLiteral("ファイル名"), QStringLiteral("画層名"),
                         QStringLiteral("ダイナミックテキスト"), QStringLiteral("ハンドル値")}};

    for (int k = 0; k < layerCount; ++k) {
        std::vector<QVariant>& row = layerTable[size_t(k) + 1];
        const LayerPtr layer = skipErrorValue([&] { return layers->item(k); }).value_or(nullptr);
        const QString layerName = layer ? skipErrorValue([&] { return layer->name(); }).value_or(QString()) : QString();
        const QString label = caption + QStringLiteral("  Layer：") + layerName;
        status(label + QStringLiteral("  画像状態取得中"));

        row[0] = k + 1;
        row[1] = sDWGFullPath;
        row[2] = layerName;
        if (layer) {
            if (auto v = skipErrorValue([&] { return layer->layerOn(); })) row[3] = yesNo(*v);
            if (auto v = skipErrorValue([&] { return layer->freeze(); })) row[4] = yesNo(*v);
            if (auto v = skipErrorValue([&] { return layer->lock(); })) row[5] = yesNo(*v);
            if (auto v = skipErrorValue([&] { return layer->color(); })) row[6] = *v;
            if (auto v = skipErrorValue([&] { return layer->linetype(); })) row[7] = *v;
        }

        const QString lineweightLabel = label + QStringLiteral("  画像状態取得中(線の太さ)");
        status(lineweightLabel);
        const std::optional<int> weight = layer ? skipErrorValue([&] { return layer->lineweight(); }) : std::nullopt;
        for (size_t i = 0; i < lineweights.size(); ++i) {
            status(lineweightLabel + QString::number(i));
            if (weight && lineweights[i].value == *weight) {
                row[8] = lineweights[i].name;
                break;
            }
        }
        if (layer) {
            if (auto v = skipErrorValue([&] { return layer->plotStyleName(); })) row[9] = *v;
            if (auto v = skipErrorValue([&] { return layer->plottable(); })) row[10] = yesNo(*v);
        }

        const std::vector<short> textTypes{8, 0};
        const QVariantList textData{layerName, QStringLiteral("TEXT")};
        if (bCount) {
            status(label + QStringLiteral("  オブジェクト数取得中1"));
            const std::vector<short> layerTypes{8};
            const QVariantList layerData{layerName};
            status(label + QStringLiteral("  オブジェクト数取得中2"));
            selectAll(set, layerTypes, layerData);
            const int objects = countOf(set);
            row[11] = objects;

            status(label + QStringLiteral("  ブロック数取得中"));
            int blocks = 0;
            for (int i = 0; i < objects; ++i) {
                const QString objectName = skipErrorValue([&] { return set->item(i)->objectName(); }).value_or(QString());
                if (objectName == QStringLiteral("AcDbBlockReference")) {
                    ++blocks;
                    status(label + QStringLiteral("  ブロック数取得中") + QString::number(blocks));
                }
            }
            row[12] = blocks;

            status(label + QStringLiteral("  テキスト取得中1"));
            selectAll(set, textTypes, textData);
            row[13] = countOf(set);
        }

        if (bOutputText) {
            lblStatus.setCaption(label + QStringLiteral("  テキスト取得中2"));
            if (!bCount) {
                lblStatus.setCaption(label + QStringLiteral("  テキスト取得中1"));
                selectAll(set, textTypes, textData);
            }
            const int texts = countOf(set);
            for (int t = 0; t < texts; ++t) {
                status(label + QStringLiteral("  テキスト取得中") + QString::number(t));
                const EntityPtr item = skipErrorValue([&] { return set->item(t); }).value_or(nullptr);
                if (!item) continue;
                const QString text = skipErrorValue([&] { return item->textString(); }).value_or(QString());
                if (!passes(layerName, sLayerFilter, bLayerInclude, bLayerWhole)) continue;
                if (!passes(text, sTextFilter, bTextInclude, bTextWhole)) continue;
                const QString handle = skipErrorValue([&] { return item->handle(); }).value_or(QString());
                textTable.push_back({int(textTable.size()), sDWGFullPath, layerName, text, QStringLiteral("'") + handle});
            }
        }
    }

    if (set) skipError([&] { set->deleteSet(); });
    setScreenUpdating(xlBook, false);

    // The templates are the layer table's columns, rearranged.
    CellRows renameTable(layerTable.size(), std::vector<QVariant>(3));
    CellRows stateTable(layerTable.size(), std::vector<QVariant>(10));
    renameTable[0] = {QStringLiteral("No"), QStringLiteral("検索文字"), QStringLiteral("置換文字")};
    stateTable[0][0] = QStringLiteral("No");
    stateTable[0][1] = QStringLiteral("画層名規則");
    for (size_t r = 0; r < layerTable.size(); ++r) {
        if (r > 0) {
            renameTable[r] = {layerTable[r][0], layerTable[r][2], layerTable[r][2]};
            stateTable[r][0] = layerTable[r][0];
            stateTable[r][1] = layerTable[r][2];
        }
        for (size_t c = 3; c <= 10; ++c) stateTable[r][c - 1] = layerTable[r][c];
    }

    bool stateAtTop = false;
    SheetSink* wsText = bOutputText ? xlBook.textSheet() : nullptr;
    if (appendTable(xlBook.layerSheet(), layerTable) && appendTable(xlBook.renameSheet(), renameTable) &&
        appendTable(xlBook.stateSheet(), stateTable, &stateAtTop)) {
        bool ok = true;
        if (stateAtTop) {
            try {
                subSetRuleValidation(xlBook.stateSheet(), xlBook.listSheet(), doc);
            } catch (const SinkError&) {
                // The choice lists are a convenience; the survey's rows stand without them.
            }
        }
        if (wsText && textTable.size() > 1) ok = appendTable(*wsText, textTable);
        if (ok) {
            if (drawing.bOpenedHere)
                skipError([&] { doc->close(false); });
            else
                skipError([&] { doc->regen(0); });
            result = true;
        }
    }

    setScreenUpdating(xlBook, true);
    return result;
}

}  // namespace host
