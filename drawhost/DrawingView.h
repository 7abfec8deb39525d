#pragma once
// The 2-D view of one space of a drawing: model space, or a paper layout
// with its viewports. Pans with the middle button (or the left button when
// no command asks for a point), zooms with the wheel, and zooms to extents,
// to a window, by a scale or back to the previous view on command.
// A zoom asked for before the view has a size on screen (a window still
// hidden or being laid out, a scene not built yet) is kept and carried out
// once it has one, so it is never lost to the first fit to extents.
#include <QElapsedTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "DrawingScene.h"

class QTimer;

namespace drawhost {

class LayoutRender;

class DrawingView : public QWidget {
    Q_OBJECT
public:
    explicit DrawingView(QWidget* parent = nullptr);
    // Model space; nullptr while it is being built.
    void setScene(std::shared_ptr<const Scene> scene);
    // A paper layout instead of model space.
    void setLayout(std::shared_ptr<const LayoutRender> layout);
    const Scene* scene() const { return scene_.get(); }
    bool showsLayout() const { return layout_ != nullptr; }

    void zoomExtents();
    void zoomWindow(const QRectF& world);
    // relative: by the current view; else by the whole drawing.
    void zoomScaled(double scale, bool relative);
    // Back to the view before the last zoom or pan; false when there is none.
    bool zoomPrevious();
    // The part of the drawing the view shows (or will show once it is on screen).
    QRectF visibleWorld() const;
    // Moves the view by a distance in drawing units.
    void pan(const QPointF& by);

    void setLineweights(bool on);
    // The scene's layers or objects changed: draw everything again.
    void invalidate();
    // A command asks for a point: a click picks it; with `from`, a rectangle
    // follows the cursor from that corner.
    void setPicking(bool on, std::optional<QPointF> from = std::nullopt);
    // Milliseconds the last paint took.
    double lastPaintMs() const { return lastPaintMs_; }
    QPointF toWorld(const QPointF& widgetPoint) const;

signals:
    void pointPicked(const QPointF& world);
    void cursorMoved(const QPointF& world);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    enum class Pending { None, Extents, Window };
    struct ViewState {
        QPointF center;
        double scale;
    };
    QTransform worldToView() const;
    bool hasSize() const;
    void fit(const QRectF& world);
    QRectF extents() const;
    QRectF extentsWindow() const;
    void applyPending();
    QRectF currentWorld() const;
    void remember();
    void interacting();
    void firstFrame();
    // Draws the view as `t` shows it into the part `area` of the frame.
    void render(QPainter& p, const QTransform& t, const QRect& area, bool antialias);
    void updateFrame(const QTransform& t);

    std::shared_ptr<const Scene> scene_;
    std::shared_ptr<const LayoutRender> layout_;
    QPointF center_;
    double scale_ = 1;  // pixels per drawing unit
    Pending pending_ = Pending::Extents;
    QRectF pendingWindow_;      // with Pending::Window
    double pendingScale_ = 1;   // with Pending::Extents: relative zooms asked for meanwhile
    std::vector<ViewState> previous_;
    QElapsedTimer lastWheel_;
    QPoint pressAt_, dragFrom_;
    bool dragging_ = false;
    bool picking_ = false;
    std::optional<QPointF> rubberFrom_;
    std::optional<QPoint> cursor_;
    bool lineweights_ = false;
    bool fast_ = false;  // while the user zooms or pans: no antialiasing
    bool indexScene_ = false;  // the scene's index is yet to be started
    QTimer* settle_;
    double lastPaintMs_ = 0;
    // The last frame drawn, kept to pan by drawing only what comes into view
    // and to show zooming at once (drawn anew when the wheel stops).
    QImage frame_;
    QTransform frameTransform_;
    bool frameValid_ = false;
    bool frameSmooth_ = false;
    double fullMs_ = 0;        // the last whole frame drawn took this long
    bool fullSmooth_ = false;  // and was drawn smoothly
};

}  // namespace drawhost
