#include "host/ValueLists.h"

#include <cmath>

#include "host/SkipError.h"

namespace host {

void subGetLineweightTable(LineweightTable& vTable) {
    vTable = {
        {QStringLiteral("ByLayer"), -1}, {QStringLiteral("ByBlock"), -2}, {QStringLiteral("Default"), -3},
        {QStringLiteral("0.00 mm"), 0},  {QStringLiteral("0.05 mm"), 5},  {QStringLiteral("0.09 mm"), 9},
        {QStringLiteral("0.13 mm"), 13}, {QStringLiteral("0.15 mm"), 15}, {QStringLiteral("0.18 mm"), 18},
        {QStringLiteral("0.20 mm"), 20}, {QStringLiteral("0.25 mm"), 25}, {QStringLiteral("0.30 mm"), 30},
        {QStringLiteral("0.35 mm"), 35}, {QStringLiteral("0.40 mm"), 40}, {QStringLiteral("0.50 mm"), 50},
        {QStringLiteral("0.53 mm"), 53}, {QStringLiteral("0.60 mm"), 60}, {QStringLiteral("0.70 mm"), 70},
        {QStringLiteral("0.80 mm"), 80}, {QStringLiteral("0.90 mm"), 90}, {QStringLiteral("1.00 mm"), 100},
        {QStringLiteral("1.06 mm"), 106}, {QStringLiteral("1.20 mm"), 120}, {QStringLiteral("1.40 mm"), 140},
        // The host's own list names this weight "1.48 mm" but stores 158.
        {QStringLiteral("1.48 mm"), 158}, {QStringLiteral("2.00 mm"), 200}, {QStringLiteral("2.11 mm"), 211},
    };
}

long fun_lGetLineweightValue(const QString& sName) {
    LineweightTable table;
    subGetLineweightTable(table);
    for (const auto& row : table)
        if (row.name == sName) return row.value;
    return -3;
}

QString lineweightName(long lValue) {
    LineweightTable table;
    subGetLineweightTable(table);
    for (const auto& row : table)
        if (row.value == lValue) return row.name;
    return QString();
}

namespace {

// Components of the full-saturation hue wheel at a multiple of 15 degrees, in
// quarters (0 to 4), so that the shades below are computed exactly.
void hueQuarters(int degrees, int& r, int& g, int& b) {
    const int sector = degrees / 60;
    const int within = degrees % 60;  // 0, 15, 30 or 45
    const int rising = within / 15;   // 0..3 quarters
    const int falling = 4 - rising;
    switch (sector) {
    case 0: r = 4; g = rising; b = 0; break;
    case 1: r = falling; g = 4; b = 0; break;
    case 2: r = 0; g = 4; b = rising; break;
    case 3: r = 0; g = falling; b = 4; break;
    case 4: r = rising; g = 0; b = 4; break;
    default: r = 4; g = 0; b = falling; break;
    }
}

QStringList buildColorTable() {
    static const int brightness[10] = {255, 255, 204, 204, 153, 153, 127, 127, 76, 76};
    static const char* const basic[10] = {"255,0,0",     "255,0,0",   "255,255,0",   "0,255,0",
                                          "0,255,255",   "0,0,255",   "255,0,255",   "255,255,255",
                                          "128,128,128", "192,192,192"};
    QStringList table;
    for (int i = 0; i <= 9; ++i) table << QString::fromLatin1(basic[i]);  // 0 is "any other index"
    for (int index = 10; index <= 249; ++index) {
        const int h = index / 10, s = index % 10;
        int q[3];
        hueQuarters((h - 1) * 15, q[0], q[1], q[2]);
        QStringList parts;
        for (int c : q) {
            // even s: brightness × c; odd s: brightness × (1 + c) / 2, c in quarters.
            const int value = (s % 2 == 0) ? brightness[s] * c / 4 : brightness[s] * (4 + c) / 8;
            parts << QString::number(value);
        }
        table << parts.join(QLatin1Char(','));
    }
    for (int grey : {51, 91, 132, 173, 214, 255})
        table << QStringLiteral("%1,%1,%1").arg(grey);
    table << QStringLiteral("255,0,0");  // 256
    return table;
}

}  // namespace

const QStringList& colorTable() {
    static const QStringList table = buildColorTable();
    return table;
}

void subGetColorRGB(int iColor, long& lRed, long& lGreen, long& lBlue) {
    const QStringList& table = colorTable();
    const QString text = (iColor >= 1 && iColor <= 255) ? table.at(iColor) : table.at(0);
    const QStringList parts = text.split(QLatin1Char(','));
    lRed = parts.value(0).toLong();
    lGreen = parts.value(1).toLong();
    lBlue = parts.value(2).toLong();
}

bool fun_bGetLayerState(const LayerPtr& objLayer, QStringList& vState) {
    if (vState.size() != 8) {
        vState.clear();
        for (int i = 0; i < 8; ++i) vState << QString();
    }
    if (!objLayer) return false;
    auto yesNo = [](bool on) { return on ? kYes : kNo; };
    try {
        vState[0] = yesNo(objLayer->layerOn());
        vState[1] = yesNo(objLayer->freeze());
        vState[2] = yesNo(objLayer->lock());
        vState[3] = QString::number(objLayer->color());
        vState[4] = objLayer->linetype();
        // A value without a row gives an empty text, also in a reused list,
        // so that no other layer's lineweight is shown for it.
        vState[5] = lineweightName(objLayer->lineweight());
        vState[6] = objLayer->plotStyleName();
        vState[7] = yesNo(objLayer->plottable());
    } catch (const HostError&) {
        return false;
    }
    return true;
}

QStringList yesNoChoices() { return {kNoChange, kYes, kNo}; }

QStringList colorChoices() {
    QStringList list{kNoChange};
    for (int i = 1; i <= 255; ++i) list << QString::number(i);
    return list;
}

QStringList lineweightChoices() {
    LineweightTable table;
    subGetLineweightTable(table);
    QStringList list{kNoChange};
    for (size_t i = 2; i < table.size(); ++i) list << table[i].name;
    return list;
}

QStringList linetypeChoices(const QStringList& linetypeNames) {
    QStringList list{kNoChange};
    for (const QString& name : linetypeNames) {
        const QString lower = name.toLower();
        if (lower == QLatin1String("bylayer") || lower == QLatin1String("byblock")) continue;
        list << name;
    }
    return list;
}

QStringList plotStyleChoices(const QStringList& plotStyleNames) {
    QStringList list{kNoChange};
    QString offered;
    for (const QString& name : plotStyleNames) {
        if (name.isEmpty() || offered.contains(name)) continue;
        offered += name;
        list << name;
    }
    return list;
}

double leadingNumber(const QString& text) {
    int i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    const int start = i;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) ++i;
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) ++i;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

}  // namespace host
