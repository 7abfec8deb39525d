#include "LayoutRender.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ScenePainter.h"
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

PaintOptions optionsFor(const RenderStyle& style) {
    PaintOptions o;
    o.paper = true;
    o.monochrome = style.monochrome;
    o.lineWidth = style.lineWidth;
    o.lineweights = style.lineweights;
    o.pixelsPerMm = style.pixelsPerMm;
    o.antialias = style.antialias;
    return o;
}

}  // namespace

LayoutRender::LayoutRender(const dxf::Drawing& drawing, const QString& layout) {
    init(drawing, layout);
    if (!viewports_.empty()) inner_ = std::make_shared<const Scene>(buildScene(drawing, drawing.modelSpace()));
}

LayoutRender::LayoutRender(const dxf::Drawing& drawing, const QString& layout, std::shared_ptr<const Scene> model)
    : inner_(std::move(model)) {
    init(drawing, layout);
}

void LayoutRender::init(const dxf::Drawing& drawing, const QString& layout) {
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
        for (const auto& value : g)
            if (value.code == 341)
                if (const std::uint64_t h = std::strtoull(value.value.c_str(), nullptr, 16)) v.frozenHandles.push_back(h);
        if (auto layer = drawing.findLayer(e.layer())) {
            if (!layer->layerOn() || layer->freeze() || !layer->plottable()) v.frame = QColor();
            else v.frame = aciColor(layer->color());
        }
        viewports_.push_back(v);
    }
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
    painter.setClipRect(target);
    paint(painter, toTarget, target, style);
    painter.restore();
}

void LayoutRender::paint(QPainter& painter, const QTransform& toDevice, const QRectF& deviceArea,
                         const RenderStyle& style) const {
    const PaintOptions options = optionsFor(style);
    for (const Viewport& v : viewports_) {
        const QRectF onDevice = toDevice.mapRect(v.sheet) & deviceArea;
        if (inner_ && !onDevice.isEmpty()) {
            // Model space through the viewport: its view centre on the viewport's
            // centre, scaled and twisted, clipped to the viewport.
            QTransform modelToSheet;
            modelToSheet.translate(v.sheet.center().x(), v.sheet.center().y());
            modelToSheet.rotate(v.twist);
            modelToSheet.scale(v.scale, v.scale);
            modelToSheet.translate(-v.viewCenter.x(), -v.viewCenter.y());
            std::vector<char> frozen(inner_->layers.size(), 0);
            for (std::size_t i = 0; i < inner_->layers.size(); ++i)
                frozen[i] = std::find(v.frozenHandles.begin(), v.frozenHandles.end(), inner_->layers[i].handle) !=
                            v.frozenHandles.end();
            PaintOptions inside = options;
            inside.frozen = &frozen;
            painter.save();
            painter.setClipRect(onDevice, Qt::IntersectClip);
            paintScene(painter, *inner_, modelToSheet * toDevice, onDevice, inside);
            painter.restore();
        }
        if (v.frame.isValid()) {
            painter.setRenderHint(QPainter::Antialiasing, style.antialias);
            painter.setPen(QPen(style.monochrome ? QColor(Qt::black) : v.frame.lightness() > 220 ? QColor(Qt::black) : v.frame,
                                style.lineWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawPolygon(toDevice.map(QPolygonF(v.sheet)));
        }
    }
    paintScene(painter, own_, toDevice, deviceArea, options);
}

}  // namespace drawhost
