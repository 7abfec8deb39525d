#include "DrawingView.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QThreadPool>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "LayoutRender.h"
#include "ScenePainter.h"

namespace drawhost {

namespace {
const QColor kModelBackground(33, 40, 48);
const QColor kPaperBackground(90, 96, 104);
constexpr int kClickSlop = 4;       // pixels a click may move and still pick a point
constexpr int kHistory = 20;        // previous views kept
constexpr int kSettleMs = 180;      // after the last wheel step or drag, draw smoothly again
// A smooth (antialiased) frame costs about twice a plain one. Where it would
// take longer than this, the plain frame stays: the event loop, and with it
// the automation server, is not held up for a finer picture of a dense view.
constexpr double kSmoothLimitMs = 250;
constexpr qint64 kWheelBurstMs = 600;
}  // namespace

DrawingView::DrawingView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
    setMouseTracking(true);
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(kSettleMs);
    connect(settle_, &QTimer::timeout, this, [this] {
        fast_ = false;
        update();
    });
}

void DrawingView::setScene(std::shared_ptr<const Scene> scene) {
    scene_ = std::move(scene);
    indexScene_ = scene_ != nullptr;
    if (pending_ == Pending::Extents) applyPending();
    firstFrame();
}

void DrawingView::setLayout(std::shared_ptr<const LayoutRender> layout) {
    layout_ = std::move(layout);
    if (pending_ == Pending::Extents) applyPending();
    firstFrame();
}

// A new scene is shown at once without antialiasing, smoothly a moment later.
void DrawingView::firstFrame() {
    fullMs_ = 0;
    if (scene_ || layout_) interacting();
    invalidate();
}

void DrawingView::setLineweights(bool on) {
    lineweights_ = on;
    invalidate();
}

void DrawingView::invalidate() {
    frameValid_ = false;
    update();
}

void DrawingView::setPicking(bool on, std::optional<QPointF> from) {
    picking_ = on;
    rubberFrom_ = on ? from : std::nullopt;
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    update();
}

QTransform DrawingView::worldToView() const {
    QTransform t;
    t.translate(width() / 2.0, height() / 2.0);
    t.scale(scale_, -scale_);
    t.translate(-center_.x(), -center_.y());
    return t;
}

QPointF DrawingView::toWorld(const QPointF& widgetPoint) const { return worldToView().inverted().map(widgetPoint); }

bool DrawingView::hasSize() const { return isVisible() && width() >= 10 && height() >= 10; }

QRectF DrawingView::currentWorld() const {
    const double w = width() / scale_, h = height() / scale_;
    return QRectF(center_.x() - w / 2, center_.y() - h / 2, w, h);
}

QRectF DrawingView::visibleWorld() const {
    if (pending_ == Pending::Window) return pendingWindow_;
    return currentWorld();
}

QRectF DrawingView::extents() const {
    if (layout_) {
        const QRectF sheet = layout_->limits();
        const QRectF drawn = layout_->extents();
        if (sheet.isEmpty()) return drawn;
        return drawn.isNull() ? sheet : sheet.united(drawn);
    }
    return scene_ ? scene_->extents : QRectF();
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
    const QRectF e = extents();
    return e.adjusted(-e.width() * 0.03, -e.height() * 0.03, e.width() * 0.03, e.height() * 0.03);
}

// Carries out the zoom that waited for a size on screen or for the scene.
void DrawingView::applyPending() {
    if (pending_ == Pending::None || !hasSize()) return;
    if (pending_ == Pending::Window) {
        fit(pendingWindow_);
    } else {
        if (extents().isNull()) return;
        fit(extentsWindow());
        scale_ *= pendingScale_;
    }
    pending_ = Pending::None;
    pendingScale_ = 1;
    update();
}

void DrawingView::remember() {
    if (pending_ != Pending::None) return;  // nothing shown yet to go back to
    previous_.push_back(ViewState{center_, scale_});
    if (previous_.size() > kHistory) previous_.erase(previous_.begin());
}

bool DrawingView::zoomPrevious() {
    if (previous_.empty()) return false;
    const ViewState v = previous_.back();
    previous_.pop_back();
    center_ = v.center;
    scale_ = v.scale;
    pending_ = Pending::None;
    update();
    return true;
}

void DrawingView::zoomWindow(const QRectF& world) {
    QRectF r = world.normalized();
    if (!std::isfinite(r.width()) || !std::isfinite(r.height())) return;
    remember();
    pending_ = Pending::Window;
    pendingWindow_ = r;
    pendingScale_ = 1;
    applyPending();
}

void DrawingView::zoomExtents() {
    remember();
    pending_ = Pending::Extents;
    pendingScale_ = 1;
    if (!extents().isNull()) center_ = extents().center();
    applyPending();
    update();
}

void DrawingView::zoomScaled(double scale, bool relative) {
    if (!(scale > 0) || !std::isfinite(scale)) return;
    if (!relative) zoomExtents();
    else remember();
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

void DrawingView::pan(const QPointF& by) {
    remember();
    center_ += by;
    pending_ = Pending::None;
    update();
}

void DrawingView::resizeEvent(QResizeEvent*) { applyPending(); }

void DrawingView::showEvent(QShowEvent*) { applyPending(); }

void DrawingView::render(QPainter& p, const QTransform& t, const QRect& area, bool antialias) {
    p.save();
    p.setClipRect(area);
    if (layout_) {
        p.fillRect(area, kPaperBackground);
        const QRectF sheet = layout_->limits().isEmpty() ? layout_->extents() : layout_->limits();
        if (!sheet.isEmpty()) {
            const QRectF onScreen = t.mapRect(sheet);
            p.fillRect(onScreen.translated(4, 4), QColor(40, 40, 40));
            p.fillRect(onScreen, Qt::white);
        }
        RenderStyle style;
        style.lineweights = lineweights_;
        style.pixelsPerMm = scale_;
        style.antialias = antialias;
        layout_->paint(p, t, QRectF(area), style);
    } else {
        p.fillRect(area, kModelBackground);
        if (scene_) {
            PaintOptions o;
            o.lineweights = lineweights_;
            o.antialias = antialias;
            paintScene(p, *scene_, t, QRectF(area), o);
        }
    }
    p.restore();
}

// Brings the kept frame up to the view: a pan draws only the strips that
// came into view; a zoom draws everything (while the wheel turns, the old
// frame is shown scaled instead).
void DrawingView::updateFrame(const QTransform& t) {
    const bool smooth = !fast_ && (fullSmooth_ ? fullMs_ : 2 * fullMs_) < kSmoothLimitMs;
    if (frame_.size() != size()) {
        frame_ = QImage(size(), QImage::Format_RGB32);
        frameValid_ = false;
    }
    const QPointF shift = t.map(QPointF()) - frameTransform_.map(QPointF());
    const bool samePlace = frameValid_ && frameTransform_ == t;
    if (samePlace && (frameSmooth_ || !smooth)) return;
    const bool panned = frameValid_ && std::abs(t.m11() - frameTransform_.m11()) < 1e-12 * std::abs(t.m11()) &&
                        std::abs(shift.x() - std::round(shift.x())) < 1e-6 && std::abs(shift.y() - std::round(shift.y())) < 1e-6 &&
                        (frameSmooth_ || !smooth) && !samePlace;
    if (panned) {
        const QPoint by(int(std::lround(shift.x())), int(std::lround(shift.y())));
        QImage moved(frame_.size(), QImage::Format_RGB32);
        QPainter p(&moved);
        p.drawImage(by, frame_);
        const QRect kept = QRect(QPoint(), frame_.size()).translated(by) & moved.rect();
        // What is left of the old frame is kept; the rest is drawn.
        const QRect all = moved.rect();
        const QRect bands[4] = {QRect(all.left(), all.top(), all.width(), kept.top() - all.top()),
                                QRect(all.left(), kept.bottom() + 1, all.width(), all.bottom() - kept.bottom()),
                                QRect(all.left(), kept.top(), kept.left() - all.left(), kept.height()),
                                QRect(kept.right() + 1, kept.top(), all.right() - kept.right(), kept.height())};
        for (const QRect& band : bands)
            if (band.isValid() && !band.isEmpty()) render(p, t, band, smooth);
        p.end();
        frame_ = std::move(moved);
    } else {
        QElapsedTimer clock;
        clock.start();
        QPainter p(&frame_);
        render(p, t, frame_.rect(), smooth);
        fullMs_ = clock.nsecsElapsed() / 1e6;
        fullSmooth_ = smooth;
        // Plain only because the last whole frame was slow, but this one was
        // quick (a closer view): draw it smoothly after all.
        if (!smooth && !fast_ && 2 * fullMs_ < kSmoothLimitMs) QTimer::singleShot(0, this, [this] { update(); });
    }
    frameSmooth_ = panned ? frameSmooth_ && smooth : smooth;
    frameTransform_ = t;
    frameValid_ = true;
}

void DrawingView::paintEvent(QPaintEvent*) {
    QElapsedTimer clock;
    clock.start();
    const QTransform t = worldToView();
    const bool zoomed = frameValid_ && frame_.size() == size() && std::abs(t.m11() - frameTransform_.m11()) > 1e-12 * std::abs(t.m11());
    QPainter p(this);
    if (zoomed && fast_) {
        // The wheel is turning: the last frame, scaled, until it stops.
        p.fillRect(rect(), layout_ ? kPaperBackground : kModelBackground);
        p.setTransform(frameTransform_.inverted() * t);
        p.drawImage(QPointF(), frame_);
        p.resetTransform();
    } else {
        updateFrame(t);
        p.drawImage(QPointF(), frame_);
    }
    if (indexScene_ && frameValid_) {
        // The first view of a new scene needs no index of its items; closer
        // views do, and get it built meanwhile, off the event loop.
        indexScene_ = false;
        QThreadPool::globalInstance()->start([scene = scene_] { scene->space.ensureIndexed(); });
    }
    if (picking_ && rubberFrom_ && cursor_) {
        p.setPen(QPen(QColor(120, 180, 255), 1, Qt::DashLine));
        p.setBrush(QColor(120, 180, 255, 40));
        p.drawRect(QRectF(t.map(*rubberFrom_), QPointF(*cursor_)).normalized());
    }
    lastPaintMs_ = clock.nsecsElapsed() / 1e6;
}

void DrawingView::interacting() {
    fast_ = true;
    settle_->start();
}

void DrawingView::wheelEvent(QWheelEvent* e) {
    // One burst of wheel steps is one view to go back to.
    if (!lastWheel_.isValid() || lastWheel_.elapsed() > kWheelBurstMs) remember();
    lastWheel_.start();
    const double factor = std::pow(1.0015, e->angleDelta().y());
    const QPointF before = toWorld(e->position());
    scale_ *= factor;
    const QPointF after = toWorld(e->position());
    center_ += before - after;
    pending_ = Pending::None;
    interacting();
    update();
}

void DrawingView::mousePressEvent(QMouseEvent* e) {
    pressAt_ = dragFrom_ = e->pos();
    dragging_ = false;
}

void DrawingView::mouseMoveEvent(QMouseEvent* e) {
    cursor_ = e->pos();
    emit cursorMoved(toWorld(e->position()));
    if (picking_ && rubberFrom_) update();
    const bool panButton = (e->buttons() & Qt::MiddleButton) || ((e->buttons() & Qt::LeftButton) && !picking_);
    if (!panButton) return;
    if (!dragging_ && (e->pos() - pressAt_).manhattanLength() <= kClickSlop) return;
    if (!dragging_) remember();
    dragging_ = true;
    const QPoint d = e->pos() - dragFrom_;
    dragFrom_ = e->pos();
    center_ -= QPointF(d.x() / scale_, -d.y() / scale_);
    pending_ = Pending::None;
    interacting();
    update();
}

void DrawingView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && picking_ && !dragging_ && (e->pos() - pressAt_).manhattanLength() <= kClickSlop)
        emit pointPicked(toWorld(e->position()));
    dragging_ = false;
}

void DrawingView::leaveEvent(QEvent*) {
    cursor_.reset();
    if (rubberFrom_) update();
}

}  // namespace drawhost
