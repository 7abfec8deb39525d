#pragma once
// The 2-D view of one drawing: pans with the middle button, zooms with the
// wheel, and zooms to extents, to a window or by a scale on command.
// A zoom asked for before the view has a size on screen (a window still
// hidden or being laid out, a scene not built yet) is kept and carried out
// once it has one, so it is never lost to the first fit to extents.
#include <QWidget>

#include "DrawingScene.h"

namespace drawhost {

class DrawingView : public QWidget {
    Q_OBJECT
public:
    explicit DrawingView(QWidget* parent = nullptr);
    void setScene(Scene scene);
    const Scene& scene() const { return scene_; }

    void zoomExtents();
    void zoomWindow(const QRectF& world);
    // relative: by the current view; else by the whole drawing.
    void zoomScaled(double scale, bool relative);
    // The part of the drawing the view shows (or will show once it is on screen).
    QRectF visibleWorld() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

private:
    enum class Pending { None, Extents, Window };
    QTransform worldToView() const;
    bool hasSize() const;
    void fit(const QRectF& world);
    QRectF extentsWindow() const;
    void applyPending();
    QRectF currentWorld() const;

    Scene scene_;
    QPointF center_;
    double scale_ = 1;  // pixels per drawing unit
    Pending pending_ = Pending::Extents;
    QRectF pendingWindow_;      // with Pending::Window
    double pendingScale_ = 1;   // with Pending::Extents: relative zooms asked for meanwhile
    QPoint dragFrom_;
};

}  // namespace drawhost
