// The scene builder: reads each object's groups once and turns them into
// scene items; blocks are built once, when first referenced.
#include <QHash>
#include <algorithm>
#include <cmath>

#include "Linetypes.h"
#include "engine/Encoding.h"
#include "SceneBuild.h"
#include "SceneText.h"

namespace drawhost {

namespace {

constexpr double kDegree = M_PI / 180;
constexpr std::size_t kParallelFrom = 8192;  // fewer objects are built on one thread

// (The lengths differ for most names: compared first, without a call.)
inline bool is(std::string_view type, std::string_view name) { return type.size() == name.size() && type == name; }

// The transform of an object coordinate system with normal n to world
// coordinates, seen from above (the arbitrary axis algorithm).
QTransform ocsTransform(double nx, double ny, double nz, double elevation) {
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(len > 0)) return QTransform();
    nx /= len, ny /= len, nz /= len;
    if (std::abs(nx) < 1e-12 && std::abs(ny) < 1e-12 && nz > 0) return QTransform();
    double ax, ay, az;  // Ax = (|Nx| < 1/64 and |Ny| < 1/64) ? Wy × N : Wz × N
    if (std::abs(nx) < 1.0 / 64 && std::abs(ny) < 1.0 / 64) ax = nz, ay = 0, az = -nx;
    else ax = -ny, ay = nx, az = 0;
    const double al = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= al, ay /= al, az /= al;
    const double bx = ny * az - nz * ay, by = nz * ax - nx * az;  // Ay = N × Ax
    return QTransform(ax, ay, bx, by, nx * elevation, ny * elevation);
}

}  // namespace

void extend(QRectF& r, bool& any, const QPointF& p) {
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) return;
    if (!any) {
        r = QRectF(p, QSizeF(0, 0));
        any = true;
        return;
    }
    r.setLeft(std::min(r.left(), p.x()));
    r.setRight(std::max(r.right(), p.x()));
    r.setTop(std::min(r.top(), p.y()));
    r.setBottom(std::max(r.bottom(), p.y()));
}

void extend(QRectF& r, bool& any, const QRectF& other) {
    extend(r, any, other.topLeft());
    extend(r, any, other.bottomRight());
}

SceneBuilder::SceneBuilder(const dxf::Drawing& drawing, std::vector<dxf::Entity> objects, int threads)
    : impl_(std::make_unique<Impl>(drawing, std::move(objects), threads)) {}
SceneBuilder::~SceneBuilder() = default;
bool SceneBuilder::run(double budgetMs) { return impl_->run(budgetMs); }
Scene SceneBuilder::take() { return impl_->take(); }
double SceneBuilder::progress() const { return impl_->progress(); }

SceneBuilder::Impl::Impl(Impl& owner) : d_(owner.d_), owner_(owner) {}

SceneBuilder::Impl::Impl(const dxf::Drawing& drawing, std::vector<dxf::Entity> objects, int threads)
    : d_(drawing), owner_(*this), objects_(std::move(objects)) {
    // Room for what a drawing usually makes of its objects (about 1.3 items,
    // 1.8 points, half a text and a sixth of an arc each): growing the arrays
    // an object at a time would copy them over and over. Room not used is
    // never touched, so costs no memory.
    const std::size_t n = objects_.size();
    scene_.space.items.reserve(n + n / 2);
    scene_.space.points.reserve(2 * n + n / 2);
    scene_.space.texts.reserve(n / 2 + n / 8);
    scene_.space.arcs.reserve(n / 4);
    scene_.linetypes = readLinetypes(drawing);
    scene_.ltscale = Groups::toNumber(drawing.headerVariable("$LTSCALE").value_or("1"), 1);
    if (!(scene_.ltscale > 0)) scene_.ltscale = 1;

    // The layer table, with each layer's record for its handle and true colour.
    QHash<QString, dxf::Entity> records;
    Groups g;
    for (const dxf::Entity& r : drawing.tableRecords("LAYER")) {
        g.read(r);
        records.insert(QString::fromStdString(drawing.decodeText(g.str(2))).toCaseFolded(), r);
    }
    for (const dxf::Layer& l : drawing.layers()) {
        SceneLayer sl;
        sl.name = QString::fromStdString(l.name());
        sl.layer = l;
        sl.record = records.value(sl.name.toCaseFolded());
        if (sl.record.valid()) {
            g.read(sl.record);
            sl.handle = std::strtoull(std::string(g.str(5)).c_str(), nullptr, 16);
        }
        scene_.layers.push_back(std::move(sl));
    }
    scene_.refreshLayers(drawing);

    for (const dxf::Entity& r : drawing.tableRecords("STYLE")) {
        g.read(r);
        const double w = g.num(41, 1);
        styleWidth_.emplace(std::string(g.str(2)), w > 0 ? w : 1);
    }
    const double arrow = Groups::toNumber(drawing.headerVariable("$DIMASZ").value_or("2.5"), 2.5);
    const double scale = Groups::toNumber(drawing.headerVariable("$DIMSCALE").value_or("1"), 1);
    headerArrow_ = DimArrow{arrow, scale};
    for (const dxf::Entity& r : drawing.tableRecords("DIMSTYLE")) {
        g.read(r);
        dimArrow_.emplace(std::string(g.str(2)), DimArrow{g.num(41, arrow), g.num(40, scale)});
    }

    // A DWG drawing reads its objects on demand, which one thread at a time may do.
    const bool twoThreads =
        threads == 2 || (threads == 0 && objects_.size() >= kParallelFrom && spareCore());
    if (twoThreads && !drawing.isDwg()) startHelper();
}

Groups& SceneBuilder::Impl::groupsAt(int depth) {
    while (int(groups_.size()) <= depth) groups_.push_back(std::make_unique<Groups>());
    return *groups_[depth];
}

void SceneBuilder::Impl::finish() {
    if (finished_) return;
    finished_ = true;
    scene_.extents = scene_.space.bounds;
    scene_.space.indexLater();
}

Scene SceneBuilder::Impl::take() { return std::move(scene_); }

std::int32_t SceneBuilder::Impl::layerOf(std::string_view raw, int depth) {
    // Objects of a block on layer 0 take the layer of the reference.
    if (depth > 0 && raw == "0") return kInheritLayer;
    // Most names were met a moment ago: a small table by a cheap hash of the
    // name finds them before the map does.
    const std::size_t n = raw.size();
    LayerSeen& seen = layersSeen_[n == 0 ? 0 : (n * 131 + std::uint8_t(raw[0]) * 31 + std::uint8_t(raw[n / 2]) * 7 +
                                                 std::uint8_t(raw[n - 1])) % layersSeen_.size()];
    if (seen.index != kNoLayer && seen.raw == raw) return seen.index;
    if (const auto known = knownLayers_.find(raw); known != knownLayers_.end()) {
        seen.raw.assign(raw);
        return seen.index = known->second;
    }
    const auto lock = shared();
    Scene& scene = owner_.scene_;
    auto it = owner_.layerByRaw_.find(raw);
    std::int32_t index;
    if (it != owner_.layerByRaw_.end()) {
        index = it->second;
    } else {
        const QString name = QString::fromStdString(d_.decodeText(raw)).trimmed();
        index = scene.layerIndex(name.isEmpty() ? QStringLiteral("0") : name);
        if (index < 0) {
            // A name the layer table lacks: drawn as on layer 0 would be, but on its own.
            SceneLayer sl;
            sl.name = name;
            sl.rgb = aciColor(7).rgb();
            scene.layers.push_back(sl);
            index = std::int32_t(scene.layers.size() - 1);
        }
        owner_.layerByRaw_.emplace(std::string(raw), index);
    }
    knownLayers_.emplace(std::string(raw), index);
    seen.raw.assign(raw);
    return seen.index = index;
}

std::int32_t SceneBuilder::Impl::linetypeOf(std::string_view raw) {
    if (const auto known = knownLinetypes_.find(raw); known != knownLinetypes_.end()) return known->second;
    const auto lock = shared();
    auto it = owner_.linetypeByRaw_.find(raw);
    std::int32_t index;
    if (it != owner_.linetypeByRaw_.end()) {
        index = it->second;
    } else {
        index = owner_.scene_.linetypeIndex(QString::fromStdString(d_.decodeText(raw)).trimmed());
        owner_.linetypeByRaw_.emplace(std::string(raw), index);
    }
    knownLinetypes_.emplace(std::string(raw), index);
    return index;
}

SceneBuilder::Impl::Common SceneBuilder::Impl::common(const Groups& gr, int depth) {
    Common c;
    Item& it = c.item;
    it.layer = depth > 0 ? kInheritLayer : layerOf("0", 0);
    double nx = 0, ny = 0, nz = 1;
    bool hasLayer = false, hasTrueColor = false;
    for (std::size_t i = 0; i < gr.size(); ++i) {
        const int code = gr.code(i);
        if (code >= 1000) break;  // extended data
        switch (code) {
        case 8:
            if (!hasLayer) it.layer = layerOf(gr.value(i), depth);
            hasLayer = true;
            break;
        case 62:
            if (!hasTrueColor) {
                const int aci = int(gr.number(i));
                if (aci == 0) it.colorBy = By::Block;
                else if (aci >= 1 && aci <= 255) it.colorBy = By::Value, it.rgb = aciColor(aci).rgb();
                else it.colorBy = By::Layer;
            }
            break;
        case 420: {
            const unsigned v = unsigned(gr.number(i));
            it.colorBy = By::Value;
            it.rgb = qRgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
            hasTrueColor = true;
            break;
        }
        case 370:
            it.lineweight = std::int16_t(gr.number(i, -1));
            break;
        case 6:
            it.linetype = linetypeOf(gr.value(i));
            break;
        case 48:
            it.linetypeScale = float(gr.number(i, 1));
            break;
        case 60:
            c.invisible = int(gr.number(i)) == 1;
            break;
        case 210:
            nx = gr.number(i);
            break;
        case 220:
            ny = gr.number(i);
            break;
        case 230:
            nz = gr.number(i, 1);
            break;
        default:
            break;
        }
    }
    if (nx != 0 || ny != 0 || nz != 1) c.ocs = ocsTransform(nx, ny, nz, 0);
    return c;
}

void SceneBuilder::Impl::add(Geometry& g, const dxf::Entity& e, int depth) {
    Groups& gr = groupsAt(depth);
    gr.read(e);
    if (gr.size() == 0) return;
    const std::string_view type = gr.value(0);
    const Common c = common(gr, depth);
    if (c.invisible) return;
    const QTransform& t = c.ocs;
    if (is(type, "LINE")) {
        // Points in world coordinates.
        const QPointF line[2] = {QPointF(gr.num(10), gr.num(20)), QPointF(gr.num(11), gr.num(21))};
        pushPolyline(g, c.item, line, 2, false);
    } else if (is(type, "CIRCLE") || is(type, "ARC")) {
        const double r = gr.num(40);
        if (!(r > 0)) return;
        ArcGeom a;
        a.center = QPointF(gr.num(10), gr.num(20));
        a.major = QPointF(r, 0);
        a.minor = QPointF(0, r);
        if (is(type, "ARC")) {
            a.t0 = gr.num(50) * kDegree;
            a.t1 = gr.num(51) * kDegree;
            while (a.t1 <= a.t0) a.t1 += 2 * M_PI;
        } else {
            a.t1 = 2 * M_PI;
        }
        a.center = t.map(a.center);
        a.major = t.map(a.major) - t.map(QPointF());
        a.minor = t.map(a.minor) - t.map(QPointF());
        pushArc(g, c.item, a);
    } else if (is(type, "LWPOLYLINE")) {
        lwpolyline(g, gr, c);
    } else if (is(type, "POLYLINE")) {
        polyline(g, e, gr, c);
    } else if (is(type, "ELLIPSE")) {
        ellipse(g, gr, c);
    } else if (is(type, "SPLINE")) {
        spline(g, gr, c);
    } else if (is(type, "POINT")) {
        pushDot(g, c.item, QPointF(gr.num(10), gr.num(20)));
    } else if (is(type, "SOLID") || is(type, "TRACE")) {
        // Corners 1, 2, 4, 3 in this order make the outline.
        const QPointF p1(gr.num(10), gr.num(20)), p2(gr.num(11), gr.num(21)), p3(gr.num(12), gr.num(22));
        const QPointF p4 = gr.has(13) ? QPointF(gr.num(13), gr.num(23)) : p3;
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.addPolygon(t.map(QPolygonF({p1, p2, p4, p3})));
        path.closeSubpath();
        pushFill(g, c.item, path);
    } else if (is(type, "3DFACE")) {
        const QPointF p[4] = {{gr.num(10), gr.num(20)}, {gr.num(11), gr.num(21)}, {gr.num(12), gr.num(22)},
                              {gr.has(13) ? gr.num(13) : gr.num(12), gr.has(23) ? gr.num(23) : gr.num(22)}};
        const int hidden = gr.integer(70);
        for (int k = 0; k < 4; ++k)
            if (!(hidden & (1 << k))) {
                const QPointF edge[2] = {p[k], p[(k + 1) % 4]};
                pushPolyline(g, c.item, edge, 2, false);
            }
    } else if (is(type, "TEXT")) {
        text(g, gr, c, false);
    } else if (is(type, "ATTRIB")) {
        if (gr.integer(70) & 1) return;  // invisible attribute
        text(g, gr, c, true);
    } else if (is(type, "ATTDEF")) {
        // Attribute definitions show their tag where they stand on their own,
        // not inside block references (the references' attributes show instead).
        if (depth == 0) text(g, gr, c, true);
    } else if (is(type, "MTEXT")) {
        mtext(g, gr, c);
    } else if (is(type, "INSERT")) {
        if (depth < kMaxNesting) insert(g, e, gr, c, depth);
    } else if (is(type, "ACAD_TABLE")) {
        // A table draws the anonymous block made for it at its insertion
        // point along its direction (or, where only its block reference part
        // was read, its rotation); its 41 is a cell margin, not a scale.
        if (depth >= kMaxNesting) return;
        QTransform placed;
        placed.translate(gr.num(10), gr.num(20));
        if (gr.has(11)) placed.rotateRadians(std::atan2(gr.num(21), gr.num(11)));
        else if (gr.has(50)) placed.rotate(gr.num(50));
        blockAt(g, gr.str(2), placed * c.ocs, c, depth);
    } else if (is(type, "DIMENSION") || is(type, "ARC_DIMENSION") || is(type, "LARGE_RADIAL_DIMENSION")) {
        // A dimension draws the anonymous block made for it, moved by its
        // insertion point when it has one.
        if (depth >= kMaxNesting) return;
        QTransform placed;
        if (gr.has(12)) placed.translate(gr.num(12), gr.num(22));
        blockAt(g, gr.str(2), placed, c, depth);
    } else if (is(type, "HATCH")) {
        hatch(g, gr, c);
    } else if (is(type, "LEADER")) {
        leader(g, gr, c);
    } else if (is(type, "MULTILEADER") || is(type, "MLEADER")) {
        multileader(g, gr, c, depth);
    } else if (is(type, "MLINE")) {
        mline(g, gr, c);
    } else if (is(type, "MESH")) {
        mesh(g, gr, c);
    } else if (is(type, "IMAGE") || is(type, "WIPEOUT")) {
        image(g, gr, c);
    } else if (is(type, "RAY") || is(type, "XLINE")) {
        // Drawn long but left out of the extents.
        const QPointF p(gr.num(10), gr.num(20)), dir(gr.num(11), gr.num(21));
        Item item = c.item;
        item.flags |= Item::NoExtents;
        const double reach = 1e7;
        pushPolyline(g, item, QPolygonF({is(type, "XLINE") ? p - dir * reach : p, p + dir * reach}), false);
    }
}

void SceneBuilder::Impl::text(Geometry& g, const Groups& gr, const Common& c, bool attribute) {
    LineText t;
    t.text = QString::fromStdString(decode(gr.str(1)));
    t.first = QPointF(gr.num(10), gr.num(20));
    t.hasSecond = gr.has(11);
    t.second = QPointF(gr.num(11), gr.num(21));
    t.height = gr.num(40, 1);
    t.widthFactor = gr.num(41, 1);
    t.rotation = gr.num(50);
    t.oblique = gr.num(51);
    t.halign = gr.integer(72);
    // An attribute keeps its vertical alignment in 74 (its 73 is the field length).
    t.valign = attribute ? gr.integer(74) : gr.integer(73);
    t.generation = gr.integer(71);
    TextRun run = placeLineText(t);
    if (run.text.isEmpty()) return;
    if (!c.ocs.isIdentity()) {
        // Place the text in its coordinate system, then map its frame.
        const QPointF o = c.ocs.map(run.origin);
        const QPointF x = c.ocs.map(run.origin + QPointF(std::cos(run.angle), std::sin(run.angle))) - o;
        run.origin = o;
        run.angle = std::atan2(x.y(), x.x());
        if (c.ocs.determinant() < 0) run.mirrorY = !run.mirrorY;
    }
    pushText(g, c.item, std::move(run));
}

void SceneBuilder::Impl::mtext(Geometry& g, const Groups& gr, const Common& c) {
    MultiText t;
    std::string raw;
    for (std::size_t i = 0; i < gr.size(); ++i)
        if (gr.code(i) == 3) raw += gr.value(i);
    raw += gr.str(1);
    t.text = QString::fromStdString(decode(raw));
    t.insert = QPointF(gr.num(10), gr.num(20));  // world coordinates
    t.height = gr.num(40, 1);
    t.width = gr.num(41);
    t.attachment = gr.integer(71, 1);
    t.lineSpacing = gr.num(44, 1);
    // The direction (11, 21) is the text's own, not that of the column data
    // that may follow group 101 (whose 11/21 hold the insertion point again).
    const bool hasDirection = gr.find(11) < gr.find(101);
    t.angle = hasDirection ? std::atan2(gr.num(21), gr.num(11)) : gr.num(50) * kDegree;
    const auto style = owner_.styleWidth_.find(gr.str(7));
    pushMultiText(g, t, c, style == owner_.styleWidth_.end() ? 1 : style->second);
}

void SceneBuilder::Impl::pushMultiText(Geometry& g, const MultiText& t, const Common& c, double styleWidth) {
    for (MTextRun& r : layoutMultiText(t)) {
        Item item = c.item;
        if (r.hasRgb) item.colorBy = By::Value, item.rgb = r.rgb;
        else if (r.aci == 0) item.colorBy = By::Block;
        else if (r.aci >= 1 && r.aci <= 255) item.colorBy = By::Value, item.rgb = aciColor(r.aci).rgb();
        else if (r.aci == 256) item.colorBy = By::Layer;
        if (r.isBar) {
            const QPointF bar[2] = {r.bar.p1(), r.bar.p2()};
            pushPolyline(g, item, bar, 2, false);
            continue;
        }
        r.run.widthFactor *= styleWidth;
        pushText(g, item, std::move(r.run));
    }
}

SceneBuilder::Impl::BlockRef SceneBuilder::Impl::blockRef(std::string_view rawName, int depth) {
    // A block met before is found again without the lock.
    if (const auto known = knownBlocks_.find(rawName); known != knownBlocks_.end()) return known->second;
    Impl& o = owner_;
    // A block settled (built, empty or missing) is remembered by this builder.
    const auto settled = [&](std::int32_t index) {
        BlockRef ref;
        if (index >= 0 && !o.scene_.blocks[index].items.empty()) ref = BlockRef{index, o.scene_.blocks[index].bounds};
        knownBlocks_.emplace(std::string(rawName), ref);
        return ref;
    };
    auto lock = shared();
    for (;;) {
        const auto it = o.blockByRaw_.find(rawName);
        if (it == o.blockByRaw_.end()) break;
        const std::int32_t index = it->second;
        if (index >= 0 && o.building_[index]) {
            // A block holding itself is left out where it holds itself. One
            // the other thread is building is waited for, unless that thread
            // already waits for one this thread is building (blocks holding
            // each other, met from both ends at once).
            const bool mine = std::find(blocksBuilding_.begin(), blocksBuilding_.end(), index) != blocksBuilding_.end();
            if (mine || !lock.owns_lock() || (!blocksBuilding_.empty() && o.waiting_ > 0)) return {};
            ++o.waiting_;
            o.built_.wait(lock);
            --o.waiting_;
            continue;
        }
        return settled(index);
    }
    if (o.blockByName_.empty()) {
        // The drawing's blocks by their folded names (the first of a name wins,
        // as with Drawing::findBlock), looked up once per name referenced.
        for (const dxf::Block& b : d_.blocks()) o.blockByName_.emplace(dxf::foldCase(b.name()), b);
    }
    const auto found = o.blockByName_.find(dxf::foldCase(d_.decodeText(rawName)));
    if (found == o.blockByName_.end()) {
        o.blockByRaw_.emplace(std::string(rawName), -1);
        return settled(-1);
    }
    const dxf::Block block = found->second;
    const std::int32_t index = std::int32_t(o.scene_.blocks.size());
    o.scene_.blocks.emplace_back();
    o.building_.push_back(true);
    o.blockByRaw_.emplace(std::string(rawName), index);
    // Built without the lock: the other thread goes on meanwhile, and waits
    // only if it meets this block before it is done.
    blocksBuilding_.push_back(index);
    if (lock.owns_lock()) lock.unlock();
    Geometry geometry;
    try {
        geometry = buildBlock(block, depth);
    } catch (...) {
        if (lock.mutex()) lock.lock();
        blocksBuilding_.pop_back();
        o.building_[index] = false;
        o.built_.notify_all();
        throw;
    }
    if (lock.mutex()) lock.lock();
    blocksBuilding_.pop_back();
    o.scene_.blocks[index] = std::move(geometry);
    o.building_[index] = false;
    o.built_.notify_all();
    return settled(index);
}

Geometry SceneBuilder::Impl::buildBlock(const dxf::Block& block, int depth) {
    Geometry geometry;
    const dxf::Point base = block.basePoint();
    const bool wasAny = anyExtents_;
    anyExtents_ = false;
    for (const dxf::Entity& child : block.entities()) {
        try {
            add(geometry, child, depth + 1);
        } catch (const dxf::EngineError&) {
        }
    }
    anyExtents_ = wasAny;
    // Block coordinates start at the base point.
    if (base.x != 0 || base.y != 0) {
        QTransform shift;
        shift.translate(-base.x, -base.y);
        geometry.bounds = shift.mapRect(geometry.bounds);
        for (Item& item : geometry.items) item.bounds = shift.mapRect(item.bounds);
        for (QPointF& p : geometry.points) p -= QPointF(base.x, base.y);
        for (ArcGeom& a : geometry.arcs) a.center -= QPointF(base.x, base.y);
        for (TextRun& r : geometry.texts) r.origin -= QPointF(base.x, base.y);
        for (QPainterPath& p : geometry.fills) p = shift.map(p);
        for (HatchGeom& h : geometry.hatches) {
            h.boundary = shift.map(h.boundary);
            for (auto& line : h.lines) line.base -= QPointF(base.x, base.y);
        }
        for (Instance& i : geometry.instances) i.transform = i.transform * shift;
    }
    geometry.index();
    return geometry;
}

void SceneBuilder::Impl::blockAt(Geometry& g, std::string_view rawName, const QTransform& t, const Common& c, int depth) {
    const BlockRef block = blockRef(rawName, depth);
    if (block.index < 0) return;
    Item item = c.item;
    item.kind = Item::Instance;
    item.first = std::uint32_t(g.instances.size());
    item.count = 1;
    g.instances.push_back(Instance{std::uint32_t(block.index), t});
    item.bounds = t.mapRect(block.bounds);
    extend(g.bounds, anyExtents_, item.bounds);
    g.items.push_back(item);
}

void SceneBuilder::Impl::insert(Geometry& g, const dxf::Entity& e, const Groups& gr, const Common& c, int depth) {
    const BlockRef block = blockRef(gr.str(2), depth);
    const bool hasAttributes = e.type() == "INSERT" && e.hasAttributes();
    if (block.index >= 0) {
        const int columns = std::max(1, gr.integer(70, 1)), rows = std::max(1, gr.integer(71, 1));
        const double columnSpacing = gr.num(44), rowSpacing = gr.num(45);
        Item item = c.item;
        item.kind = Item::Instance;
        item.first = std::uint32_t(g.instances.size());
        bool any = false;
        // Columns and rows of an array are spaced in the reference's rotated frame.
        for (int row = 0; row < std::min(rows, 1000); ++row)
            for (int column = 0; column < std::min(columns, 1000); ++column) {
                QTransform local;
                local.translate(gr.num(10), gr.num(20));
                local.rotate(gr.num(50));
                local.translate(column * columnSpacing, row * rowSpacing);
                local.scale(gr.num(41, 1), gr.num(42, 1));
                const QTransform placed = local * c.ocs;
                g.instances.push_back(Instance{std::uint32_t(block.index), placed});
                extend(item.bounds, any, placed.mapRect(block.bounds));
            }
        item.count = std::uint32_t(g.instances.size()) - item.first;
        extend(g.bounds, anyExtents_, item.bounds);
        g.items.push_back(item);
    }
    if (hasAttributes)
        for (const dxf::Entity& a : e.attributes()) add(g, a, depth);
}

void SceneBuilder::Impl::image(Geometry& g, const Groups& gr, const Common& c) {
    // The outline of the image or wipeout: its clip boundary, else its frame.
    const QPointF insert(gr.num(10), gr.num(20)), u(gr.num(11), gr.num(21)), v(gr.num(12), gr.num(22));
    const double width = gr.num(13), height = gr.num(23);
    std::vector<QPointF> clip;
    double x = 0;
    for (std::size_t i = 0; i < gr.size(); ++i) {
        if (gr.code(i) == 14) x = gr.number(i);
        if (gr.code(i) == 24) clip.emplace_back(x, gr.number(i));
    }
    if (clip.size() == 2) clip = {clip[0], QPointF(clip[1].x(), clip[0].y()), clip[1], QPointF(clip[0].x(), clip[1].y())};
    if (clip.size() < 3) clip = {QPointF(-0.5, -0.5), QPointF(width - 0.5, -0.5), QPointF(width - 0.5, height - 0.5),
                                 QPointF(-0.5, height - 0.5)};
    // Clip coordinates are pixels from the image's top left corner.
    const QPointF origin = insert + u * 0.5 - v * 0.5;
    QPolygonF outline;
    for (const QPointF& p : clip) outline << origin + u * p.x() + v * (height - p.y());
    pushPolyline(g, c.item, outline, true);
}

void SceneBuilder::Impl::pushPolyline(Geometry& g, Item item, const QPointF* points, std::size_t count, bool closed) {
    if (count < 2) return;
    item.kind = Item::Polyline;
    if (closed) item.flags |= Item::Closed;
    item.first = std::uint32_t(g.points.size());
    item.count = std::uint32_t(count);
    bool any = false;
    g.points.insert(g.points.end(), points, points + count);
    for (std::size_t i = 0; i < count; ++i) extend(item.bounds, any, points[i]);
    if (!(item.flags & Item::NoExtents)) extend(g.bounds, anyExtents_, item.bounds);
    g.items.push_back(item);
}

void SceneBuilder::Impl::pushArc(Geometry& g, Item item, const ArcGeom& arc) {
    item.kind = Item::Arc;
    item.first = std::uint32_t(g.arcs.size());
    item.count = 1;
    g.arcs.push_back(arc);
    item.bounds = arcBounds(arc);
    extend(g.bounds, anyExtents_, item.bounds);
    g.items.push_back(item);
}

void SceneBuilder::Impl::pushText(Geometry& g, Item item, TextRun run) {
    item.kind = Item::Text;
    item.first = std::uint32_t(g.texts.size());
    item.count = 1;
    item.bounds = run.bounds();
    g.texts.push_back(std::move(run));
    extend(g.bounds, anyExtents_, item.bounds);
    g.items.push_back(item);
}

void SceneBuilder::Impl::pushFill(Geometry& g, Item item, const QPainterPath& path) {
    if (path.isEmpty()) return;
    item.kind = Item::Fill;
    item.first = std::uint32_t(g.fills.size());
    item.count = 1;
    item.bounds = path.boundingRect();
    g.fills.push_back(path);
    extend(g.bounds, anyExtents_, item.bounds);
    g.items.push_back(item);
}

void SceneBuilder::Impl::pushDot(Geometry& g, Item item, const QPointF& p) {
    item.kind = Item::Dot;
    item.first = std::uint32_t(g.points.size());
    item.count = 1;
    g.points.push_back(p);
    item.bounds = QRectF(p, QSizeF(0, 0));
    extend(g.bounds, anyExtents_, p);
    g.items.push_back(item);
}

}  // namespace drawhost
