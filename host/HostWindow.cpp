#include "HostWindow.h"

#include <QWidget>

namespace host {

void subSetForeground(QWidget* window) {
    if (!window) return;
    if (window->isMinimized()) window->showNormal();
    window->raise();
    window->activateWindow();
}

void subSetTopmost(QWidget* window) {
    if (!window) return;
    if (!(window->windowFlags() & Qt::WindowStaysOnTopHint)) {
        // Changing the flags hides the window; show it again where it was.
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    window->show();
    window->raise();
}

}  // namespace host
