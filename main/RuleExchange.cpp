#include "main/RuleExchange.h"

#include <cmath>

#include "support/Foreground.h"
#include "support/MessageBox.h"

namespace mainwin {

namespace {

const QStringList& headersOf(int iMode) {
    static const QStringList rename{QStringLiteral("検索文字"), QStringLiteral("置換文字")};
    static const QStringList state{QStringLiteral("画層名規則"), QStringLiteral("表示"), QStringLiteral("ﾌﾘｰｽﾞ"),
                                   QStringLiteral("ﾛｯｸ"), QStringLiteral("色"), QStringLiteral("線種"),
                                   QStringLiteral("線の太さ"), QStringLiteral("印刷ｽﾀｲﾙ"), QStringLiteral("印刷")};
    return iMode == 1 ? rename : state;
}

int columnsOf(int iMode) { return iMode == 1 ? 3 : 10; }

}  // namespace

bool fun_bPutTable(Worksheet& ws, const CellBlock& vTable, long lRow) {
    try {
        ws.setValues(int(lRow), 1, vTable);
        ws.autoFitColumns();
        return true;
    } catch (const calc::SheetError&) {
        return false;
    }
}

bool fun_bPutTable(Worksheet& ws, const support::ListTable& vTable, long lRow) {
    CellBlock block(size_t(vTable.rows()), std::vector<QVariant>(size_t(vTable.columns())));
    for (int r = 0; r < vTable.rows(); ++r)
        for (int c = 0; c < vTable.columns(); ++c) block[size_t(r)][size_t(c)] = QVariant(vTable.at(r, c));
    return fun_bPutTable(ws, block, lRow);
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
    } catch (const calc::SheetError&) {
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

}  // namespace mainwin
