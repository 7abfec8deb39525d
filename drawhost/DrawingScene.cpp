#include "DrawingScene.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

#include "SceneGroups.h"

namespace drawhost {

namespace {

constexpr std::size_t kGridThreshold = 512;  // fewer items are simply all looked at
constexpr int kLargeCells = 64;              // an item over more cells is kept apart
constexpr std::size_t kItemsForTwoThreads = 200000;  // more are indexed in two halves at once

// The cell (0 to last) a position in cell units falls in; far off or not a
// number: the nearest end.
int cellOf(double v, int last) { return v >= 0 ? (v < last ? int(v) : last) : 0; }

bool overlaps(const QRectF& a, const QRectF& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

}  // namespace

QPointF ArcGeom::at(double t) const { return center + major * std::cos(t) + minor * std::sin(t); }

void Geometry::indexLater() {
    // A transform works out its type when first asked and keeps it: asked
    // here, painters on two threads only read it.
    for (const Instance& i : instances) (void)i.transform.type();
    grid = Grid();
    pendingIndex = items.size() < kGridThreshold || bounds.isNull() ? nullptr : std::make_unique<std::once_flag>();
}

void Geometry::ensureIndexed() const {
    if (pendingIndex) std::call_once(*pendingIndex, [this] { const_cast<Geometry*>(this)->index(); });
}

void Geometry::index() {
    for (const Instance& i : instances) (void)i.transform.type();
    grid = Grid();
    if (items.size() < kGridThreshold || bounds.isNull()) return;
    // Cells of about four items each, at most 256 × 256.
    const int side = std::clamp(int(std::sqrt(double(items.size()) / 4)), 4, 256);
    grid.area = bounds;
    grid.columns = bounds.width() > 0 ? side : 1;
    grid.rows = bounds.height() > 0 ? side : 1;
    const double cw = grid.area.width() / grid.columns, ch = grid.area.height() / grid.rows;
    const double perColumn = cw > 0 ? 1 / cw : 0, perRow = ch > 0 ? 1 / ch : 0;
    const double left = grid.area.left(), top = grid.area.top();
    const int lastColumn = grid.columns - 1, lastRow = grid.rows - 1;
    // Each item's cells, worked out once for both passes (c0, c1, r0, r1;
    // c0 of -1 for an item kept apart). A large drawing's items are gone
    // through in two halves at once; each half counts, and then fills, its
    // own share of every cell, the first half's before the second's.
    std::vector<std::array<std::int16_t, 4>> ranges(items.size());
    const std::size_t cells = std::size_t(grid.columns) * grid.rows;
    const auto count = [&](std::size_t from, std::size_t to, std::vector<std::uint32_t>& counts, std::vector<std::uint32_t>& large) {
        counts.assign(cells, 0);
        for (std::size_t i = from; i < to; ++i) {
            const QRectF& b = items[i].bounds;
            const int c0 = cellOf((b.left() - left) * perColumn, lastColumn);
            const int c1 = cellOf((b.right() - left) * perColumn, lastColumn);
            const int r0 = cellOf((b.top() - top) * perRow, lastRow);
            const int r1 = cellOf((b.bottom() - top) * perRow, lastRow);
            if ((c1 - c0 + 1) * (r1 - r0 + 1) > kLargeCells || !overlaps(b, grid.area)) {
                large.push_back(std::uint32_t(i));
                ranges[i][0] = -1;
                continue;
            }
            ranges[i] = {std::int16_t(c0), std::int16_t(c1), std::int16_t(r0), std::int16_t(r1)};
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c) ++counts[std::size_t(r) * grid.columns + c];
        }
    };
    const auto place = [&](std::size_t from, std::size_t to, std::vector<std::uint32_t>& fill) {
        for (std::size_t i = from; i < to; ++i) {
            const auto [c0, c1, r0, r1] = ranges[i];
            if (c0 < 0) continue;
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c) grid.cellItems[fill[std::size_t(r) * grid.columns + c]++] = std::uint32_t(i);
        }
    };
    const bool halves = items.size() >= kItemsForTwoThreads && spareCore();
    const std::size_t mid = halves ? items.size() / 2 : items.size();
    std::vector<std::uint32_t> firstCounts, secondCounts, secondLarge;
    if (halves) {
        std::thread second([&] { count(mid, items.size(), secondCounts, secondLarge); });
        count(0, mid, firstCounts, grid.large);
        second.join();
        grid.large.insert(grid.large.end(), secondLarge.begin(), secondLarge.end());
    } else {
        count(0, mid, firstCounts, grid.large);
    }
    grid.cellStart.assign(cells + 1, 0);
    for (std::size_t c = 0; c < cells; ++c)
        grid.cellStart[c + 1] = grid.cellStart[c] + firstCounts[c] + (halves ? secondCounts[c] : 0);
    grid.cellItems.resize(grid.cellStart.back());
    std::vector<std::uint32_t> firstFill(grid.cellStart.begin(), grid.cellStart.end() - 1);
    if (halves) {
        std::vector<std::uint32_t> secondFill(cells);
        for (std::size_t c = 0; c < cells; ++c) secondFill[c] = firstFill[c] + firstCounts[c];
        std::thread second([&] { place(mid, items.size(), secondFill); });
        place(0, mid, firstFill);
        second.join();
    } else {
        place(0, mid, firstFill);
    }
}

void Geometry::itemsIn(const QRectF& area, std::vector<std::uint32_t>& out) const {
    out.clear();
    bool everything = items.size() < kGridThreshold || bounds.isNull() || area.contains(bounds);
    if (!everything) ensureIndexed();
    everything = everything || grid.columns == 0;
    if (everything) {
        out.reserve(items.size());
        for (std::size_t i = 0; i < items.size(); ++i)
            if (overlaps(items[i].bounds, area)) out.push_back(std::uint32_t(i));
        return;
    }
    for (std::uint32_t i : grid.large)
        if (overlaps(items[i].bounds, area)) out.push_back(i);
    if (!overlaps(area, grid.area)) return;
    const double cw = grid.area.width() / grid.columns, ch = grid.area.height() / grid.rows;
    const int c0 = cw > 0 ? std::clamp(int((area.left() - grid.area.left()) / cw), 0, grid.columns - 1) : 0;
    const int c1 = cw > 0 ? std::clamp(int((area.right() - grid.area.left()) / cw), 0, grid.columns - 1) : 0;
    const int r0 = ch > 0 ? std::clamp(int((area.top() - grid.area.top()) / ch), 0, grid.rows - 1) : 0;
    const int r1 = ch > 0 ? std::clamp(int((area.bottom() - grid.area.top()) / ch), 0, grid.rows - 1) : 0;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const std::size_t cell = std::size_t(r) * grid.columns + c;
            for (std::uint32_t k = grid.cellStart[cell]; k < grid.cellStart[cell + 1]; ++k) {
                const std::uint32_t i = grid.cellItems[k];
                if (overlaps(items[i].bounds, area)) out.push_back(i);
            }
        }
    // An item over several cells was found once per cell; keep the file's order.
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

std::int32_t Scene::layerIndex(const QString& name) const {
    for (std::size_t i = 0; i < layers.size(); ++i)
        if (layers[i].name.compare(name, Qt::CaseInsensitive) == 0) return std::int32_t(i);
    return -1;
}

std::int32_t Scene::linetypeIndex(const QString& name) const {
    if (name.compare(QStringLiteral("BYLAYER"), Qt::CaseInsensitive) == 0) return kLinetypeByLayer;
    if (name.compare(QStringLiteral("BYBLOCK"), Qt::CaseInsensitive) == 0) return kLinetypeByBlock;
    for (std::size_t i = 0; i < linetypes.size(); ++i)
        if (linetypes[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return linetypes[i].pattern.empty() ? kLinetypeContinuous : std::int32_t(i);
    return kLinetypeContinuous;
}

void Scene::refreshLayers(const dxf::Drawing& drawing) {
    (void)drawing;
    Groups g;
    for (SceneLayer& l : layers) {
        if (!l.layer.valid()) continue;
        if (l.layer.isDeleted()) {
            l.on = false;
            continue;
        }
        l.on = l.layer.layerOn();
        l.frozen = l.layer.freeze();
        l.rgb = aciColor(l.layer.color()).rgb();
        if (l.record.valid()) {
            g.read(l.record);
            if (g.has(420)) {
                const unsigned v = unsigned(g.num(420));
                l.rgb = qRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
            }
        }
        l.lineweight = std::int16_t(l.layer.lineweight());
        l.linetype = linetypeIndex(QString::fromStdString(l.layer.linetype()));
        if (l.linetype < 0) l.linetype = kLinetypeContinuous;
    }
}

Scene buildScene(const dxf::Drawing& drawing) { return buildScene(drawing, drawing.modelSpace()); }

Scene buildScene(const dxf::Drawing& drawing, const std::vector<dxf::Entity>& objects, int threads) {
    SceneBuilder builder(drawing, objects, threads);
    builder.run(-1);
    return builder.take();
}

namespace {

// What the machine's processors did up to now, in seconds of one processor:
// all of them busy, and this process's own share of that.
struct CpuSample {
    std::chrono::steady_clock::time_point at;
    double busy = 0, own = 0;
};

bool sampleCpu(CpuSample& s) {
    std::FILE* f = std::fopen("/proc/stat", "r");
    if (!f) return false;
    // cpu user nice system idle iowait irq softirq steal
    unsigned long long v[8] = {};
    const int n = std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                              &v[6], &v[7]);
    std::fclose(f);
    if (n < 5) return false;
    const double tick = double(sysconf(_SC_CLK_TCK));
    rusage self{};
    if (tick <= 0 || getrusage(RUSAGE_SELF, &self) != 0) return false;
    s.at = std::chrono::steady_clock::now();
    s.busy = double(v[0] + v[1] + v[2] + v[5] + v[6] + v[7]) / tick;
    s.own = double(self.ru_utime.tv_sec + self.ru_stime.tv_sec) + (self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
    return true;
}

}  // namespace

bool spareCore() {
    // DRAWHOST_THREADS=1 keeps drawing on one thread, =2 takes a second
    // whatever the load (to measure either).
    static const int forced = qEnvironmentVariableIntValue("DRAWHOST_THREADS");
    if (forced == 1 || forced == 2) return forced == 2;
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores < 2) return false;
    // What other processes used of the processors since the last call (if
    // it was recently): this process's own drawing must not count against
    // it, as it would in the load average.
    // Calls closer together than a twentieth of a second get the last answer.
    static std::mutex lock;
    static CpuSample last;
    static bool haveLast = false, lastAnswer = false;
    CpuSample now;
    const bool sampled = sampleCpu(now);
    const std::lock_guard<std::mutex> guard(lock);
    if (sampled && haveLast) {
        const double window = std::chrono::duration<double>(now.at - last.at).count();
        if (window < 0.05) return lastAnswer;
        if (window <= 5) {
            const double others = (now.busy - last.busy) - (now.own - last.own);
            last = now;
            return lastAnswer = others / window < cores - 1.5;
        }
    }
    if (sampled) last = now, haveLast = true;
    // Otherwise: the processes running at this moment (the caller among them),
    // and the load of the last minute.
    unsigned running = 0, total = 0;
    double load = 0;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %*f %*f %u/%u", &load, &running, &total) != 3) running = 0;
        std::fclose(f);
    }
    if (running > 0) return lastAnswer = running <= cores - 1 && load < cores;
    return lastAnswer = getloadavg(&load, 1) == 1 && load + 1 <= cores;
}

QColor aciColor(int index) {
    static const QRgb basic[] = {qRgb(0, 0, 0),       qRgb(255, 0, 0),     qRgb(255, 255, 0),
                                 qRgb(0, 255, 0),     qRgb(0, 255, 255),   qRgb(0, 0, 255),
                                 qRgb(255, 0, 255),   qRgb(255, 255, 255), qRgb(128, 128, 128),
                                 qRgb(192, 192, 192)};
    static const QRgb greys[] = {qRgb(51, 51, 51),    qRgb(80, 80, 80),    qRgb(105, 105, 105),
                                 qRgb(130, 130, 130), qRgb(190, 190, 190), qRgb(255, 255, 255)};
    index = std::abs(index);
    if (index >= 1 && index <= 9) return QColor(basic[index]);
    if (index >= 250 && index <= 255) return QColor(greys[index - 250]);
    if (index < 10 || index > 249) return QColor(basic[7]);
    // 10-249: 24 hues 15° apart, each in five values, full and half saturation.
    static const double values[] = {1.0, 0.65, 0.5, 0.3, 0.15};
    const int hue = (index / 10 - 1) * 15;
    const double value = values[(index % 10) / 2];
    const double saturation = index % 2 ? 0.5 : 1.0;
    return QColor::fromHsvF(hue / 360.0, saturation, value);
}

}  // namespace drawhost
