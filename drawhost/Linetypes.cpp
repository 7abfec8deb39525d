#include "Linetypes.h"

#include <cmath>

#include "SceneGroups.h"

namespace drawhost {

std::vector<Linetype> readLinetypes(const dxf::Drawing& drawing) {
    std::vector<Linetype> out;
    Groups g;
    for (const dxf::Entity& record : drawing.tableRecords("LTYPE")) {
        g.read(record);
        Linetype lt;
        lt.name = QString::fromStdString(drawing.decodeText(g.str(2)));
        for (std::size_t i = 0; i < g.size(); ++i) {
            if (g.code(i) != 49) continue;
            lt.pattern.push_back(g.number(i));
            lt.length += std::abs(lt.pattern.back());
        }
        // A pattern without gaps is continuous.
        bool gaps = false;
        for (double v : lt.pattern) gaps = gaps || v <= 0;
        if (!gaps || !(lt.length > 0)) lt.pattern.clear();
        out.push_back(std::move(lt));
    }
    return out;
}

bool strokePattern(const QPointF* pts, std::size_t n, bool closed, const std::vector<double>& pattern, double scale,
                   std::vector<QLineF>& lines, std::vector<QPointF>& dots, double maxRepeats) {
    if (n < 2 || pattern.empty()) return false;
    double period = 0;
    for (double v : pattern) period += std::abs(v) * scale;
    if (!(period > 0) || !std::isfinite(period)) return false;
    double total = 0;
    const std::size_t segments = closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) total += QLineF(pts[i], pts[(i + 1) % n]).length();
    if (total / period > maxRepeats) return false;

    std::size_t element = 0;
    double left = std::abs(pattern[0]) * scale;  // of the current element
    for (std::size_t i = 0; i < segments; ++i) {
        const QPointF a = pts[i], b = pts[(i + 1) % n];
        const double length = QLineF(a, b).length();
        if (!(length > 0)) continue;
        const QPointF dir = (b - a) / length;
        double at = 0;
        while (true) {
            const double v = pattern[element];
            if (v == 0) {
                dots.push_back(a + dir * at);
            } else {
                const double step = std::min(left, length - at);
                if (v > 0 && step > 0) lines.emplace_back(a + dir * at, a + dir * (at + step));
                at += step;
                left -= step;
                if (left > 1e-12 * period) break;  // the segment ends inside this element
            }
            element = (element + 1) % pattern.size();
            left = std::abs(pattern[element]) * scale;
            if (at >= length) break;
        }
    }
    return true;
}

}  // namespace drawhost
