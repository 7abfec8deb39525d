#pragma once
// The scene builder's inside, shared by its source files: SceneBuilder.cpp
// (objects, blocks, layers), SceneCurves.cpp (polylines, splines, arcs),
// SceneHatch.cpp (hatches) and SceneThreads.cpp (the run over the objects,
// on one thread or two).
#include <QElapsedTimer>
#include <array>
#include <climits>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <string>
#include <unordered_map>

#include "DrawingScene.h"
#include "SceneGroups.h"
#include "SceneText.h"

namespace drawhost {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <class T>
using RawMap = std::unordered_map<std::string, T, StringHash, std::equal_to<>>;

constexpr int kMaxNesting = 16;

// Adds a point to a bounding rectangle that may still be null.
void extend(QRectF& r, bool& any, const QPointF& p);
void extend(QRectF& r, bool& any, const QRectF& other);
// The bounds of an elliptic arc.
QRectF arcBounds(const ArcGeom& a);
// Points along a bulged segment from a to b (b included, a not).
void bulgePoints(const QPointF& a, const QPointF& b, double bulge, QPolygonF& out);
// Points on a NURBS curve (control points, knots, weights may be empty).
QPolygonF splinePoints(int degree, const std::vector<QPointF>& control, std::vector<double> knots,
                       const std::vector<double>& weights, bool closed);
// A smooth curve through fit points.
QPolygonF fitPointCurve(const std::vector<QPointF>& fit, bool closed);

class SceneBuilder::Impl {
public:
    Impl(const dxf::Drawing& drawing, std::vector<dxf::Entity> objects, int threads);
    ~Impl();
    bool run(double budgetMs);
    Scene take();
    double progress() const { return objects_.empty() ? 1.0 : double(next_) / double(objects_.size()); }

    // What every object has: layer, colour, lineweight, linetype, and its
    // object coordinate system as a transform to the parent's coordinates.
    struct Common {
        Item item;  // kind, first, count and bounds still to set
        QTransform ocs;
        bool invisible = false;
    };

    // Adds one object to g (model space, a layout or a block).
    void add(Geometry& g, const dxf::Entity& e, int depth);

    // Output, in the coordinates of g; each sets the item's geometry and bounds.
    void pushPolyline(Geometry& g, Item item, const QPointF* points, std::size_t count, bool closed);
    void pushPolyline(Geometry& g, Item item, const QPolygonF& points, bool closed) {
        pushPolyline(g, item, points.constData(), std::size_t(points.size()), closed);
    }
    void pushArc(Geometry& g, Item item, const ArcGeom& arc);
    void pushText(Geometry& g, Item item, TextRun run);
    void pushFill(Geometry& g, Item item, const QPainterPath& path);
    void pushDot(Geometry& g, Item item, const QPointF& p);

    // Object kinds with more to them (SceneCurves.cpp, SceneHatch.cpp).
    void lwpolyline(Geometry& g, const Groups& gr, const Common& c);
    void polyline(Geometry& g, const dxf::Entity& e, const Groups& gr, const Common& c);
    void spline(Geometry& g, const Groups& gr, const Common& c);
    void ellipse(Geometry& g, const Groups& gr, const Common& c);
    void hatch(Geometry& g, const Groups& gr, const Common& c);
    void leader(Geometry& g, const Groups& gr, const Common& c);
    // The arrow size times the dimension scale of an object of a dimension
    // style (group 3), with the overrides its extended data holds.
    double dimensionArrow(const Groups& gr) const;
    // Puts in the vertex where a leader's hook line starts when the leader
    // has one and its vertices do not end in it.
    void addLeaderHook(QPolygonF& points, const Groups& gr, double length) const;
    // SceneMLeader.cpp
    void multileader(Geometry& g, const Groups& gr, const Common& c, int depth);
    // The raw name of the block whose record has this handle; empty when none has.
    std::string blockRecordName(const std::string& handle);
    void mesh(Geometry& g, const Groups& gr, const Common& c);
    // SceneMLine.cpp
    void mline(Geometry& g, const Groups& gr, const Common& c);
    struct MLineStyle {
        int flags = 0;  // 70: fill, miters shown, caps
        int fillAci = 256;  // 62 before the elements: the fill's colour
        struct Element {
            double offset = 0;
            int aci = 0;            // 0: the multiline's colour
            std::string linetype;  // empty: by layer
        };
        std::vector<Element> elements;
        bool read = false;  // else two elements 1 apart stand in for it
    };
    // A multiline style by its handle (two elements 1 apart when it cannot be read).
    const MLineStyle& mlineStyle(std::string_view handle);
    // The runs of a multi-line text with their inline colours; styleWidth scales their widths.
    void pushMultiText(Geometry& g, const MultiText& t, const Common& c, double styleWidth);

private:
    class Helper;
    struct Part;
    // A helper's builder: it adds objects to a geometry of its own and shares
    // the owner's layers, linetypes, blocks and text styles.
    explicit Impl(Impl& owner);
    void startHelper();
    // Builds objects_[from, to) into g; an object the engine cannot describe is left out.
    void addRange(Geometry& g, std::size_t from, std::size_t to);
    // Objects [from, to) built into a geometry of their own.
    Part buildPart(std::size_t from, std::size_t to);
    // Appends the geometry a helper built, which follows g's in drawing order.
    void append(Geometry& g, Geometry&& part, bool partExtents);
    // Held while a shared table is used when a helper runs beside this builder.
    std::unique_lock<std::recursive_mutex> shared();
    std::string decode(std::string_view raw);
    Common common(const Groups& gr, int depth);
    std::int32_t layerOf(std::string_view raw, int depth);
    std::int32_t linetypeOf(std::string_view raw);
    Groups& groupsAt(int depth);
    void text(Geometry& g, const Groups& gr, const Common& c, bool attribute);
    void mtext(Geometry& g, const Groups& gr, const Common& c);
    void insert(Geometry& g, const dxf::Entity& e, const Groups& gr, const Common& c, int depth);
    void blockAt(Geometry& g, std::string_view rawName, const QTransform& t, const Common& c, int depth);
    void image(Geometry& g, const Groups& gr, const Common& c);
    // A block's index (-1: none to draw) with its bounds, built when first referenced.
    struct BlockRef {
        std::int32_t index = -1;
        QRectF bounds;
    };
    BlockRef blockRef(std::string_view rawName, int depth);
    // A block's objects, in coordinates from its base point, indexed.
    Geometry buildBlock(const dxf::Block& block, int depth);
    void finish();

    const dxf::Drawing& d_;
    Impl& owner_;  // *this, or the builder this one helps
    std::vector<dxf::Entity> objects_;
    std::size_t next_ = 0;
    bool finished_ = false;
    // Shared with helpers (the owner's, used under shared()).
    Scene scene_;
    RawMap<std::int32_t> layerByRaw_, linetypeByRaw_, blockByRaw_;
    RawMap<dxf::Block> blockByName_;  // by folded name
    RawMap<double> styleWidth_;       // text styles' width factors, by raw name
    struct DimArrow {
        double size = 2.5, scale = 1;  // DIMASZ, DIMSCALE
    };
    DimArrow headerArrow_;       // $DIMASZ, $DIMSCALE
    RawMap<DimArrow> dimArrow_;  // each dimension style's, by raw name
    RawMap<MLineStyle> mlineStyles_;  // by handle, read when first used
    std::vector<bool> building_;      // blocks being built, by either thread
    std::condition_variable_any built_;  // a block is done
    int waiting_ = 0;                    // threads waiting for a block
    std::recursive_mutex mutex_;
    bool parallel_ = false;  // a helper is running
    std::unique_ptr<Helper> helper_;
    // Each builder's own.
    static constexpr std::int32_t kNoLayer = INT32_MIN;
    struct LayerSeen {
        std::string raw;
        std::int32_t index = kNoLayer;
    };
    std::array<LayerSeen, 256> layersSeen_;  // names met lately, by a cheap hash
    // The layers and linetypes this builder has looked up: found again
    // without the lock the shared tables need while two builders run.
    RawMap<std::int32_t> knownLayers_, knownLinetypes_;
    RawMap<BlockRef> knownBlocks_;  // blocks settled: built, empty or missing
    std::vector<std::int32_t> blocksBuilding_;  // the blocks this builder is building, outermost first
    std::vector<std::unique_ptr<Groups>> groups_;
    bool anyExtents_ = false;
    // Kept from one light polyline to the next.
    struct LwVertex {
        QPointF p;
        double w0 = -1, w1 = -1, bulge = 0;
    };
    std::vector<LwVertex> lwVertices_;
    std::vector<QPointF> lwPoints_;
};

// Some objects' geometry, built apart.
struct SceneBuilder::Impl::Part {
    Geometry geometry;
    bool extents = false;  // any of it counts for extents
    bool done = false;
};

// The second thread. The objects go in slices, handed out in order to
// whichever thread asks first; each slice is built into a geometry of its
// own, and the owner appends them to the scene in order as they are done.
class SceneBuilder::Impl::Helper {
public:
    explicit Helper(Impl& owner);
    ~Helper();
    using Part = Impl::Part;
    // Slices of `slice` objects from `from` to `to`.
    void start(std::size_t from, std::size_t to, std::size_t slice);
    // The next slice (its number from the start): false when none is left or after finish().
    bool claim(std::size_t& number, std::size_t& from, std::size_t& to);
    // A slice the owner built.
    void put(std::size_t number, Part&& part);
    // The slices done since the last call that follow those taken before, in order.
    std::vector<Part> takeDone();
    // Hands out no more slices and waits until the helper's are built; the
    // end of the objects handed out.
    std::size_t finish();

private:
    void loop();

    Impl builder_;
    std::mutex m_;
    std::condition_variable wake_, done_;
    std::size_t from_ = 0, to_ = 0, slice_ = 1;
    std::size_t claimed_ = 0, taken_ = 0;  // slices handed out; slices given back by takeDone
    bool busy_ = false, quit_ = false, stopped_ = false;
    std::vector<Part> parts_;  // by slice number
    std::exception_ptr error_;
    std::thread thread_;  // last: it starts once the rest is there
};

}  // namespace drawhost
