// Multileaders and meshes: a multileader draws its leader lines with their
// arrowheads and landings and its text or block; a mesh draws the edges of its faces
// as seen from above.
#include <cmath>

#include "SceneBuild.h"
#include "SceneText.h"

namespace drawhost {

namespace {

// A leader of a multileader: its lines (each from its arrowhead's tip) and
// the landing they run to, with the dogleg beyond it.
struct MLeaderBranch {
    QPointF landing;
    bool hasLanding = false;
    QPointF doglegDirection;
    double doglegLength = 0;
    std::vector<QPolygonF> lines;
};

void setX(QPointF& p, double v) { p.setX(v); }
void setY(QPointF& p, double v) { p.setY(v); }

}  // namespace

void SceneBuilder::Impl::multileader(Geometry& g, const Groups& gr, const Common& c, int depth) {
    // The groups nest: the context data ("300 CONTEXT_DATA{" .. "301 }")
    // holds the text and each leader ("302 LEADER{" .. "303 }"), a leader
    // holds its lines ("304 LEADER_LINE{" .. "305 }"). Groups after the
    // context data are the object's own properties.
    enum Level { Before, Context, Leader, Line, After } level = Before;
    std::vector<MLeaderBranch> leaders;
    MultiText text;
    bool hasText = false, textFlagSeen = false;
    QPointF textDirection(1, 0);
    double arrowSize = -1, ownArrowSize = -1;
    int lineType = 1;
    bool dogleg = true;
    // Block content: the block record's handle, where it stands, its scale and rotation.
    bool hasBlock = false;
    std::string blockHandle;
    QPointF blockPosition, blockScale(1, 1);
    double blockRotation = 0;  // radians
    for (std::size_t i = 0; i < gr.size(); ++i) {
        const int code = gr.code(i);
        const std::string_view v = gr.value(i);
        if (code >= 1000) break;
        if (code == 300 && v.starts_with("CONTEXT_DATA")) level = Context;
        else if (code == 302 && level == Context) level = Leader, leaders.emplace_back();
        else if (code == 304 && level == Leader && v.starts_with("LEADER_LINE")) level = Line, leaders.back().lines.emplace_back();
        else if (code == 305 && level == Line) level = Leader;
        else if (code == 303 && level == Leader) level = Context;
        else if (code == 301 && level == Context) level = After;
        else if (level == Line) {
            QPolygonF& line = leaders.back().lines.back();
            if (code == 10) line << QPointF(gr.number(i), 0);
            else if (code == 20 && !line.isEmpty()) setY(line.back(), gr.number(i));
        } else if (level == Leader) {
            MLeaderBranch& b = leaders.back();
            if (code == 10) setX(b.landing, gr.number(i)), b.hasLanding = true;
            else if (code == 20) setY(b.landing, gr.number(i));
            else if (code == 11) setX(b.doglegDirection, gr.number(i));
            else if (code == 21) setY(b.doglegDirection, gr.number(i));
            else if (code == 40) b.doglegLength = gr.number(i);
        } else if (level == Context) {
            switch (code) {
            case 41: text.height = gr.number(i, 1); break;
            case 140: arrowSize = gr.number(i, -1); break;
            case 290:  // the first says whether there is a text (a later one: a block)
                if (!textFlagSeen) hasText = gr.number(i) != 0, textFlagSeen = true;
                break;
            case 304: text.text = QString::fromStdString(decode(v)); break;
            case 12: setX(text.insert, gr.number(i)); break;
            case 22: setY(text.insert, gr.number(i)); break;
            case 13: setX(textDirection, gr.number(i)); break;
            case 23: setY(textDirection, gr.number(i)); break;
            case 43: text.width = gr.number(i); break;
            case 45: text.lineSpacing = gr.number(i, 1); break;
            case 171: text.attachment = int(gr.number(i, 1)); break;
            case 296: hasBlock = gr.number(i) != 0; break;
            case 341: blockHandle = std::string(v); break;
            case 15: setX(blockPosition, gr.number(i)); break;
            case 25: setY(blockPosition, gr.number(i)); break;
            case 16: setX(blockScale, gr.number(i, 1)); break;
            case 26: setY(blockScale, gr.number(i, 1)); break;
            case 46: blockRotation = gr.number(i); break;
            default: break;
            }
        } else if (level == After) {
            if (code == 170) lineType = int(gr.number(i, 1));
            else if (code == 291) dogleg = gr.number(i, 1) != 0;
            else if (code == 42) ownArrowSize = gr.number(i, -1);
        }
    }
    const double arrow = arrowSize > 0 ? arrowSize : ownArrowSize;
    text.angle = std::atan2(textDirection.y(), textDirection.x());

    if (lineType != 0) {
        for (const MLeaderBranch& b : leaders) {
            for (QPolygonF line : b.lines) {
                if (line.isEmpty()) continue;
                if (b.hasLanding) line << b.landing;
                if (line.size() < 2) continue;
                pushPolyline(g, c.item, c.ocs.map(line), false);
                // A closed, filled arrowhead at the line's first point.
                const QPointF tip = line[0], d = line[1] - line[0];
                const double len = std::hypot(d.x(), d.y());
                if (!(len > 0) || !(arrow > 0)) continue;
                const QPointF along = d / len * std::min(arrow, len), across(-along.y() / 6, along.x() / 6);
                QPainterPath head;
                head.addPolygon(c.ocs.map(QPolygonF({tip, tip + along + across, tip + along - across})));
                head.closeSubpath();
                pushFill(g, c.item, head);
            }
            const double dl = std::hypot(b.doglegDirection.x(), b.doglegDirection.y());
            if (dogleg && b.hasLanding && !b.lines.empty() && b.doglegLength > 0 && dl > 0)
                pushPolyline(g, c.item,
                             c.ocs.map(QPolygonF({b.landing, b.landing + b.doglegDirection / dl * b.doglegLength})), false);
        }
    }
    if (hasText && !text.text.isEmpty()) pushMultiText(g, text, c, 1);
    if (hasBlock && !blockHandle.empty() && depth < kMaxNesting) {
        // The block is placed as a reference to it would be.
        const std::string name = blockRecordName(blockHandle);
        if (name.empty()) return;
        QTransform placed;
        placed.translate(blockPosition.x(), blockPosition.y());
        placed.rotateRadians(blockRotation);
        placed.scale(blockScale.x(), blockScale.y());
        blockAt(g, name, placed * c.ocs, c, depth);
    }
}

std::string SceneBuilder::Impl::blockRecordName(const std::string& handle) {
    const auto lock = shared();
    const std::optional<dxf::Entity> record = d_.findHandle(handle);
    if (!record) return {};
    Groups gr;
    gr.read(*record);
    return gr.size() > 0 && gr.value(0) == "BLOCK_RECORD" ? std::string(gr.str(2)) : std::string();
}

void SceneBuilder::Impl::mesh(Geometry& g, const Groups& gr, const Common& c) {
    // 92 vertex count and the vertices (10/20/30), then 93 the size of the
    // face list and that many 90s: each face's vertex count, then its
    // vertices' indices.
    const std::size_t vertexCount = gr.find(92);
    if (vertexCount >= gr.size()) return;
    std::vector<QPointF> vertices;
    std::size_t i = vertexCount + 1;
    for (; i < gr.size() && gr.code(i) != 93; ++i) {
        if (gr.code(i) == 10) vertices.emplace_back(gr.number(i), 0);
        else if (gr.code(i) == 20 && !vertices.empty()) vertices.back().setY(gr.number(i));
    }
    if (i >= gr.size()) return;
    const long listSize = long(gr.number(i));
    std::vector<long> list;
    for (++i; i < gr.size() && gr.code(i) == 90 && long(list.size()) < listSize; ++i) list.push_back(long(gr.number(i)));
    for (std::size_t k = 0; k < list.size();) {
        const long n = list[k++];
        if (n < 2 || k + std::size_t(n) > list.size()) break;
        QPolygonF face;
        for (long j = 0; j < n; ++j) {
            const long v = list[k + std::size_t(j)];
            if (v < 0 || std::size_t(v) >= vertices.size()) {
                face.clear();
                break;
            }
            face << vertices[std::size_t(v)];
        }
        k += std::size_t(n);
        if (!face.isEmpty()) pushPolyline(g, c.item, c.ocs.map(face), true);
    }
}

}  // namespace drawhost
