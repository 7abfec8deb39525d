#pragma once
// What a plot draws of one layout: model space as it is, or a paper space
// layout with its own objects and the model space seen through each of its
// viewports. Plotting reaches the drawing only through this class, so the
// way the scene is built can change without touching the plot. The view's
// layout tabs draw through it too.
#include <QColor>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <memory>
#include <vector>

#include "DrawingScene.h"

class QPainter;

namespace dxf {
class Drawing;
}

namespace drawhost {

struct RenderStyle {
    bool monochrome = false;   // everything black (a monochrome plot style table)
    double lineWidth = 1;      // pen width of the narrowest line, device units
    bool lineweights = false;  // lines as wide as their lineweights
    double pixelsPerMm = 0;    // device units per millimetre of paper, for lineweights
    bool antialias = true;
};

class LayoutRender {
public:
    // Reads the layout's objects; throws dxf::EngineError when the drawing
    // has no layout of that name ("Model" is model space).
    LayoutRender(const dxf::Drawing& drawing, const QString& layout);
    // The same with model space built already (a view's), which the
    // viewports then show; nullptr: they show nothing yet.
    LayoutRender(const dxf::Drawing& drawing, const QString& layout, std::shared_ptr<const Scene> model);

    bool isModel() const { return model_; }
    // Everything drawn, in the layout's units; empty when nothing is.
    QRectF extents() const;
    // The limits of model space, or a paper layout's sheet in paper units;
    // empty when the drawing does not keep them (pre-R2000).
    QRectF limits() const { return limits_; }

    // Draws the part `area` (layout units, y up) of the layout into `target`
    // (the painter's coordinates, y down), scaled alike in both directions.
    void render(QPainter& painter, const QRectF& area, const QRectF& target, const RenderStyle& style) const;
    // Draws the layout mapped to the painter by `toDevice`, only what falls in deviceArea.
    void paint(QPainter& painter, const QTransform& toDevice, const QRectF& deviceArea, const RenderStyle& style) const;
    // Reads the layers' state again (the layout's own objects; a shared model is refreshed by its owner).
    void refreshLayers(const dxf::Drawing& drawing) { own_.refreshLayers(drawing); }
    const Scene& own() const { return own_; }

private:
    // A viewport of a paper layout: where it sits on the sheet and which
    // part of model space it shows.
    struct Viewport {
        QRectF sheet;        // paper units
        QPointF viewCenter;  // model space
        double scale = 1;    // paper units per model unit
        double twist = 0;    // degrees
        QColor frame;
        std::vector<std::uint64_t> frozenHandles;  // layers frozen in this viewport
    };
    void init(const dxf::Drawing& drawing, const QString& layout);

    bool model_ = true;
    Scene own_;                           // model space, or the layout's own objects
    std::shared_ptr<const Scene> inner_;  // model space, for the viewports
    std::vector<Viewport> viewports_;
    QRectF limits_;
};

}  // namespace drawhost
