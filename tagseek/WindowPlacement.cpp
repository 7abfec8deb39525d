#include "tagseek/WindowPlacement.h"

#include <QApplication>
#include <QRect>
#include <QScreen>

namespace tagseek {

QPoint onScreen(const QPoint& stored, const QSize& size) {
    const QRect window(stored, size);
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(window)) return stored;
    return QPoint(0, 0);
}

QFont tagseekFont() {
    QFont font = QApplication::font();
    font.setPixelSize(12);
    return font;
}

}  // namespace tagseek
