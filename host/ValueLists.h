#pragma once
// The fixed vocabulary between the texts of rules, lists and sheets and the
// numbers and switches of the drawing host: the yes/no texts, the lineweight
// and colour tables, one layer's eight settings as texts, and the contents of
// the state rule dialog's choice lists.
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "host/HostApi.h"

namespace host {

inline const QString kNoChange = QStringLiteral("(変更なし)");
inline const QString kYes = QStringLiteral("する");
inline const QString kNo = QStringLiteral("しない");

// One row of the lineweight table: its name and the host's value (hundredths
// of a millimetre, or -1 ByLayer, -2 ByBlock, -3 Default).
struct LineweightRow {
    QString name;
    long value;
};
using LineweightTable = std::vector<LineweightRow>;

// Rows 0 to 26, "ByLayer" to "2.11 mm". Row 24 pairs "1.48 mm" with 158.
void subGetLineweightTable(LineweightTable& vTable);
// The value of the first row named exactly sName; -3 ("Default") when none is.
long fun_lGetLineweightValue(const QString& sName);
// The name of the first row whose value is lValue; a null text when none is.
QString lineweightName(long lValue);

// The colour table: one "r,g,b" text per colour index 0 to 256 (0 and 256 are
// the "any other index" entry, red).
const QStringList& colorTable();
// The red, green and blue components of a colour index; red for an index
// outside 1 to 255.
void subGetColorRGB(int iColor, long& lRed, long& lGreen, long& lBlue);

// Reads the eight settings of a layer as texts into vState (resized to eight
// entries when it has another size). False when a host call failed; the
// fields read before it stay filled.
bool fun_bGetLayerState(const LayerPtr& objLayer, QStringList& vState);

// Choice lists of the state rule dialog, each starting with "(変更なし)".
QStringList yesNoChoices();
QStringList colorChoices();  // "1" to "255": an entry's position is its colour index
QStringList lineweightChoices();  // "Default" to "2.11 mm"
// The drawing's linetypes less "ByLayer" and "ByBlock" (any letter case).
QStringList linetypeChoices(const QStringList& linetypeNames);
// The layers' plot style names, each offered unless it occurs as a substring
// in the names offered before it.
QStringList plotStyleChoices(const QStringList& plotStyleNames);

// The leading numeric part of a text, as the rule fields are read: leading
// blanks skipped, an optional sign, digits and an optional fraction; 0 when
// the text starts with none.
double leadingNumber(const QString& text);

}  // namespace host
