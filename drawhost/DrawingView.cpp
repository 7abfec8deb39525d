#include "DrawingView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <cmath>

namespace drawhost {

DrawingView::DrawingView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(false);
    setMinimumSize(200, 150);
    setMouseTracking(false);
}

void DrawingView::setScene(Scene scene) {
    scene_ = std::move(scene);
    if (pending_ == Pending::Extents) applyPending();
    update();
}

QTransform DrawingView::worldToView() const {
    QTransform t;
    t.translate(width() / 2.0, height() / 2.0);
    t.scale(scale_, -scale_);
    t.translate(-center_.x(), -center_.y());
    return t;
}

bool DrawingView::hasSize() const { return isVisible() && width() >= 10 && height() >= 10; }

QRectF DrawingView::currentWorld() const {
    const double w = width() / scale_, h = height() / scale_;
    return QRectF(center_.x() - w / 2, center_.y() - h / 2, w, h);
}

QRectF DrawingView::visibleWorld() const {
    if (pending_ == Pending::Window) return pendingWindow_;
    return currentWorld();
}

// Centres the window and shows all of it: the window's longer side, measured
// against the view's shape, fills the view.
void DrawingView::fit(const QRectF& world) {
    center_ = world.center();
    const double w = world.width(), h = world.height();
    double scale = std::min(w > 0 ? width() / w : HUGE_VAL, h > 0 ? height() / h : HUGE_VAL);
    // A window without area (a point) keeps the scale and only moves the centre.
    if (std::isfinite(scale) && scale > 0) scale_ = scale;
    update();
}

QRectF DrawingView::extentsWindow() const {
    const QRectF e = scene_.extents;
    return e.adjusted(-e.width() * 0.03, -e.height() * 0.03, e.width() * 0.03, e.height() * 0.03);
}

// Carries out the zoom that waited for a size on screen or for the scene.
void DrawingView::applyPending() {
    if (pending_ == Pending::None || !hasSize()) return;
    if (pending_ == Pending::Window) {
        fit(pendingWindow_);
    } else {
        if (scene_.extents.isNull()) return;
        fit(extentsWindow());
        scale_ *= pendingScale_;
    }
    pending_ = Pending::None;
    pendingScale_ = 1;
    update();
}

void DrawingView::zoomWindow(const QRectF& world) {
    QRectF r = world.normalized();
    if (!std::isfinite(r.width()) || !std::isfinite(r.height())) return;
    pending_ = Pending::Window;
    pendingWindow_ = r;
    pendingScale_ = 1;
    applyPending();
}

void DrawingView::zoomExtents() {
    pending_ = Pending::Extents;
    pendingScale_ = 1;
    if (!scene_.extents.isNull()) center_ = scene_.extents.center();
    applyPending();
    update();
}

void DrawingView::zoomScaled(double scale, bool relative) {
    if (!(scale > 0) || !std::isfinite(scale)) return;
    if (!relative) zoomExtents();
    switch (pending_) {
    case Pending::None:
        scale_ *= scale;
        break;
    case Pending::Extents:
        pendingScale_ *= scale;
        break;
    case Pending::Window: {
        // Showing the window at `scale` of its size shows 1/scale of the drawing around it.
        const QPointF c = pendingWindow_.center();
        const QSizeF s = pendingWindow_.size() / scale;
        pendingWindow_ = QRectF(c.x() - s.width() / 2, c.y() - s.height() / 2, s.width(), s.height());
        break;
    }
    }
    update();
}

void DrawingView::resizeEvent(QResizeEvent*) { applyPending(); }

void DrawingView::showEvent(QShowEvent*) { applyPending(); }

void DrawingView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(33, 40, 48));
    p.setRenderHint(QPainter::Antialiasing, true);
    const QTransform t = worldToView();
    const QRectF visible = currentWorld();
    for (const Primitive& item : scene_.items) {
        switch (item.kind) {
        case Primitive::Path: {
            if (!item.points.boundingRect().intersects(visible) && !item.points.boundingRect().isEmpty()) {
                // A horizontal or vertical line has an empty rect; check it by its ends.
                if (!visible.intersects(item.points.boundingRect().adjusted(-1e-9, -1e-9, 1e-9, 1e-9))) break;
            }
            QPen pen(item.color, 0);
            p.setPen(pen);
            const QPolygonF pts = t.map(item.points);
            if (item.closed) p.drawPolygon(pts);
            else p.drawPolyline(pts);
            break;
        }
        case Primitive::Dot: {
            p.setPen(QPen(item.color, 3));
            p.drawPoint(t.map(item.points.front()));
            break;
        }
        case Primitive::Text: {
            const double px = item.height * scale_;
            if (px < 3) break;  // too small to read: not worth the time
            const QPointF at = t.map(item.points.front());
            if (!rect().adjusted(-2000, -2000, 2000, 2000).contains(at.toPoint())) break;
            p.save();
            p.translate(at);
            p.rotate(-item.angle);
            QFont f = font();
            f.setPixelSize(std::max(1, int(px)));
            p.setFont(f);
            p.setPen(item.color);
            const QStringList lines = item.text.split(u'\n');
            for (int i = 0; i < lines.size(); ++i) p.drawText(QPointF(0, i * px * 1.4), lines[i]);
            p.restore();
            break;
        }
        }
    }
}

void DrawingView::wheelEvent(QWheelEvent* e) {
    const double factor = std::pow(1.0015, e->angleDelta().y());
    const QPointF before = worldToView().inverted().map(e->position());
    scale_ *= factor;
    const QPointF after = worldToView().inverted().map(e->position());
    center_ += before - after;
    pending_ = Pending::None;
    update();
}

void DrawingView::mousePressEvent(QMouseEvent* e) { dragFrom_ = e->pos(); }

void DrawingView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & (Qt::MiddleButton | Qt::LeftButton))) return;
    const QPoint d = e->pos() - dragFrom_;
    dragFrom_ = e->pos();
    center_ -= QPointF(d.x() / scale_, -d.y() / scale_);
    pending_ = Pending::None;
    update();
}

}  // namespace drawhost
