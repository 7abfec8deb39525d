#include "DrawingScene.h"

#include <QHash>
#include <QRegularExpression>
#include <QTransform>
#include <cmath>
#include <numbers>

#include "engine/Drawing.h"

namespace drawhost {

namespace {

constexpr int kMaxNesting = 8;
constexpr int kArcSegments = 64;
constexpr qsizetype kMaxVertices = 100000;

struct LayerLook {
    bool visible = true;
    int color = 7;
};

// The groups of one object, read by code.
class Groups {
public:
    explicit Groups(std::vector<dxf::GroupValue> g) : g_(std::move(g)) {}
    double num(int code, double fallback = 0) const {
        for (const auto& v : g_)
            if (v.code == code) return std::strtod(v.value.c_str(), nullptr);
        return fallback;
    }
    bool has(int code) const {
        for (const auto& v : g_)
            if (v.code == code) return true;
        return false;
    }
    QString str(int code) const {
        for (const auto& v : g_)
            if (v.code == code) return QString::fromStdString(v.value);
        return {};
    }
    const std::vector<dxf::GroupValue>& all() const { return g_; }

private:
    std::vector<dxf::GroupValue> g_;
};

class Builder {
public:
    explicit Builder(const dxf::Drawing& d) : d_(d) {
        for (const dxf::Layer& l : d.layers()) {
            LayerLook look;
            look.visible = l.layerOn() && !l.freeze();
            look.color = l.color();
            layers_.insert(QString::fromStdString(l.name()).toUpper(), look);
        }
    }

    void add(const dxf::Entity& e, const QTransform& t, const QString& parentLayer, const QColor& parentColor, int depth) {
        QString layer = QString::fromStdString(e.layer());
        // Objects of a block on layer 0 take the layer of the reference.
        if (depth > 0 && layer == u"0") layer = parentLayer;
        const LayerLook look = layers_.value(layer.toUpper(), LayerLook{});
        if (!look.visible) return;
        Groups g(e.groups());
        QColor color = aciColor(look.color);
        const int index = g.has(62) ? int(g.num(62)) : 256;
        if (index == 0 && parentColor.isValid()) color = parentColor;
        else if (index >= 1 && index <= 255) color = aciColor(index);

        const std::string type = e.type();
        if (type == "LINE") {
            path({{g.num(10), g.num(20)}, {g.num(11), g.num(21)}}, false, t, color);
        } else if (type == "LWPOLYLINE") {
            QPolygonF pts;
            double x = 0;
            for (const auto& v : g.all()) {
                if (v.code == 10) x = std::strtod(v.value.c_str(), nullptr);
                if (v.code == 20) pts << QPointF(x, std::strtod(v.value.c_str(), nullptr));
            }
            path(pts, (int(g.num(70)) & 1) != 0, t, color);
        } else if (type == "POLYLINE") {
            // The vertices are the records that follow the polyline, up to its SEQEND.
            QPolygonF pts;
            auto* drawing = const_cast<dxf::Drawing*>(&d_);
            for (std::uint32_t r = e.record() + 1; pts.size() < kMaxVertices; ++r) {
                const dxf::Entity vertex(drawing, r);
                if (vertex.type() != "VERTEX") break;
                const Groups vg(vertex.groups());
                if (int(vg.num(70)) & 16) continue;  // a spline frame point, not on the curve
                pts << QPointF(vg.num(10), vg.num(20));
            }
            if ((int(g.num(70)) & (16 | 64)) == 0) path(pts, (int(g.num(70)) & 1) != 0, t, color);
        } else if (type == "CIRCLE") {
            arc(g.num(10), g.num(20), g.num(40), g.num(40), 0, 0, 2 * std::numbers::pi, t, color);
        } else if (type == "ARC") {
            const double a0 = g.num(50) * std::numbers::pi / 180, a1 = g.num(51) * std::numbers::pi / 180;
            arc(g.num(10), g.num(20), g.num(40), g.num(40), 0, a0, a1 > a0 ? a1 : a1 + 2 * std::numbers::pi, t, color);
        } else if (type == "ELLIPSE") {
            const double mx = g.num(11), my = g.num(21);
            const double major = std::hypot(mx, my);
            const double p0 = g.num(41, 0), p1 = g.num(42, 2 * std::numbers::pi);
            arc(g.num(10), g.num(20), major, major * g.num(40, 1), std::atan2(my, mx), p0, p1 > p0 ? p1 : p1 + 2 * std::numbers::pi,
                t, color);
        } else if (type == "POINT") {
            Primitive p;
            p.kind = Primitive::Dot;
            p.points << t.map(QPointF(g.num(10), g.num(20)));
            p.color = color;
            push(std::move(p));
        } else if (type == "SOLID" || type == "TRACE" || type == "3DFACE") {
            path({{g.num(10), g.num(20)}, {g.num(11), g.num(21)}, {g.num(13, g.num(12)), g.num(23, g.num(22))},
                  {g.num(12), g.num(22)}},
                 true, t, color);
        } else if (type == "TEXT" || type == "ATTRIB") {
            if (type == "ATTRIB" && (int(g.num(70)) & 1)) return;  // invisible attribute
            text(g.str(1), g.num(10), g.num(20), g.num(40, 1), g.num(50), t, color);
        } else if (type == "MTEXT") {
            QString s;
            for (const auto& v : g.all())
                if (v.code == 3) s += QString::fromStdString(v.value);
            s += g.str(1);
            const double angle = g.has(11) ? std::atan2(g.num(21), g.num(11)) * 180 / std::numbers::pi : g.num(50);
            text(plainMtext(s), g.num(10), g.num(20), g.num(40, 1), angle, t, color);
        } else if (type == "INSERT" && depth < kMaxNesting) {
            insert(e, g, t, layer, color, depth);
        }
    }

    Scene take() { return std::move(scene_); }

private:
    // A block is flattened once per layer and colour it is inserted with, in
    // its own coordinates; each reference then only maps the result.
    void insert(const dxf::Entity& e, const Groups& g, const QTransform& t, const QString& layer, const QColor& color,
                int depth) {
        const std::string name = e.blockName();
        const QString key = QString::fromStdString(name) + u'\n' + layer + u'\n' + QString::number(color.rgba());
        auto cached = blocks_.find(key);
        if (cached == blocks_.end()) {
            BlockShape shape;
            if (auto block = d_.findBlock(name)) {
                const dxf::Point base = block->basePoint();
                shape.base = QPointF(base.x, base.y);
                Scene outer = std::move(scene_);
                scene_ = Scene();
                for (const dxf::Entity& child : block->entities()) add(child, QTransform(), layer, color, depth + 1);
                shape.items = std::move(scene_.items);
                scene_ = std::move(outer);
            }
            cached = blocks_.insert(key, std::move(shape));
        }
        QTransform local;
        local.translate(g.num(10), g.num(20));
        local.rotate(g.num(50));
        local.scale(g.num(41, 1), g.num(42, 1));
        local.translate(-cached->base.x(), -cached->base.y());
        const QTransform inner = local * t;
        for (const Primitive& p : cached->items) push(mapped(p, inner));
        if (e.hasAttributes())
            for (const dxf::Entity& a : e.attributes()) add(a, t, layer, color, depth);
    }

    static Primitive mapped(const Primitive& p, const QTransform& t) {
        Primitive out = p;
        out.points = t.map(p.points);
        if (p.kind == Primitive::Text) {
            const QPointF at = p.points.front();
            const double rad = p.angle * std::numbers::pi / 180;
            const QLineF up = t.map(QLineF(at, at + QPointF(-std::sin(rad), std::cos(rad)) * p.height));
            const QLineF along = t.map(QLineF(at, at + QPointF(std::cos(rad), std::sin(rad))));
            out.height = up.length();
            out.angle = std::atan2(along.dy(), along.dx()) * 180 / std::numbers::pi;
        }
        return out;
    }

    void path(const QPolygonF& pts, bool closed, const QTransform& t, const QColor& color) {
        if (pts.size() < 2) return;
        Primitive p;
        p.points = t.map(pts);
        p.closed = closed;
        p.color = color;
        push(std::move(p));
    }

    void arc(double cx, double cy, double rx, double ry, double rotation, double a0, double a1, const QTransform& t,
             const QColor& color) {
        if (rx <= 0) return;
        QPolygonF pts;
        const double c = std::cos(rotation), s = std::sin(rotation);
        for (int i = 0; i <= kArcSegments; ++i) {
            const double a = a0 + (a1 - a0) * i / kArcSegments;
            const double x = rx * std::cos(a), y = ry * std::sin(a);
            pts << QPointF(cx + x * c - y * s, cy + x * s + y * c);
        }
        path(pts, false, t, color);
    }

    void text(const QString& s, double x, double y, double height, double angle, const QTransform& t, const QColor& color) {
        if (s.isEmpty()) return;
        Primitive p;
        p.kind = Primitive::Text;
        p.points << t.map(QPointF(x, y));
        // The height and the angle follow the reference's scale and rotation.
        const QLineF up = t.map(QLineF(x, y, x, y + height));
        const QLineF along = t.map(QLineF(x, y, x + std::cos(angle * std::numbers::pi / 180), y + std::sin(angle * std::numbers::pi / 180)));
        p.height = up.length();
        p.angle = std::atan2(along.dy(), along.dx()) * 180 / std::numbers::pi;
        p.text = s;
        p.color = color;
        push(std::move(p));
    }

    static QString plainMtext(QString s) {
        static const QRegularExpression codes(QStringLiteral(R"(\\[ACcFfHhQTW][^;]*;|\\[LlOoKk]|[{}])"));
        s.replace(QStringLiteral("\\P"), QStringLiteral("\n"));
        s.remove(codes);
        s.replace(QStringLiteral("\\~"), QStringLiteral(" "));
        return s;
    }

    void push(Primitive p) {
        QRectF r = p.points.boundingRect();
        if (p.kind == Primitive::Text) r = QRectF(r.topLeft(), QSizeF(p.height * p.text.size() * 0.8, p.height));
        scene_.extents = scene_.extents.isNull() ? r : scene_.extents.united(r);
        scene_.items.push_back(std::move(p));
    }

    struct BlockShape {
        QPointF base;
        std::vector<Primitive> items;
    };

    const dxf::Drawing& d_;
    QHash<QString, LayerLook> layers_;
    QHash<QString, BlockShape> blocks_;
    Scene scene_;
};

}  // namespace

Scene buildScene(const dxf::Drawing& drawing) { return buildScene(drawing, drawing.modelSpace()); }

Scene buildScene(const dxf::Drawing& drawing, const std::vector<dxf::Entity>& objects) {
    Builder b(drawing);
    for (const dxf::Entity& e : objects) {
        try {
            b.add(e, QTransform(), QString(), QColor(), 0);
        } catch (const dxf::EngineError&) {
            // An object the engine cannot describe is not drawn; the rest is.
        }
    }
    return b.take();
}

QColor aciColor(int index) {
    static const QColor basic[] = {Qt::black,          QColor(255, 0, 0),   QColor(255, 255, 0), QColor(0, 255, 0),
                                   QColor(0, 255, 255), QColor(0, 0, 255), QColor(255, 0, 255), QColor(255, 255, 255),
                                   QColor(128, 128, 128), QColor(192, 192, 192)};
    if (index >= 1 && index <= 9) return basic[index];
    if (index >= 250 && index <= 255) {
        const int v = 51 + (index - 250) * 40;
        return QColor(v, v, v);
    }
    if (index < 10 || index > 249) return basic[7];
    // 10-249: 24 hues, each in five shades, solid and pale.
    const int hue = (index - 10) / 10 * 15;
    const int shade = (index % 10) / 2;
    const bool pale = index % 2 == 1;
    const int value = 255 - shade * 40;
    return QColor::fromHsv(hue, pale ? 90 : 255, value);
}

}  // namespace drawhost
