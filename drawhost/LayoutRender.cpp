#include "LayoutRender.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

#include "engine/Drawing.h"

namespace drawhost {

namespace {

double num(const std::vector<dxf::GroupValue>& groups, int code, double fallback = 0) {
    for (const auto& g : groups)
        if (g.code == code) return std::strtod(g.value.c_str(), nullptr);
    return fallback;
}

bool has(const std::vector<dxf::GroupValue>& groups, int code) {
    for (const auto& g : groups)
        if (g.code == code) return true;
    return false;
}

// Colours chosen for the view's dark background, on white paper: white and
// the palest greys print black.
QColor onPaper(const QColor& c, const RenderStyle& style) {
    if (style.monochrome || (c.red() > 220 && c.green() > 220 && c.blue() > 220)) return Qt::black;
    return c;
}

void paintScene(QPainter& p, const Scene& scene, const QTransform& t, const RenderStyle& style) {
    // How long a drawing unit is on the device, for text heights.
    const double unit = std::hypot(t.m11(), t.m12());
    for (const Primitive& item : scene.items) {
        const QColor color = onPaper(item.color, style);
        switch (item.kind) {
        case Primitive::Path: {
            p.setPen(QPen(color, style.lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            const QPolygonF pts = t.map(item.points);
            if (item.closed) p.drawPolygon(pts);
            else p.drawPolyline(pts);
            break;
        }
        case Primitive::Dot:
            p.setPen(QPen(color, style.lineWidth * 2, Qt::SolidLine, Qt::RoundCap));
            p.drawPoint(t.map(item.points.front()));
            break;
        case Primitive::Text: {
            const double px = item.height * unit;
            if (px < 0.5) break;
            const QPointF at = t.map(item.points.front());
            // The y axis is flipped on the way to the device: the angle turns the other way.
            const QLineF along = t.map(QLineF(item.points.front(),
                                              item.points.front() + QPointF(std::cos(item.angle * std::numbers::pi / 180),
                                                                            std::sin(item.angle * std::numbers::pi / 180))));
            p.save();
            p.translate(at);
            p.rotate(-along.angle());
            QFont f = p.font();
            f.setPixelSize(std::max(1, int(std::lround(px))));
            p.setFont(f);
            p.setPen(color);
            const QStringList lines = item.text.split(u'\n');
            for (int i = 0; i < lines.size(); ++i) p.drawText(QPointF(0, i * px * 1.4), lines[i]);
            p.restore();
            break;
        }
        }
    }
}

}  // namespace

LayoutRender::LayoutRender(const dxf::Drawing& drawing, const QString& layout) {
    const std::string name = layout.toStdString();
    const std::vector<dxf::Entity> objects = drawing.objectsOfLayout(name);
    model_ = layout.compare(QStringLiteral("Model"), Qt::CaseInsensitive) == 0;
    own_ = buildScene(drawing, objects);

    // The limits of model space, or a layout's sheet.
    if (auto settings = drawing.layoutSettings(name)) {
        const auto g = settings->groups();
        // The sheet's limits follow the AcDbLayout marker (groups 10/20, 11/21).
        std::vector<dxf::GroupValue> layoutPart;
        bool inLayout = false;
        for (const auto& v : g) {
            if (v.code == 100) inLayout = v.value == "AcDbLayout";
            if (inLayout) layoutPart.push_back(v);
        }
        const QRectF sheet(QPointF(num(layoutPart, 10), num(layoutPart, 20)),
                           QPointF(num(layoutPart, 11), num(layoutPart, 21)));
        if (sheet.isValid() && !sheet.isEmpty()) limits_ = sheet;
    }
    if (model_) return;

    for (const dxf::Entity& e : objects) {
        if (e.type() != "VIEWPORT") continue;
        const auto g = e.groups();
        // Viewport 1 is the sheet itself; a viewport switched off shows nothing.
        if (int(num(g, 69)) == 1 || (has(g, 68) && int(num(g, 68)) == 0)) continue;
        const double width = num(g, 40), height = num(g, 41), viewHeight = num(g, 45);
        if (width <= 0 || height <= 0 || viewHeight <= 0) continue;
        Viewport v;
        v.sheet = QRectF(num(g, 10) - width / 2, num(g, 20) - height / 2, width, height);
        v.viewCenter = QPointF(num(g, 17) + num(g, 12), num(g, 27) + num(g, 22));
        v.scale = height / viewHeight;
        v.twist = num(g, 51);
        v.frame = Qt::black;
        if (auto layer = drawing.findLayer(e.layer())) {
            if (!layer->layerOn() || layer->freeze() || !layer->plottable()) v.frame = QColor();
            else v.frame = aciColor(layer->color());
        }
        viewports_.push_back(v);
    }
    if (!viewports_.empty()) inner_ = buildScene(drawing, drawing.modelSpace());
}

QRectF LayoutRender::extents() const {
    QRectF e = own_.extents;
    for (const Viewport& v : viewports_) e = e.isNull() ? v.sheet : e.united(v.sheet);
    return e;
}

void LayoutRender::render(QPainter& painter, const QRectF& area, const QRectF& target, const RenderStyle& style) const {
    if (area.width() <= 0 || area.height() <= 0 || target.isEmpty()) return;
    const double s = std::min(target.width() / area.width(), target.height() / area.height());
    // Layout units (y up) to the painter (y down), the area's centre on the target's.
    QTransform toTarget;
    toTarget.translate(target.center().x(), target.center().y());
    toTarget.scale(s, -s);
    toTarget.translate(-area.center().x(), -area.center().y());

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(target);
    for (const Viewport& v : viewports_) {
        // Model space through the viewport: its view centre on the viewport's
        // centre, scaled and twisted, clipped to the viewport.
        QTransform modelToSheet;
        modelToSheet.translate(v.sheet.center().x(), v.sheet.center().y());
        modelToSheet.rotate(v.twist);
        modelToSheet.scale(v.scale, v.scale);
        modelToSheet.translate(-v.viewCenter.x(), -v.viewCenter.y());
        painter.save();
        painter.setClipRect(toTarget.mapRect(v.sheet), Qt::IntersectClip);
        paintScene(painter, inner_, modelToSheet * toTarget, style);
        painter.restore();
        if (v.frame.isValid()) {
            painter.setPen(QPen(onPaper(v.frame, style), style.lineWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawPolygon(toTarget.map(QPolygonF(v.sheet)));
        }
    }
    paintScene(painter, own_, toTarget, style);
    painter.restore();
}

}  // namespace drawhost
