// The host shell of a window: what the automation interface asks of drawhost's
// window lands in its MainWindow.
#include "MainWindow.h"

#include "drawhost/AutomationServer.h"

namespace drawhost {

bool WindowShell::visible() { return window_ ? window_->isVisible() : HostShell::visible(); }

void WindowShell::setVisible(bool on) {
    if (!window_) return HostShell::setVisible(on);
    window_->setVisible(on);
}

int WindowShell::windowState() {
    if (!window_) return HostShell::windowState();
    if (window_->isMinimized()) return host::kWindowMinimized;
    if (window_->isMaximized()) return host::kWindowMaximized;
    return host::kWindowNormal;
}

void WindowShell::setWindowState(int state) {
    if (!window_) return HostShell::setWindowState(state);
    if (state == host::kWindowMinimized) window_->showMinimized();
    else if (state == host::kWindowMaximized) window_->showMaximized();
    else window_->showNormal();
}

QString WindowShell::caption() { return window_ ? window_->captionText() : HostShell::caption(); }

void WindowShell::activateWindow() {
    if (!window_) return;
    if (window_->isMinimized()) window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void WindowShell::sendKeys(const QString& keys) {
    if (window_) window_->commandLine().type(keys);
}

void WindowShell::zoomWindow(const host::Point3& lo, const host::Point3& hi) {
    if (window_) window_->zoomWindow(lo.x, lo.y, hi.x, hi.y);
}

void WindowShell::zoomScaled(double scale, int scaleType) {
    // Scale type 0 is absolute (of the whole drawing); 1 and 2 are relative to the view.
    if (window_) window_->zoomScaled(scale, scaleType != 0);
}

void WindowShell::getViewExtents(host::Point3& lo, host::Point3& hi) {
    if (!window_) return HostShell::getViewExtents(lo, hi);
    const QRectF r = window_->visibleWorld();
    lo = host::Point3{r.left(), r.top(), 0};
    hi = host::Point3{r.right(), r.bottom(), 0};
}

void WindowShell::update() {
    if (window_) window_->update();
}

void WindowShell::documentsChanged() {
    if (window_) window_->documentsChanged();
    host::AutomationServer::noteChange();
}

void WindowShell::drawingChanged(dxf::Drawing* drawing) {
    if (window_) window_->drawingChanged(drawing);
    host::AutomationServer::noteChange();
}

}  // namespace drawhost
