#pragma once
// The 2-D view of one drawing: pans with the middle button, zooms with the
// wheel, and zooms to extents, to a window or by a scale on command.
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
    QRectF visibleWorld() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

private:
    QTransform worldToView() const;
    Scene scene_;
    QPointF center_;
    double scale_ = 1;  // pixels per drawing unit
    bool zoomPending_ = true;
    QPoint dragFrom_;
};

}  // namespace drawhost
