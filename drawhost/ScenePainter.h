#pragma once
// Paints a scene with a QPainter, for the view and for plots alike. Only what
// lies in the area asked for is looked at (a grid over the items finds it);
// what is smaller than a pixel is drawn as a dot, texts too small to read as
// a line, hatches too dense to show as a tint; curves get as many segments as
// their size on the device needs; lines of one colour and width are drawn
// together.
#include <QPainter>
#include <QRectF>
#include <QTransform>
#include <vector>

#include "DrawingScene.h"

namespace drawhost {

struct PaintOptions {
    bool paper = false;       // white paper: white and the palest colours print black
    bool monochrome = false;  // everything black
    bool lineweights = false;
    double pixelsPerMm = 0;   // lineweights at their size (paper); 0: as a screen shows them
    double lineWidth = 1;     // the narrowest line, device units
    bool antialias = true;
    double greekBelow = 4;    // texts lower than this (device units) are drawn as a line
    const std::vector<char>* frozen = nullptr;  // by layer index: frozen in this viewport
};

// Paints the scene's space; `toDevice` maps world coordinates to the
// painter's, `deviceArea` is the part of the device to draw.
void paintScene(QPainter& painter, const Scene& scene, const QTransform& toDevice, const QRectF& deviceArea,
                const PaintOptions& options);

}  // namespace drawhost
