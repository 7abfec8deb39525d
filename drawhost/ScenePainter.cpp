#include "ScenePainter.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <exception>
#include <iterator>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "GlyphRaster.h"
#include "LineRaster.h"
#include "Linetypes.h"
#include "SceneText.h"

namespace drawhost {

namespace {

constexpr int kMaxDepth = 18;
constexpr double kMinDashPeriod = 3;  // device units: a pattern shorter than this is drawn solid
// With fewer items in view, or fewer lines drawn, one thread does it all.
constexpr std::size_t kItemsForTwoThreads = 20000;
constexpr std::size_t kItemsPerRun = 1024;  // items in view taken at a time by either thread
constexpr std::size_t kLinesForTwoThreads = 100000;
// A hatch's lines are made when it is first drawn, by whichever thread gets there first.
std::mutex hatchCache;

// The bounds of a rectangle mapped by t: what QTransform::mapRect gives,
// without its general case for affine transforms.
QRectF mapBounds(const QTransform& t, const QRectF& r) {
    if (t.type() == QTransform::TxProject) return t.mapRect(r);
    const double cx = r.x() + r.width() / 2, cy = r.y() + r.height() / 2;
    const double hw = r.width() / 2, hh = r.height() / 2;
    const double x = t.m11() * cx + t.m21() * cy + t.dx(), y = t.m12() * cx + t.m22() * cy + t.dy();
    const double w = std::abs(t.m11()) * hw + std::abs(t.m21()) * hh, h = std::abs(t.m12()) * hw + std::abs(t.m22()) * hh;
    return QRectF(x - w, y - h, 2 * w, 2 * h);
}

bool overlaps(const QRectF& a, const QRectF& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

// What a block reference passes to the objects of its block that take
// their layer, colour, lineweight or linetype from it.
struct Inherit {
    std::int32_t layer = -1;
    QRgb rgb = qRgb(255, 255, 255);
    std::int16_t lineweight = kLineweightDefault;
    std::int32_t linetype = kLinetypeContinuous;
};

// Thin lines in device coordinates, kept as floats in blocks: a frame at the
// extents of a large drawing holds millions of them, which one growing array
// would copy and fault in over and over.
class LineStore {
public:
    struct Line {
        float x1, y1, x2, y2;
    };
    void add(QPointF a, QPointF b) {
        if (!nearEnough(a, b)) return;
        if (blocks_.empty() || blocks_.back().count == kBlock) blocks_.push_back(Block{std::unique_ptr<Line[]>(new Line[kBlock]), 0});
        Block& last = blocks_.back();
        last.lines[last.count++] = Line{float(a.x()), float(a.y()), float(b.x()), float(b.y())};
    }
    void add(const QLineF& l) { add(l.p1(), l.p2()); }
    std::size_t size() const {
        std::size_t n = 0;
        for (const Block& b : blocks_) n += b.count;
        return n;
    }
    bool empty() const { return blocks_.empty(); }
    // Takes the other's lines after these.
    void append(LineStore&& other) {
        for (Block& b : other.blocks_) blocks_.push_back(std::move(b));
        other.blocks_.clear();
    }
    template <class Fn>
    void forEach(Fn&& fn) const {
        for (const Block& b : blocks_)
            for (std::uint32_t i = 0; i < b.count; ++i) fn(b.lines[i]);
    }

private:
    // A line reaching beyond a million pixels (a construction line, or a deep
    // zoom) is cut there first, where floats still place it to a small part
    // of a pixel; false when nothing of it is left (or it has no place).
    static bool nearEnough(QPointF& a, QPointF& b) {
        constexpr double kFar = 1e6;
        if (std::abs(a.x()) <= kFar && std::abs(a.y()) <= kFar && std::abs(b.x()) <= kFar && std::abs(b.y()) <= kFar)
            return true;
        if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y())) return false;
        const QPointF d = b - a;
        double t0 = 0, t1 = 1;
        const double p[4] = {-d.x(), d.x(), -d.y(), d.y()};
        const double q[4] = {a.x() + kFar, kFar - a.x(), a.y() + kFar, kFar - a.y()};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (!(q[i] >= 0)) return false;
                continue;
            }
            const double r = q[i] / p[i];
            if (p[i] < 0) t0 = std::max(t0, r);
            else t1 = std::min(t1, r);
        }
        if (!(t0 <= t1)) return false;
        b = a + d * t1;
        a = a + d * t0;
        return true;
    }

    static constexpr std::uint32_t kBlock = 4096;  // 64 KB
    struct Block {
        std::unique_ptr<Line[]> lines;
        std::uint32_t count;
    };
    std::vector<Block> blocks_;
};

class Painter {
public:
    Painter(QPainter& p, const Scene& scene, const QRectF& area, const PaintOptions& o)
        : p_(p), base_(p.transform()), scene_(scene), area_(area), o_(o), buffers_(kMaxDepth + 2) {}

    void geometry(const Geometry& g, const QTransform& t, const Inherit& inherit, int depth);
    // Model space: with many items in view, the later half is looked at on a second thread.
    void top(const Geometry& g, const QTransform& t);
    void flush();

private:
    struct Batch {
        QRgb rgb;
        double width;
        LineStore lines;
        std::vector<QPointF> dots;
        std::size_t firstItem = 0;  // the model space item that first asked for it
    };
    struct TextDraw {
        const TextRun* run;
        QTransform t;
        QRgb rgb;
        QRectF box;  // device units
        std::size_t item = 0;  // the model space item it belongs to
    };

    // The batch of a colour and width; a drawing has hundreds of them, and
    // every item asks, so they are found through a hash.
    Batch& batch(QRgb rgb, double width) {
        if (lastBatch_ < batches_.size() && batches_[lastBatch_].rgb == rgb && batches_[lastBatch_].width == width)
            return batches_[lastBatch_];
        const auto [it, added] = batchIndex_.try_emplace(BatchKey{rgb, width}, batches_.size());
        if (added) batches_.push_back(Batch{rgb, width, {}, {}, item_});
        lastBatch_ = it->second;
        return batches_[lastBatch_];
    }
    QRgb shown(QRgb rgb) const {
        if (o_.monochrome) return qRgb(0, 0, 0);
        if (o_.paper) return qRed(rgb) > 220 && qGreen(rgb) > 220 && qBlue(rgb) > 220 ? qRgb(0, 0, 0) : rgb;
        return (rgb & 0xFFFFFF) == 0 ? qRgb(255, 255, 255) : rgb;  // black on the dark screen shows white
    }
    double width(std::int16_t lineweight) const {
        if (!o_.lineweights) return o_.lineWidth;
        const double mm = (lineweight < 0 ? 25 : lineweight) / 100.0;
        if (o_.pixelsPerMm > 0) return std::max(o_.lineWidth, mm * o_.pixelsPerMm);
        return mm <= 0.25 ? o_.lineWidth : std::max(o_.lineWidth, std::round(mm * 96 / 25.4));
    }
    void path(const QPointF* pts, std::size_t n, bool closed, Batch& b, const std::vector<double>* pattern, double patternScale);
    void item(const Geometry& g, const Item& it, const QTransform& t, double scale, const Inherit& inherit, int depth);
    // What was gathered, drawn through the painter (any device) or, on an
    // image, by bands of rows (two threads when there is much to draw).
    void flushThroughPainter();
    void flushBand(QImage& image, const QRectF& area, const QRect& clip, int top, int bottom);
    // With a raster (a plain frame on the view's image), convex outlines are
    // filled through it, at their device position plus `shift`.
    void fills(QPainter& p, const QTransform& base, const QRectF& rows, bool asPolygons, LineRaster* raster = nullptr,
               const QPointF& shift = QPointF());
    void wideLines(QPainter& p, const QTransform& base, bool thinToo);
    void texts(QPainter& p, const QTransform& base, QImage* image, const QRect& clip, const QPointF& shift,
               const QRectF& rows);

    QPainter& p_;
    QTransform base_;  // the painter's own, under the device coordinates
    const Scene& scene_;
    QRectF area_;
    PaintOptions o_;
    std::vector<Batch> batches_;  // in the order first asked for: later ones draw over earlier ones
    struct BatchKey {
        QRgb rgb;
        double width;
        bool operator==(const BatchKey&) const = default;
    };
    struct BatchKeyHash {
        std::size_t operator()(const BatchKey& k) const {
            return (std::bit_cast<std::uint64_t>(k.width) ^ k.rgb) * 0x9E3779B97F4A7C15ull >> 20;
        }
    };
    std::unordered_map<BatchKey, std::size_t, BatchKeyHash> batchIndex_;
    std::size_t lastBatch_ = 0;
    struct FillDraw {
        const QPainterPath* path;  // the scene's own: polygons only
        std::uint32_t transform;   // into transforms_
        QRgb color;                // with its alpha
        QRectF box;                // device units
        std::size_t item = 0;      // the model space item it belongs to
    };
    void addFill(const QPainterPath* path, const QTransform& t, QRgb color, const QRectF& box) {
        // The fills of one block reference share its transform.
        if (transforms_.empty() || !(transforms_.back() == t)) transforms_.push_back(t);
        fills_.push_back(FillDraw{path, std::uint32_t(transforms_.size() - 1), color, box, item_});
    }
    std::vector<FillDraw> fills_;
    std::vector<QTransform> transforms_;
    std::vector<TextDraw> texts_;
    std::vector<std::vector<std::uint32_t>> buffers_;
    std::vector<QPointF> device_;
    std::vector<QLineF> dashes_;
    std::size_t item_ = 0;  // the model space item being looked at (its place among those in view)
};

void Painter::top(const Geometry& g, const QTransform& t) {
    (void)t.type();  // works out and keeps its type here, before two threads read it
    bool invertible = false;
    const QTransform back = t.inverted(&invertible);
    if (!invertible) return;
    const double scale = std::sqrt(std::abs(t.determinant()));
    std::vector<std::uint32_t>& visible = buffers_[0];
    g.itemsIn(back.mapRect(area_), visible);
    const auto items = [&](Painter& painter, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            painter.item_ = i;
            painter.item(g, g.items[visible[i]], t, scale, Inherit{}, 0);
        }
    };
    if (visible.size() < kItemsForTwoThreads || !spareCore()) {
        items(*this, 0, visible.size());
        return;
    }
    // Runs of items go to whichever thread asks next, each into batches of
    // its own; the two are then put together in the order one painter going
    // through all of them would have made: batches by the item that first
    // asked for them, fills and texts by their items.
    std::atomic<std::size_t> nextRun{0};
    const auto runs = [&](Painter& painter) {
        for (;;) {
            const std::size_t from = nextRun.fetch_add(kItemsPerRun);
            if (from >= visible.size()) return;
            items(painter, from, std::min(visible.size(), from + kItemsPerRun));
        }
    };
    Painter later(p_, scene_, area_, o_);
    std::exception_ptr failed;
    std::thread helper([&] {
        try {
            runs(later);
        } catch (...) {
            failed = std::current_exception();
        }
    });
    try {
        runs(*this);
    } catch (...) {
        nextRun = visible.size();
        helper.join();
        throw;
    }
    helper.join();
    if (failed) std::rethrow_exception(failed);

    std::vector<Batch> mine = std::move(batches_), theirs = std::move(later.batches_);
    batches_.clear();
    batchIndex_.clear();
    lastBatch_ = 0;
    std::size_t a = 0, b = 0;
    while (a < mine.size() || b < theirs.size()) {
        Batch& from = b == theirs.size() || (a < mine.size() && mine[a].firstItem <= theirs[b].firstItem) ? mine[a++] : theirs[b++];
        item_ = from.firstItem;
        Batch& into = batch(from.rgb, from.width);
        into.lines.append(std::move(from.lines));
        into.dots.insert(into.dots.end(), from.dots.begin(), from.dots.end());
    }
    std::vector<FillDraw> myFills = std::move(fills_);
    std::vector<QTransform> myTransforms = std::move(transforms_);
    fills_.clear(), transforms_.clear();
    fills_.reserve(myFills.size() + later.fills_.size());
    for (std::size_t i = 0, k = 0; i < myFills.size() || k < later.fills_.size();) {
        const bool first = k == later.fills_.size() || (i < myFills.size() && myFills[i].item <= later.fills_[k].item);
        const FillDraw& f = first ? myFills[i++] : later.fills_[k++];
        item_ = f.item;
        addFill(f.path, first ? myTransforms[f.transform] : later.transforms_[f.transform], f.color, f.box);
    }
    std::vector<TextDraw> myTexts = std::move(texts_);
    texts_.clear();
    texts_.reserve(myTexts.size() + later.texts_.size());
    std::merge(myTexts.begin(), myTexts.end(), later.texts_.begin(), later.texts_.end(), std::back_inserter(texts_),
               [](const TextDraw& x, const TextDraw& y) { return x.item < y.item; });
}

void Painter::geometry(const Geometry& g, const QTransform& t, const Inherit& inherit, int depth) {
    if (depth > kMaxDepth) return;
    bool invertible = false;
    const QTransform back = t.inverted(&invertible);
    if (!invertible) return;
    const double scale = std::sqrt(std::abs(t.determinant()));
    std::vector<std::uint32_t>& visible = buffers_[depth];
    g.itemsIn(back.mapRect(area_), visible);
    for (std::uint32_t i : visible) item(g, g.items[i], t, scale, inherit, depth);
}

void Painter::path(const QPointF* pts, std::size_t n, bool closed, Batch& b, const std::vector<double>* pattern,
                   double patternScale) {
    if (pattern) {
        dashes_.clear();
        if (strokePattern(pts, n, closed, *pattern, patternScale, dashes_, b.dots)) {
            for (const QLineF& l : dashes_) b.lines.add(l);
            return;
        }
    }
    QPointF last = pts[0];
    for (std::size_t i = 1; i < n; ++i) {
        // Points closer than a pixel to the last one drawn are passed over.
        if (i + 1 < n && std::abs(pts[i].x() - last.x()) < 0.7 && std::abs(pts[i].y() - last.y()) < 0.7) continue;
        b.lines.add(last, pts[i]);
        last = pts[i];
    }
    if (closed && n > 2) b.lines.add(last, pts[0]);
}

void Painter::item(const Geometry& g, const Item& it, const QTransform& t, double scale, const Inherit& inherit, int depth) {
    const std::int32_t layer = it.layer == kInheritLayer ? inherit.layer : it.layer;
    const SceneLayer* look = layer >= 0 && layer < std::int32_t(scene_.layers.size()) ? &scene_.layers[layer] : nullptr;
    if (look) {
        if (look->frozen || (o_.frozen && layer < std::int32_t(o_.frozen->size()) && (*o_.frozen)[layer])) return;
        // A block reference on a layer that is off still shows its objects on other layers.
        if (!look->on && it.kind != Item::Instance) return;
    }
    const QRectF box = mapBounds(t, it.bounds);
    if (!overlaps(box, area_)) return;
    const QRgb rgb = shown(it.colorBy == By::Value ? it.rgb
                           : it.colorBy == By::Block ? inherit.rgb
                           : look ? look->rgb : qRgb(255, 255, 255));
    const std::int16_t lineweight = it.lineweight == kLineweightByLayer ? (look ? look->lineweight : kLineweightDefault)
                                    : it.lineweight == kLineweightByBlock ? inherit.lineweight
                                                                          : it.lineweight;
    const std::int32_t linetype = it.linetype == kLinetypeByLayer ? (look ? look->linetype : kLinetypeContinuous)
                                  : it.linetype == kLinetypeByBlock ? inherit.linetype
                                                                    : it.linetype;
    const double size = std::max(box.width(), box.height());
    const double w = width(lineweight);
    // Anything smaller than a pixel is a dot.
    if (size < 1 && it.kind != Item::Text) {
        batch(rgb, o_.lineWidth).dots.push_back(box.center());
        return;
    }
    const std::vector<double>* pattern = nullptr;
    double patternScale = 0;
    if (linetype >= 0 && linetype < std::int32_t(scene_.linetypes.size()) && !scene_.linetypes[linetype].pattern.empty()) {
        patternScale = scene_.ltscale * it.linetypeScale * scale;
        if (scene_.linetypes[linetype].length * patternScale >= kMinDashPeriod) pattern = &scene_.linetypes[linetype].pattern;
    }
    const auto map = [&](const QPointF& p) {
        return QPointF(t.m11() * p.x() + t.m21() * p.y() + t.dx(), t.m12() * p.x() + t.m22() * p.y() + t.dy());
    };
    const auto mapVector = [&](const QPointF& v) {
        return QPointF(t.m11() * v.x() + t.m21() * v.y(), t.m12() * v.x() + t.m22() * v.y());
    };
    switch (it.kind) {
    case Item::Polyline: {
        device_.resize(it.count);
        const QPointF* pts = g.pointsOf(it);
        for (std::uint32_t i = 0; i < it.count; ++i) device_[i] = map(pts[i]);
        path(device_.data(), device_.size(), it.flags & Item::Closed, batch(rgb, w), pattern, patternScale);
        break;
    }
    case Item::Arc: {
        const ArcGeom& a = g.arcs[it.first];
        const QPointF c = map(a.center), major = mapVector(a.major), minor = mapVector(a.minor);
        const double radius = std::max(std::hypot(major.x(), major.y()), std::hypot(minor.x(), minor.y()));
        // Segments short enough that the chord strays less than a third of a
        // pixel (half a pixel in a plain frame, whose pixels are whole anyway).
        // (2 acos(1 - e), e = 0.33 / radius, taken as 2 sqrt(2e) (1 + e / 12): within 0.1 %.)
        const double e = (o_.antialias ? 0.33 : 0.5) / radius;
        const double step = radius > 1 ? 2 * std::sqrt(2 * e) * (1 + e / 12) : M_PI / 2;
        const int n = std::clamp(int(std::ceil((a.t1 - a.t0) / step)), 2, 2048);
        device_.resize(std::size_t(n) + 1);
        const double dt = (a.t1 - a.t0) / n, cd = std::cos(dt), sd = std::sin(dt);
        double cs = std::cos(a.t0), sn = std::sin(a.t0);
        for (int k = 0; k <= n; ++k) {
            device_[k] = c + major * cs + minor * sn;
            const double next = cs * cd - sn * sd;
            sn = sn * cd + cs * sd;
            cs = next;
        }
        path(device_.data(), device_.size(), false, batch(rgb, w), pattern, patternScale);
        break;
    }
    case Item::Text: {
        const TextRun& run = g.texts[it.first];
        const double px = run.height * scale;
        if (px < 1) break;
        if (px < o_.greekBelow) {
            QPointF b[4];
            run.corners(b);
            batch(rgb, o_.lineWidth).lines.add(map((b[0] + b[3]) / 2), map((b[1] + b[2]) / 2));
            break;
        }
        // Descenders and wide glyphs reach a little beyond the box.
        texts_.push_back(TextDraw{&run, t, rgb, box.adjusted(-px, -px, px, px), item_});
        break;
    }
    case Item::Fill:
        if (size < 3) batch(rgb, o_.lineWidth).dots.push_back(box.center());
        else addFill(&g.fills[it.first], t, rgb | 0xFF000000u, box);
        break;
    case Item::Hatch: {
        const HatchGeom& h = g.hatches[it.first];
        {
            const std::lock_guard<std::mutex> lock(hatchCache);
            if (h.cache == HatchGeom::Cache::None) {
                h.cache = hatchLines(h, h.cachedLines, h.cachedDots) ? HatchGeom::Cache::Lines : HatchGeom::Cache::Dense;
                if (h.cache == HatchGeom::Cache::Dense) h.cachedLines.clear(), h.cachedDots.clear();
            }
        }
        const double spacing = h.spacing * scale;
        if (h.cache == HatchGeom::Cache::Dense || spacing < 2.5) {
            // Lines closer than the pixels: a tint as dark as the lines would make it.
            QColor tint(rgb);
            tint.setAlphaF(std::clamp(w / std::max(spacing, 1e-9), 0.15, 1.0));
            if (size < 3) batch(tint.rgb(), o_.lineWidth).dots.push_back(box.center());
            else addFill(&h.boundary, t, tint.rgba(), box);
            break;
        }
        Batch& b = batch(rgb, w);
        for (const QLineF& l : h.cachedLines) {
            const QLineF d(map(l.p1()), map(l.p2()));
            if (overlaps(QRectF(d.p1(), d.p2()).normalized(), area_)) b.lines.add(d);
        }
        for (const QPointF& p : h.cachedDots) b.dots.push_back(map(p));
        break;
    }
    case Item::Dot:
        batch(rgb, std::max(2.0, w * 2)).dots.push_back(map(g.points[it.first]));
        break;
    case Item::Instance: {
        const Inherit passed{layer, rgb, lineweight, linetype};
        for (std::uint32_t k = 0; k < it.count; ++k) {
            const Instance& inst = g.instances[it.first + k];
            const Geometry& block = scene_.blocks[inst.block];
            const QTransform placed = inst.transform * t;
            const QRectF b = mapBounds(placed, block.bounds);
            if (!overlaps(b, area_)) continue;
            if (std::max(b.width(), b.height()) < 1.5) {
                batch(rgb, o_.lineWidth).dots.push_back(b.center());
                continue;
            }
            geometry(block, placed, passed, depth + 1);
        }
        break;
    }
    }
}

void Painter::flush() {
    auto* image = p_.device() && p_.device()->devType() == QInternal::Image ? static_cast<QImage*>(p_.device()) : nullptr;
    if (!image || !LineRaster::supports(*image) || base_.type() > QTransform::TxTranslate) {
        flushThroughPainter();
        return;
    }
    const QPointF shift(base_.dx(), base_.dy());
    QRectF area = area_.translated(shift);
    if (p_.hasClipping()) area &= p_.clipBoundingRect().translated(shift);
    const QRect clip = area.toAlignedRect() & image->rect();
    if (clip.isEmpty()) return;
    // Two bands of rows when there is much to draw: fills and texts cost
    // about as much as a few dozen lines each.
    std::size_t work = 40 * (fills_.size() + texts_.size());
    for (const Batch& b : batches_) work += b.lines.size() + b.dots.size();
    if (work < kLinesForTwoThreads || clip.height() < 2 || !spareCore()) {
        flushBand(*image, area, clip, clip.top(), clip.bottom());
        return;
    }
    const int mid = clip.top() + clip.height() / 2;
    std::exception_ptr failed;
    std::thread lower([&] {
        try {
            flushBand(*image, area, clip, mid, clip.bottom());
        } catch (...) {
            failed = std::current_exception();
        }
    });
    flushBand(*image, area, clip, clip.top(), mid - 1);
    lower.join();
    if (failed) std::rethrow_exception(failed);
}

// Rows top to bottom (inclusive) of the image, drawn through a painter of
// their own over the same memory: fills, thin lines and dots, wide lines,
// texts, each only where it meets the rows. Two bands drawn at once light
// the pixels one over the whole image would.
void Painter::flushBand(QImage& image, const QRectF& area, const QRect& clip, int top, int bottom) {
    auto* first = const_cast<uchar*>(image.constBits()) + std::ptrdiff_t(top) * image.bytesPerLine();
    QImage rows(first, image.width(), bottom - top + 1, image.bytesPerLine(), image.format());
    const QRect band = clip & QRect(0, top, image.width(), bottom - top + 1);
    if (band.isEmpty()) return;
    QPainter p(&rows);
    p.setClipRect((area & QRectF(band)).translated(0, -top));
    p.setRenderHint(QPainter::Antialiasing, o_.antialias);
    const QTransform base = base_ * QTransform::fromTranslate(0, -top);
    // The band in the painter's device units, a pixel wider for antialiasing.
    const QPointF shift(base_.dx(), base_.dy());
    const QRectF inUnits = QRectF(band).adjusted(-1, -1, 1, 1).translated(-shift);
    {
        LineRaster raster(image, clip, top, bottom);
        fills(p, base, inUnits, true, o_.antialias ? nullptr : &raster, shift);
        const double sx = shift.x(), sy = shift.y();
        // Lines wholly above or below the band are passed over here, cheaply.
        const float above = float(top - 2 - sy), below = float(bottom + 2 - sy);
        for (const Batch& b : batches_) {
            if (b.width > 1) continue;
            b.lines.forEach([&](const LineStore::Line& l) {
                if ((l.y1 < above && l.y2 < above) || (l.y1 > below && l.y2 > below)) return;
                raster.line(QLineF(l.x1 + sx, l.y1 + sy, l.x2 + sx, l.y2 + sy), b.rgb, o_.antialias);
            });
            for (const QPointF& d : b.dots) raster.dot(d + shift, b.rgb, 1);
        }
    }
    wideLines(p, base, false);
    texts(p, base, &image, band, shift, inUnits);
}

void Painter::flushThroughPainter() {
    p_.save();
    p_.setRenderHint(QPainter::Antialiasing, o_.antialias);
    // Other devices (plots, files) get the paths themselves.
    fills(p_, base_, QRectF(), false);
    wideLines(p_, base_, true);
    texts(p_, base_, nullptr, QRect(), QPointF(), QRectF());
    p_.restore();
}

// The fills meeting `rows` (device units; null: all) in their order. On an
// image each is drawn as one polygon: its outlines, closed, joined through
// the first point, whose way there and back cancels out under the odd-even
// rule. Polygons are drawn from the points on the painter's own thread; the
// scene's paths are only read (the rasterizer keeps a conversion in a path
// it draws, which two threads must not make at once).
void Painter::fills(QPainter& p, const QTransform& base, const QRectF& rows, bool asPolygons, LineRaster* raster,
                    const QPointF& shift) {
    p.setPen(Qt::NoPen);
    std::uint32_t transformSet = UINT32_MAX;
    QRgb colorSet = 0;
    bool brushSet = false;
    std::vector<QPointF> points;
    QPointF corners[LineRaster::kMaxCorners + 1];
    for (const FillDraw& f : fills_) {
        if (!rows.isNull() && !overlaps(f.box, rows)) continue;
        const QPainterPath& path = *f.path;
        const int n = path.elementCount();
        if (n < 2) continue;
        if (raster && n <= LineRaster::kMaxCorners + 1) {
            // A plain frame's convex outlines (most fills of a drawing: solids,
            // hatched rectangles) are filled here, for a fraction of what the
            // painter spends on each polygon.
            const QTransform& t = transforms_[f.transform];
            bool one = true;
            for (int i = 0; i < n && one; ++i) {
                const QPainterPath::Element& e = path.elementAt(i);
                one = i == 0 || e.isLineTo();
                corners[i] = QPointF(t.m11() * e.x + t.m21() * e.y + t.dx() + shift.x(),
                                     t.m12() * e.x + t.m22() * e.y + t.dy() + shift.y());
            }
            if (one && raster->convex(corners, n, f.color)) continue;
        }
        if (f.transform != transformSet) p.setTransform(transforms_[f.transform] * base), transformSet = f.transform;
        if (!brushSet || f.color != colorSet) {
            p.setBrush(QColor::fromRgba(f.color));
            colorSet = f.color, brushSet = true;
        }
        if (!asPolygons) {
            p.drawPath(path);
            continue;
        }
        points.clear();
        QPointF start, anchor;
        for (int i = 0; i < n; ++i) {
            const QPainterPath::Element& e = path.elementAt(i);
            const QPointF at(e.x, e.y);
            if (e.isMoveTo()) {
                if (i > 0) points.push_back(start), points.push_back(anchor);
                if (i == 0) anchor = at;
                start = at;
            }
            points.push_back(at);
        }
        points.push_back(start);
        p.drawPolygon(points.data(), int(points.size()), Qt::OddEvenFill);
    }
    p.setTransform(base);
    p.setBrush(Qt::NoBrush);
}

// Lines wider than a pixel (and, with thinToo, the thin ones and the dots
// as well) through the painter's pens.
void Painter::wideLines(QPainter& p, const QTransform& base, bool thinToo) {
    p.setTransform(base);
    for (const Batch& b : batches_) {
        if (!thinToo && b.width <= 1) continue;
        // One-pixel lines are cosmetic: the rasterizer's fast path draws them.
        QPen pen{QColor(b.rgb), b.width <= 1 ? 0.0 : b.width, Qt::SolidLine, b.width > 1.5 ? Qt::RoundCap : Qt::FlatCap,
                 Qt::RoundJoin};
        p.setPen(pen);
        if (!b.lines.empty()) {
            std::vector<QLineF> lines;
            lines.reserve(b.lines.size());
            b.lines.forEach([&](const LineStore::Line& l) { lines.emplace_back(l.x1, l.y1, l.x2, l.y2); });
            p.drawLines(lines.data(), int(lines.size()));
        }
        if (!b.dots.empty()) {
            pen.setCapStyle(Qt::SquareCap);
            p.setPen(pen);
            p.drawPoints(b.dots.data(), int(b.dots.size()));
        }
    }
}

// Small texts on the view's image are drawn from the glyph masks; the rest,
// texts on paper (the masks hold light-on-dark coverage) and every text on
// other devices, by the font engine through the painter. Only the texts
// meeting `rows` (device units; null: all) are looked at.
void Painter::texts(QPainter& p, const QTransform& base, QImage* image, const QRect& clip, const QPointF& shift,
                    const QRectF& rows) {
    TextMetrics& metrics = TextMetrics::instance();
    std::optional<GlyphRaster> glyphs;
    if (image && !o_.paper) glyphs.emplace(*image, clip);
    // Setting a font the painter has not seen looks it up in the font
    // database; a font kept per size and face is looked up once.
    std::unordered_map<int, QFont> fonts;
    int fontSet = -1;
    for (const TextDraw& d : texts_) {
        if (!rows.isNull() && !overlaps(d.box, rows)) continue;
        const TextRun& run = *d.run;
        const QTransform& t = d.t;
        const double s = std::sqrt(std::abs(t.determinant()));
        const QPointF u = QPointF(std::cos(run.angle), std::sin(run.angle)) * (run.mirrorX ? -1 : 1);
        const QPointF v = QPointF(-std::sin(run.angle), std::cos(run.angle)) * (run.mirrorY ? -1 : 1) + u * std::tan(run.oblique);
        const QPointF o = t.map(run.origin);
        const QPointF du = (t.map(run.origin + u) - o) / s, dv = (t.map(run.origin + v) - o) / s;
        // The font at the size it shows; the transform only turns, slants or mirrors it.
        // Whole pixel sizes: the glyphs of a size are rendered once and kept.
        const int pixelSize = std::max(1, int(std::lround(metrics.pixelSizeFor(run.height) * s)));
        const double w = run.widthFactor;
        if (glyphs && glyphs->draw(run, TextPlacement{o + shift, du * w, -dv, pixelSize, run.height * s}, d.rgb)) continue;
        const int key = pixelSize << 2 | int(run.bold) << 1 | int(run.italic);
        if (key != fontSet) {
            auto [it, added] = fonts.try_emplace(key);
            if (added) {
                it->second = metrics.font();
                it->second.setPixelSize(pixelSize);
                it->second.setBold(run.bold);
                it->second.setItalic(run.italic);
            }
            p.setFont(it->second);
            fontSet = key;
        }
        p.setPen(QColor(d.rgb));
        p.setTransform(QTransform(du.x() * w, du.y() * w, -dv.x(), -dv.y(), o.x(), o.y()) * base);
        p.drawText(QPointF(0, 0), run.text);
    }
    p.setTransform(base);
}

}  // namespace

void paintScene(QPainter& painter, const Scene& scene, const QTransform& toDevice, const QRectF& deviceArea,
                const PaintOptions& options) {
    Painter p(painter, scene, deviceArea, options);
    p.top(scene.space, toDevice);
    p.flush();
}

}  // namespace drawhost
