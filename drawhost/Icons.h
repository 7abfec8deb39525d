#pragma once
// drawhost's icons, drawn rather than shipped: the toolbar's and the layer
// panel's state icons.
#include <QColor>
#include <QIcon>

namespace drawhost {

enum class IconKind {
    Open, Save, ZoomExtents, ZoomWindow, ZoomPrevious, Pan, Regen, Lineweight, Help,
    LayerOn, LayerOff, Thawed, Frozen, Locked, Unlocked, Plot, NoPlot
};

QIcon icon(IconKind kind);
// A small square of a colour, for colour lists.
QIcon colorSwatch(const QColor& color);

}  // namespace drawhost
