#pragma once
// What the view and the plot draw of a drawing: its objects reduced to a few
// kinds of geometry in world coordinates (polylines, elliptic arcs, texts,
// filled areas, hatches, points) and references to the geometry of blocks,
// which is kept once per block in the block's own coordinates.
//
// An item keeps how its colour, lineweight and linetype were given (a value,
// by layer or by block) and its layer; they are resolved when it is painted,
// against the layer table of the moment. Switching layers off, freezing them
// or changing their colour therefore needs no new scene.
#include <QColor>
#include <QLineF>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/Drawing.h"

namespace drawhost {

// How a property of an item is given.
enum class By : std::uint8_t { Value, Layer, Block };

constexpr std::int32_t kInheritLayer = -1;  // on layer 0 inside a block: the reference's layer
constexpr std::int16_t kLineweightByLayer = -1;
constexpr std::int16_t kLineweightByBlock = -2;
constexpr std::int16_t kLineweightDefault = -3;
constexpr std::int32_t kLinetypeByLayer = -1;
constexpr std::int32_t kLinetypeByBlock = -2;
constexpr std::int32_t kLinetypeContinuous = -3;

// One elliptic arc: center + major·cos t + minor·sin t for t from t0 to t1
// (t1 > t0). A circle has major (r, 0) and minor (0, r).
struct ArcGeom {
    QPointF center, major, minor;
    double t0 = 0, t1 = 0;
    QPointF at(double t) const;
};

// One line of text in one style, placed: its baseline starts at `origin`.
struct TextRun {
    QString text;
    QPointF origin;
    double height = 1;      // cap height, world units
    double angle = 0;       // of the baseline, radians
    double widthFactor = 1;
    double oblique = 0;     // radians
    double advance = 0;     // width of the text at height 1 and width factor 1
    bool mirrorX = false, mirrorY = false;
    bool bold = false, italic = false;  // from a multi-line text's font switches
    // The four corners of the text's box (baseline left first), world units.
    QPolygonF box() const;
    void corners(QPointF out[4]) const;
    QRectF bounds() const;
};

// A reference to a block's geometry, placed by a transform.
struct Instance {
    std::uint32_t block = 0;  // index into Scene::blocks
    QTransform transform;     // block coordinates to the parent's
};

// A hatch drawn with pattern lines (a solid hatch is a filled area).
struct HatchGeom {
    QPainterPath boundary;  // odd-even rule
    struct Line {
        double angle = 0;   // radians
        QPointF base, offset;
        std::vector<double> dashes;  // positive: dash, negative: gap, zero: dot
    };
    std::vector<Line> lines;
    double spacing = 0;  // smallest distance between two lines of the pattern
    // The lines, made when first drawn (Dense: too many to draw).
    enum class Cache { None, Lines, Dense };
    mutable Cache cache = Cache::None;
    mutable std::vector<QLineF> cachedLines;
    mutable std::vector<QPointF> cachedDots;
};
// The pattern lines of a hatch cut to its boundary; false (with some lines
// added) when there would be more than `limit` of them: too dense to draw.
bool hatchLines(const HatchGeom& hatch, std::vector<QLineF>& lines, std::vector<QPointF>& dots, std::size_t limit = 20000);

struct Item {
    enum Kind : std::uint8_t { Polyline, Arc, Text, Fill, Hatch, Dot, Instance };
    enum Flag : std::uint8_t { Closed = 1, NoExtents = 2 };
    Kind kind = Polyline;
    std::uint8_t flags = 0;
    By colorBy = By::Layer;
    std::int16_t lineweight = kLineweightByLayer;  // hundredths of a millimetre
    std::int32_t layer = 0;                        // index into Scene::layers, or kInheritLayer
    QRgb rgb = 0;                                  // the colour when colorBy is By::Value
    std::int32_t linetype = kLinetypeByLayer;      // index into Scene::linetypes, or a kLinetype constant
    float linetypeScale = 1;                       // the object's own (group 48)
    // Polyline: points; Arc: arcs; Text: texts; Fill: fills; Hatch: hatches;
    // Dot: points (one); Instance: instances (count of them, an array).
    std::uint32_t first = 0, count = 0;
    QRectF bounds;
};

// The geometry of one space or block.
struct Geometry {
    std::vector<Item> items;
    std::vector<QPointF> points;
    std::vector<ArcGeom> arcs;
    std::vector<TextRun> texts;
    std::vector<QPainterPath> fills;  // odd-even rule
    std::vector<HatchGeom> hatches;
    std::vector<Instance> instances;
    QRectF bounds;  // of the items that count for extents; null when none does

    // A uniform grid over `bounds` for finding the items in a rectangle,
    // for geometry with many items: built by index(), or after indexLater()
    // when first needed.
    struct Grid {
        QRectF area;
        int columns = 0, rows = 0;
        std::vector<std::uint32_t> cellStart;  // columns*rows + 1 offsets into cellItems
        std::vector<std::uint32_t> cellItems;
        std::vector<std::uint32_t> large;      // items too big for cells
    } grid;
    void index();
    // Readies the geometry for painters on several threads; the grid is
    // built when an area short of the whole bounds is first looked in (on
    // any thread), or by ensureIndexed(). A view of everything needs none.
    void indexLater();
    void ensureIndexed() const;
    // The items whose bounds meet `area` (some more where the grid is coarse).
    void itemsIn(const QRectF& area, std::vector<std::uint32_t>& out) const;
    std::unique_ptr<std::once_flag> pendingIndex;  // set by indexLater until the grid is built

    const QPointF* pointsOf(const Item& item) const { return points.data() + item.first; }
};

// A layer as the scene knows it, and how it looks now.
struct SceneLayer {
    QString name;
    dxf::Layer layer;    // invalid for names no layer of the table has
    dxf::Entity record;  // its table record (true colour, handle)
    std::uint64_t handle = 0;
    bool on = true, frozen = false;
    QRgb rgb = 0;
    std::int16_t lineweight = kLineweightDefault;
    std::int32_t linetype = kLinetypeContinuous;
};

struct Linetype {
    QString name;
    std::vector<double> pattern;  // drawing units: dash > 0, gap < 0, dot 0
    double length = 0;            // of one repeat
};

struct Scene {
    Geometry space;                // model space, or the objects asked for
    std::vector<Geometry> blocks;  // referenced from space and from each other
    std::vector<SceneLayer> layers;
    std::vector<Linetype> linetypes;
    double ltscale = 1;  // $LTSCALE
    QRectF extents;      // of everything that counts for extents; null when empty

    // Reads the layers' state (on, frozen, colour, linetype, lineweight)
    // again from the drawing; names of layers deleted since read as off.
    void refreshLayers(const dxf::Drawing& drawing);
    // Whether an item on `layer` shows (kInheritLayer: as its reference).
    bool layerShows(std::int32_t layer) const {
        return layer < 0 || layer >= std::int32_t(layers.size()) || (layers[layer].on && !layers[layer].frozen);
    }
    std::int32_t layerIndex(const QString& name) const;
    std::int32_t linetypeIndex(const QString& name) const;
};

Scene buildScene(const dxf::Drawing& drawing);
// The scene of the given top-level objects of the drawing (a layout's, say).
Scene buildScene(const dxf::Drawing& drawing, const std::vector<dxf::Entity>& objects, int threads = 0);

// Builds a scene a slice at a time, so that a large drawing never holds up
// the event loop for long. The drawing must not change while it builds.
// A large drawing read from DXF is built on two threads (within each slice:
// no thread runs between calls of run()); `threads` 1 builds on one, 2 on
// two whatever the size, 0 chooses.
class SceneBuilder {
public:
    SceneBuilder(const dxf::Drawing& drawing, std::vector<dxf::Entity> objects, int threads = 0);
    ~SceneBuilder();
    SceneBuilder(const SceneBuilder&) = delete;
    SceneBuilder& operator=(const SceneBuilder&) = delete;
    // Builds for about `budgetMs` milliseconds (all of it when negative);
    // true when the scene is complete.
    bool run(double budgetMs);
    Scene take();
    double progress() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Whether a second thread would have a core to itself: the machine has more
// than one, and other processes left more than one and a half of them idle
// since the last call (or, after a long pause, no other process runs right
// now). This process's own work does not count. On a busy machine a second
// thread only waits for its turn and makes the first wait for it.
bool spareCore();

// The colour of an AutoCAD colour index (1-255) on a dark background.
QColor aciColor(int index);

}  // namespace drawhost
