#pragma once
// What the view draws of a drawing: its model space flattened into polylines,
// texts and points in world coordinates, block references expanded, each in
// its layer's colour. Objects on layers that are off or frozen are left out.
#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <vector>

namespace dxf {
class Drawing;
class Entity;
}

namespace drawhost {

struct Primitive {
    enum Kind { Path, Text, Dot } kind = Path;
    QPolygonF points;  // Path: the vertices; Text and Dot: the position first
    bool closed = false;
    QString text;
    double height = 0;  // text height, world units
    double angle = 0;   // text rotation, degrees
    QColor color;
};

struct Scene {
    std::vector<Primitive> items;
    QRectF extents;  // of every item; empty when there are none
};

Scene buildScene(const dxf::Drawing& drawing);
// The scene of the given top-level objects of the drawing (a layout's, say).
Scene buildScene(const dxf::Drawing& drawing, const std::vector<dxf::Entity>& objects);

// The colour of an AutoCAD colour index (1-255), for a dark background.
QColor aciColor(int index);

}  // namespace drawhost
