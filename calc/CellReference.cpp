#include "CellReference.h"

#include <QRegularExpression>
#include <QStringList>

namespace calc {

QString columnLetters(int column) {
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26) letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

QString absoluteAddress(int firstRow, int firstColumn, int lastRow, int lastColumn) {
    QString a = QStringLiteral("$%1$%2").arg(columnLetters(firstColumn)).arg(firstRow);
    if (firstRow == lastRow && firstColumn == lastColumn) return a;
    return a + QStringLiteral(":$%1$%2").arg(columnLetters(lastColumn)).arg(lastRow);
}

std::optional<QString> r1c1ToOfficeReference(const QString& refersTo) {
    static const QRegularExpression form(
        QStringLiteral("^=?(?:'((?:[^']|'')+)'|([^!']+))!R(\\d+)C(\\d+)(?::R(\\d+)C(\\d+))?$"));
    const QRegularExpressionMatch m = form.match(refersTo.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    QString sheet = m.captured(1).isNull() ? m.captured(2) : m.captured(1).replace(QStringLiteral("''"), QStringLiteral("'"));
    const int r1 = m.captured(3).toInt(), c1 = m.captured(4).toInt();
    const int r2 = m.captured(5).isNull() ? r1 : m.captured(5).toInt();
    const int c2 = m.captured(6).isNull() ? c1 : m.captured(6).toInt();
    if (r1 < 1 || c1 < 1 || r2 < r1 || c2 < c1) return std::nullopt;
    sheet.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("$'%1'.").arg(sheet) + absoluteAddress(r1, c1, r2, c2);
}

QString officeListSource(const QString& formula1) {
    if (formula1.startsWith(u'=')) return formula1.mid(1);
    QStringList items;
    for (QString item : formula1.split(u',')) items << u'"' + item.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return items.join(u';');
}

}  // namespace calc
