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
    if (zoomPending_) zoomExtents();
    update();
}

QTransform DrawingView::worldToView() const {
    QTransform t;
    t.translate(width() / 2.0, height() / 2.0);
    t.scale(scale_, -scale_);
    t.translate(-center_.x(), -center_.y());
    return t;
}

QRectF DrawingView::visibleWorld() const {
    const double w = width() / scale_, h = height() / scale_;
    return QRectF(center_.x() - w / 2, center_.y() - h / 2, w, h);
}

void DrawingView::zoomWindow(const QRectF& world) {
    const QRectF r = world.normalized();
    if (width() <= 0 || height() <= 0) return;
    center_ = r.center();
    const double w = std::max(r.width(), 1e-9), h = std::max(r.height(), 1e-9);
    scale_ = std::min(width() / w, height() / h);
    if (!std::isfinite(scale_) || scale_ <= 0) scale_ = 1;
    update();
}

void DrawingView::zoomExtents() {
    if (scene_.extents.isNull() || !isVisible() || width() < 10) {
        zoomPending_ = true;
        if (!scene_.extents.isNull()) center_ = scene_.extents.center();
        update();
        return;
    }
    zoomPending_ = false;
    const QRectF e = scene_.extents;
    zoomWindow(e.adjusted(-e.width() * 0.03, -e.height() * 0.03, e.width() * 0.03, e.height() * 0.03));
}

void DrawingView::zoomScaled(double scale, bool relative) {
    if (scale <= 0) return;
    if (!relative) {
        zoomExtents();
        zoomPending_ = false;
    }
    scale_ *= scale;
    update();
}

void DrawingView::resizeEvent(QResizeEvent*) {
    if (zoomPending_) zoomExtents();
}

void DrawingView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(33, 40, 48));
    p.setRenderHint(QPainter::Antialiasing, true);
    const QTransform t = worldToView();
    const QRectF visible = visibleWorld();
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
    zoomPending_ = false;
    update();
}

void DrawingView::mousePressEvent(QMouseEvent* e) { dragFrom_ = e->pos(); }

void DrawingView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & (Qt::MiddleButton | Qt::LeftButton))) return;
    const QPoint d = e->pos() - dragFrom_;
    dragFrom_ = e->pos();
    center_ -= QPointF(d.x() / scale_, -d.y() / scale_);
    zoomPending_ = false;
    update();
}

}  // namespace drawhost
