#pragma once
// Where Tagseek's windows go: positions are stored in twips (15 to a pixel),
// and a stored position that no screen shows any more (another monitor
// set-up) opens at the top left instead of out of sight.
#include <QFont>
#include <QPoint>
#include <QSize>

namespace tagseek {

inline constexpr int kTwipsPerPixel = 15;

QPoint onScreen(const QPoint& stored, const QSize& size);

// The windows were laid out for a 9-point interface font; texts fit their
// designed places at that size.
QFont tagseekFont();

}  // namespace tagseek
