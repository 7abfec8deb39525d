// Multilines: each element of the multiline's style drawn as a polyline
// beside the vertices, broken where the multiline's parameters break it,
// with the caps and miter lines its style asks for.
#include <algorithm>
#include <cmath>

#include "SceneBuild.h"
#include "engine/Encoding.h"

namespace drawhost {

namespace {

// Style flags (MLINESTYLE group 70).
constexpr int kFill = 1, kShowMiters = 2, kStartLine = 16, kStartInner = 32, kStartRound = 64, kEndLine = 256,
              kEndInner = 512, kEndRound = 1024;

// One vertex of a multiline: where it is, the direction of the segment that
// starts there, the miter direction, and per element its parameters (41).
struct MLineVertex {
    QPointF at, direction, miter;
    std::vector<std::vector<double>> elements;
};

QPointF unit(const QPointF& v) {
    const double len = std::hypot(v.x(), v.y());
    return len > 0 ? v / len : QPointF();
}

}  // namespace

const SceneBuilder::Impl::MLineStyle& SceneBuilder::Impl::mlineStyle(std::string_view handle) {
    // Held while the style is read and cached: the other thread may want it too.
    const auto lock = shared();
    auto it = owner_.mlineStyles_.find(handle);
    if (it != owner_.mlineStyles_.end()) return it->second;
    MLineStyle style;
    if (const std::optional<dxf::Entity> e = handle.empty() ? std::nullopt : d_.findHandle(std::string(handle))) {
        Groups gr;
        gr.read(*e);
        if (gr.size() > 0 && gr.value(0) == "MLINESTYLE") {
            style.read = gr.has(71);
            style.flags = gr.integer(70);
            const std::size_t fill = gr.find(62);
            if (fill < gr.find(71)) style.fillAci = int(gr.number(fill));
            // The elements follow the element count (71): 49 offset, 62 colour, 6 linetype each.
            for (std::size_t i = gr.find(71); i < gr.size(); ++i) {
                const int code = gr.code(i);
                if (code == 49) style.elements.push_back(MLineStyle::Element{gr.number(i)});
                else if (style.elements.empty()) continue;
                else if (code == 62) style.elements.back().aci = int(gr.number(i));
                else if (code == 6) style.elements.back().linetype = std::string(gr.value(i));
            }
        }
    }
    if (style.elements.empty()) style.elements = {MLineStyle::Element{0.5}, MLineStyle::Element{-0.5}};
    return owner_.mlineStyles_.emplace(std::string(handle), std::move(style)).first->second;
}

void SceneBuilder::Impl::mline(Geometry& g, const Groups& gr, const Common& c) {
    const MLineStyle* found = &mlineStyle(gr.str(340));
    // A style that cannot be read (a drawing read from DWG gives a multiline
    // style only its handle and owner) is stood in for by as many elements
    // as the multiline has, in the order of the first vertex's parameters.
    MLineStyle standIn;
    const std::size_t own = std::size_t(std::max(0, gr.integer(73)));
    if (!found->read && own > 0 && own != found->elements.size()) {
        standIn.elements.resize(own);
        std::size_t e = 0;
        for (std::size_t i = gr.find(74); i < gr.size() && e < own; ++i) {
            if (gr.code(i) == 11) break;
            if (gr.code(i) == 74) {
                if (i + 1 < gr.size() && gr.code(i + 1) == 41) standIn.elements[e].offset = gr.number(i + 1);
                ++e;
            }
        }
        found = &standIn;
    }
    const MLineStyle& style = *found;
    const std::size_t elementCount = style.elements.size();
    const double scale = gr.num(40, 1);
    const int flags = gr.integer(71);
    const bool closed = flags & 2;

    // The vertices: 11 starts one, 12 and 13 give its directions, then
    // 74 (a count) and that many 41s per element.
    std::vector<MLineVertex> vertices;
    for (std::size_t i = gr.find(11); i < gr.size(); ++i) {
        const int code = gr.code(i);
        if (code >= 1000) break;
        if (code == 11) {
            vertices.emplace_back();
            vertices.back().at.setX(gr.number(i));
        } else if (vertices.empty()) {
            continue;
        } else if (code == 21) {
            vertices.back().at.setY(gr.number(i));
        } else if (code == 12) {
            vertices.back().direction.setX(gr.number(i));
        } else if (code == 22) {
            vertices.back().direction.setY(gr.number(i));
        } else if (code == 13) {
            vertices.back().miter.setX(gr.number(i));
        } else if (code == 23) {
            vertices.back().miter.setY(gr.number(i));
        } else if (code == 74) {
            vertices.back().elements.emplace_back();
        } else if (code == 41 && !vertices.back().elements.empty()) {
            vertices.back().elements.back().push_back(gr.number(i));
        }
    }
    if (vertices.size() < 2) return;

    // Where an element meets a vertex's miter line: its first parameter, or
    // where none is given its offset from the style, justified (70: top,
    // zero, bottom) and scaled, measured across the segment.
    double shift = 0;
    const int justification = gr.integer(70);
    if (justification != 1) {
        for (const auto& e : style.elements) shift = justification == 0 ? std::max(shift, e.offset) : std::min(shift, e.offset);
    }
    auto along = [&](const MLineVertex& v, std::size_t e) {
        if (e < v.elements.size() && !v.elements[e].empty()) return v.elements[e][0];
        const QPointF d = unit(v.direction), m = unit(v.miter);
        const double sine = d.x() * m.y() - d.y() * m.x();
        return std::abs(sine) > 1e-9 ? (style.elements[e].offset - shift) * scale / sine : 0.0;
    };
    auto elementPoint = [&](const MLineVertex& v, std::size_t e) { return v.at + unit(v.miter) * along(v, e); };

    auto itemFor = [&](std::size_t e) {
        Item item = c.item;
        const int aci = style.elements[e].aci;
        if (aci >= 1 && aci <= 255) item.colorBy = By::Value, item.rgb = aciColor(aci).rgb();
        else if (aci == 256) item.colorBy = By::Layer;
        const std::string& lt = style.elements[e].linetype;
        if (lt.empty() || dxf::foldCase(lt) == "bylayer") item.linetype = kLinetypeByLayer;
        else if (dxf::foldCase(lt) != "byblock") item.linetype = linetypeOf(lt);
        return item;
    };

    // Elements from the outermost on the left (largest offset) to the right.
    std::vector<std::size_t> order(elementCount);
    for (std::size_t e = 0; e < elementCount; ++e) order[e] = e;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return style.elements[a].offset > style.elements[b].offset; });

    // The fill, under the elements: between the outermost two, along the
    // left one and back along the right one (closed: the ring between them).
    if ((style.flags & kFill) && elementCount >= 2) {
        QPolygonF left, right;
        for (const MLineVertex& v : vertices) left << elementPoint(v, order.front()), right << elementPoint(v, order.back());
        QPainterPath area;
        area.setFillRule(Qt::OddEvenFill);
        if (closed) {
            area.addPolygon(c.ocs.map(left));
            area.addPolygon(c.ocs.map(right));
        } else {
            std::reverse(right.begin(), right.end());
            area.addPolygon(c.ocs.map(left + right));
        }
        Item item = c.item;
        if (style.fillAci == 0) item.colorBy = By::Block;
        else if (style.fillAci >= 1 && style.fillAci <= 255) item.colorBy = By::Value, item.rgb = aciColor(style.fillAci).rgb();
        pushFill(g, item, area);
    }

    const std::size_t segments = closed ? vertices.size() : vertices.size() - 1;
    for (std::size_t e = 0; e < elementCount; ++e) {
        const Item item = itemFor(e);
        QPolygonF current;
        auto flush = [&] {
            if (current.size() >= 2) pushPolyline(g, item, c.ocs.map(current), false);
            current.clear();
        };
        for (std::size_t s = 0; s < segments; ++s) {
            const MLineVertex& v = vertices[s];
            const MLineVertex& next = vertices[(s + 1) % vertices.size()];
            const QPointF d = unit(v.direction);
            const QPointF from = elementPoint(v, e), to = elementPoint(next, e);
            const double length = QPointF::dotProduct(to - from, d);
            const double tolerance = 1e-7 * (1 + std::abs(to.x()) + std::abs(to.y()));
            if (!(length > 0)) {
                flush();
                continue;
            }
            // From the second parameter on: where the element starts along
            // the segment, then where it stops and starts again.
            std::vector<double> marks;
            if (e < v.elements.size() && v.elements[e].size() >= 2) {
                const std::vector<double>& p = v.elements[e];
                marks.push_back(p[1]);
                for (std::size_t k = 2; k < p.size(); ++k) marks.push_back(p[1] + p[k]);
            } else {
                marks.push_back(0);
            }
            if (marks.size() % 2 == 1) marks.push_back(length);
            for (std::size_t k = 0; k + 1 < marks.size(); k += 2) {
                const double t0 = std::clamp(marks[k], 0.0, length), t1 = std::clamp(marks[k + 1], 0.0, length);
                if (!(t1 > t0)) continue;
                const QPointF a = from + d * t0, b = t1 >= length ? to : from + d * t1;
                if (current.isEmpty() || QLineF(current.back(), a).length() > tolerance) {
                    flush();
                    current << a;
                }
                current << b;
            }
            if (current.isEmpty() || QLineF(current.back(), to).length() > tolerance) flush();
        }
        flush();
    }

    auto line = [&](const QPointF& a, const QPointF& b) {
        const QPointF ends[2] = {c.ocs.map(a), c.ocs.map(b)};
        pushPolyline(g, c.item, ends, 2, false);
    };
    auto arc = [&](const QPointF& a, const QPointF& b) {
        QPolygonF points;
        points << a;
        bulgePoints(a, b, 1, points);  // a half circle, counter-clockwise from a to b
        pushPolyline(g, c.item, c.ocs.map(points), false);
    };
    if (style.flags & kShowMiters)
        for (std::size_t s = closed ? 0 : 1; s < (closed ? vertices.size() : vertices.size() - 1); ++s)
            line(elementPoint(vertices[s], order.front()), elementPoint(vertices[s], order.back()));
    if (closed || elementCount < 2) return;
    // Caps: a line across, the outermost pair joined by a half circle, the
    // pairs within by half circles of their own.
    auto startOf = [&](std::size_t e) {
        const MLineVertex& v = vertices.front();
        const double skip = e < v.elements.size() && v.elements[e].size() >= 2 ? v.elements[e][1] : 0;
        return elementPoint(v, e) + unit(v.direction) * skip;
    };
    auto endOf = [&](std::size_t e) { return elementPoint(vertices.back(), e); };
    const std::size_t n = order.size();
    if (!(flags & 4)) {
        if (style.flags & kStartLine) line(startOf(order.front()), startOf(order.back()));
        if (style.flags & kStartRound) arc(startOf(order.front()), startOf(order.back()));
        if (style.flags & kStartInner)
            for (std::size_t k = 1; k < n / 2; ++k) arc(startOf(order[k]), startOf(order[n - 1 - k]));
    }
    if (!(flags & 8)) {
        if (style.flags & kEndLine) line(endOf(order.front()), endOf(order.back()));
        if (style.flags & kEndRound) arc(endOf(order.back()), endOf(order.front()));
        if (style.flags & kEndInner)
            for (std::size_t k = 1; k < n / 2; ++k) arc(endOf(order[n - 1 - k]), endOf(order[k]));
    }
}

}  // namespace drawhost
