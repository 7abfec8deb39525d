// Objects of a drawing: class names, layer, text, extents, block references.
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "engine/DrawingData.h"

namespace dxf {

namespace {

const std::unordered_map<std::string, std::string>& classNames() {
    static const std::unordered_map<std::string, std::string> m = {
        {"LINE", "AcDbLine"}, {"TEXT", "AcDbText"}, {"MTEXT", "AcDbMText"}, {"INSERT", "AcDbBlockReference"},
        {"LWPOLYLINE", "AcDbPolyline"}, {"CIRCLE", "AcDbCircle"}, {"ARC", "AcDbArc"}, {"ATTRIB", "AcDbAttribute"},
        {"ATTDEF", "AcDbAttributeDefinition"}, {"POINT", "AcDbPoint"}, {"HATCH", "AcDbHatch"},
        {"SOLID", "AcDbSolid"}, {"TRACE", "AcDbTrace"}, {"3DFACE", "AcDbFace"}, {"SPLINE", "AcDbSpline"},
        {"ELLIPSE", "AcDbEllipse"}, {"VIEWPORT", "AcDbViewport"}, {"LEADER", "AcDbLeader"},
        {"MULTILEADER", "AcDbMLeader"}, {"MLEADER", "AcDbMLeader"}, {"XLINE", "AcDbXline"}, {"RAY", "AcDbRay"},
        {"REGION", "AcDbRegion"}, {"3DSOLID", "AcDb3dSolid"}, {"BODY", "AcDbBody"}, {"IMAGE", "AcDbRasterImage"},
        {"WIPEOUT", "AcDbWipeout"}, {"TOLERANCE", "AcDbFcf"}, {"MLINE", "AcDbMline"}, {"SHAPE", "AcDbShape"},
        {"ACAD_PROXY_ENTITY", "AcDbProxyEntity"}, {"SEQEND", "AcDbSequenceEnd"}, {"OLE2FRAME", "AcDbOle2Frame"},
        {"ACAD_TABLE", "AcDbTable"}, {"MESH", "AcDbSubDMesh"}, {"LAYER", "AcDbLayerTableRecord"},
        {"LTYPE", "AcDbLinetypeTableRecord"}, {"STYLE", "AcDbTextStyleTableRecord"},
        {"BLOCK_RECORD", "AcDbBlockTableRecord"}, {"DIMSTYLE", "AcDbDimStyleTableRecord"},
        {"DICTIONARY", "AcDbDictionary"}, {"XRECORD", "AcDbXrecord"}, {"LAYOUT", "AcDbLayout"},
        {"BLOCK", "AcDbBlockBegin"}, {"ENDBLK", "AcDbBlockEnd"},
    };
    return m;
}

struct Extents {
    bool any = false;
    Point lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    void add(double x, double y, double z = 0) {
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
        any = true;
        lo.x = std::min(lo.x, x), lo.y = std::min(lo.y, y), lo.z = std::min(lo.z, z);
        hi.x = std::max(hi.x, x), hi.y = std::max(hi.y, y), hi.z = std::max(hi.z, z);
    }
    void add(const Extents& o) {
        if (!o.any) return;
        add(o.lo.x, o.lo.y, o.lo.z);
        add(o.hi.x, o.hi.y, o.hi.z);
    }
};

std::size_t utf8Length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

static DrawingData& data(Drawing* d) { return d->data(); }

std::string Entity::type() const { return data(d_).typeOf(rec_); }

std::string Entity::handle() const {
    std::uint64_t h = data(d_).records[rec_].handle;
    return h ? formatHandle(h) : std::string();
}

bool Entity::isGraphical() const { return data(d_).isEntityRecord(rec_); }

bool Entity::inPaperSpace() const {
    const DrawingData& d = data(d_);
    const Record& r = d.records[rec_];
    if (r.section == Section::Entities) return r.flags & kPaperSpace;
    return r.block != kNone && d.blocks[r.block].paper;
}

std::string Entity::objectName() const {
    DrawingData& d = data(d_);
    const std::string& t = d.typeOf(rec_);
    if (t == "POLYLINE" || t == "DIMENSION" || t == "VERTEX") {
        long flags = 0;
        for (const Tag& tag : d.tags(rec_))
            if (tag.code == 70) {
                flags = tagLong(tag, d.fmt);
                break;
            }
        if (t == "POLYLINE") {
            if (flags & 8) return "AcDb3dPolyline";
            if (flags & 16) return "AcDbPolygonMesh";
            if (flags & 64) return "AcDbPolyFaceMesh";
            return "AcDb2dPolyline";
        }
        if (t == "VERTEX") return (flags & 32) ? "AcDb3dPolylineVertex" : "AcDb2dVertex";
        static const char* dims[] = {"AcDbRotatedDimension", "AcDbAlignedDimension", "AcDb2LineAngularDimension",
                                     "AcDbDiametricDimension", "AcDbRadialDimension", "AcDb3PointAngularDimension",
                                     "AcDbOrdinateDimension", "AcDbRotatedDimension"};
        return dims[flags & 7];
    }
    auto it = classNames().find(t);
    if (it != classNames().end()) return it->second;
    // Other classes name themselves in their last subclass marker.
    std::string last;
    for (const Tag& tag : d.tags(rec_))
        if (tag.code == 100) last = tagText(tag, d.fmt);
    if (!last.empty()) return last;
    std::string n = "AcDb";
    for (std::size_t i = 0; i < t.size(); ++i)
        n += i == 0 ? t[i] : static_cast<char>(std::tolower(static_cast<unsigned char>(t[i])));
    return n;
}

std::string Entity::layer() const {
    const DrawingData& d = data(d_);
    if (!d.isEntityRecord(rec_) && d.typeOf(rec_) != "BLOCK" && d.typeOf(rec_) != "ENDBLK")
        throw EngineError(err::kNotApplicable, "object has no layer: " + d.typeOf(rec_));
    std::uint32_t s = d.records[rec_].slot;
    return s == kNone ? std::string("0") : d.slots[s].name;
}

void Entity::setLayer(const std::string& name) {
    DrawingData& d = data(d_);
    if (!d.isEntityRecord(rec_)) throw EngineError(err::kNotApplicable, "object has no layer: " + d.typeOf(rec_));
    auto id = d.findLayerId(name);
    if (!id) throw EngineError(err::kKeyNotFound, "layer not found: " + name);
    std::uint32_t slot = d.slotForName(d.layers[*id].name);
    d.setRecordSlot(rec_, slot);
    // Vertices and the closing SEQEND follow their polyline; attributes keep their own layer.
    const std::string& t = d.typeOf(rec_);
    if (t == "POLYLINE" || t == "INSERT") {
        for (std::uint32_t r = rec_ + 1; r < d.loadedRecords && (d.records[r].flags & kSubEntity); ++r) {
            const std::string& st = d.typeOf(r);
            if (st == "VERTEX" || st == "SEQEND") d.setRecordSlot(r, slot);
            if (st == "SEQEND") break;
        }
    }
}

std::string Entity::textString() const {
    DrawingData& d = data(d_);
    const std::string& t = d.typeOf(rec_);
    std::vector<Tag> tags = d.tags(rec_);
    if (t == "MTEXT") {
        std::string out;
        std::string last;
        for (const Tag& tag : tags) {
            if (tag.code == 1001) break;
            if (tag.code == 3) out += tag.value;
            if (tag.code == 1) last = tag.value;
        }
        return d.codec->decode(out + last);
    }
    if (t == "TEXT" || t == "ATTRIB" || t == "ATTDEF") {
        for (const Tag& tag : tags) {
            if (tag.code == 1001) break;
            if (tag.code == 1) return d.codec->decode(tag.value);
        }
        return {};
    }
    throw EngineError(err::kNotApplicable, "object has no text: " + t);
}

void Entity::setTextString(const std::string& text) {
    DrawingData& d = data(d_);
    const std::string& t = d.typeOf(rec_);
    // Saving a DWG re-encodes layers only; a text change could not be written.
    if (d.dwg) throw EngineError(err::kNotApplicable, "the text of a DWG drawing's object cannot be changed");
    std::vector<Tag> tags = d.tags(rec_);
    if (t == "TEXT" || t == "ATTRIB" || t == "ATTDEF") {
        for (Tag& tag : tags)
            if (tag.code == 1) {
                tag.value = d.codec->encode(text);
                d.setPatch(rec_, tags);
                return;
            }
        throw EngineError(err::kNotApplicable, "object has no text value");
    }
    if (t != "MTEXT") throw EngineError(err::kNotApplicable, "object has no text: " + t);
    // MTEXT keeps at most 250 bytes per group: leading chunks in 3, the rest in 1.
    std::vector<std::string> chunks;
    std::string cur;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        std::string enc = d.codec->encode(text.substr(i, len));
        if (cur.size() + enc.size() > 250) {
            chunks.push_back(cur);
            cur.clear();
        }
        cur += enc;
        i += len;
    }
    chunks.push_back(cur);
    std::vector<Tag> out;
    bool placed = false;
    bool xdata = false;
    for (Tag& tag : tags) {
        if (tag.code == 1001) xdata = true;
        if ((tag.code == 3 || tag.code == 1) && !placed && !xdata) {
            for (std::size_t k = 0; k + 1 < chunks.size(); ++k) out.push_back(makeTag(3, chunks[k], d.fmt));
            Tag last = tag;
            last.code = 1;
            last.codeLine.clear();
            last.value = chunks.back();
            out.push_back(last);
            placed = true;
            continue;
        }
        if ((tag.code == 3 || tag.code == 1) && placed && !xdata) continue;
        out.push_back(tag);
    }
    if (!placed) throw EngineError(err::kNotApplicable, "object has no text value");
    d.setPatch(rec_, out);
}

// Extents of each block definition, computed once per query: a block may be
// referenced many times, by itself (cycles) or by blocks referencing each other.
using BlockCache = std::unordered_map<std::uint32_t, std::optional<Extents>>;

static Extents extentsOf(DrawingData& d, std::uint32_t r, int depth, BlockCache& cache);

static Extents blockExtents(DrawingData& d, std::uint32_t b, int depth, BlockCache& cache) {
    auto it = cache.find(b);
    if (it != cache.end()) return it->second.value_or(Extents{});  // nullopt: being computed (a cycle)
    cache[b] = std::nullopt;
    Extents e;
    const BlockRec& blk = d.blocks[b];
    if (blk.begin != kNone && blk.end != kNone)
        for (std::uint32_t r = blk.begin + 1; r < blk.end; ++r) {
            if (d.records[r].flags & (kSubEntity | kDeleted)) continue;
            e.add(extentsOf(d, r, depth + 1, cache));
        }
    cache[b] = e;
    return e;
}

static Extents extentsOf(DrawingData& d, std::uint32_t r, int depth, BlockCache& cache) {
    Extents e;
    if (depth > 64) return e;
    const std::string& type = d.typeOf(r);
    std::vector<Tag> tags = d.tags(r);
    auto num = [&](int code, double fallback) {
        for (const Tag& t : tags) {
            if (t.code == 1001) break;
            if (t.code == code) return tagDouble(t, d.fmt, fallback);
        }
        return fallback;
    };
    if (type == "CIRCLE" || type == "ARC") {
        double cx = num(10, 0), cy = num(20, 0), rad = std::fabs(num(40, 0));
        if (type == "CIRCLE") {
            e.add(cx - rad, cy - rad);
            e.add(cx + rad, cy + rad);
            return e;
        }
        double a0 = num(50, 0), a1 = num(51, 360);
        if (a1 < a0) a1 += 360;
        auto at = [&](double deg) { e.add(cx + rad * std::cos(deg * M_PI / 180), cy + rad * std::sin(deg * M_PI / 180)); };
        at(a0);
        at(a1);
        for (double q = std::ceil(a0 / 90) * 90; q < a1 && q < a0 + 720; q += 90) at(q);
        return e;
    }
    if (type == "TEXT" || type == "ATTRIB" || type == "ATTDEF" || type == "MTEXT") {
        double x = num(10, 0), y = num(20, 0), h = num(40, 2.5);
        std::string s;
        std::size_t lines = 1;
        if (type == "MTEXT") {
            for (const Tag& t : tags)
                if (t.code == 1 || t.code == 3) s += t.value;
            for (std::size_t p = s.find("\\P"); p != std::string::npos; p = s.find("\\P", p + 2)) ++lines;
        } else {
            for (const Tag& t : tags)
                if (t.code == 1) {
                    s = d.codec->decode(t.value);
                    break;
                }
        }
        double w = type == "MTEXT" ? num(41, 0) : 0;
        if (w <= 0) w = static_cast<double>(utf8Length(s)) * h * 0.8 * (type == "MTEXT" ? 1 : num(41, 1)) /
                        static_cast<double>(lines);
        double rot = num(50, 0) * M_PI / 180;
        double top = type == "MTEXT" ? 0 : h, bottom = type == "MTEXT" ? -h * 1.6 * lines : 0;
        for (double cx : {0.0, w})
            for (double cy : {bottom, top})
                e.add(x + cx * std::cos(rot) - cy * std::sin(rot), y + cx * std::sin(rot) + cy * std::cos(rot));
        return e;
    }
    if (type == "INSERT") {
        std::string name;
        for (const Tag& t : tags)
            if (t.code == 2) {
                name = d.codec->decode(t.value);
                break;
            }
        std::string key = foldCase(name);
        for (std::uint32_t b = 0; b < d.blocks.size(); ++b) {
            if (foldCase(d.blocks[b].name) != key) continue;
            Extents be = blockExtents(d, b, depth, cache);
            if (!be.any) break;
            std::vector<Tag> bt = d.tags(d.blocks[b].begin);
            double bx = 0, by = 0;
            for (const Tag& t : bt) {
                if (t.code == 10) bx = tagDouble(t, d.fmt);
                if (t.code == 20) by = tagDouble(t, d.fmt);
            }
            double sx = num(41, 1), sy = num(42, 1), rot = num(50, 0) * M_PI / 180;
            double ix = num(10, 0), iy = num(20, 0);
            for (double px : {be.lo.x, be.hi.x})
                for (double py : {be.lo.y, be.hi.y}) {
                    double lx = (px - bx) * sx, ly = (py - by) * sy;
                    e.add(ix + lx * std::cos(rot) - ly * std::sin(rot), iy + lx * std::sin(rot) + ly * std::cos(rot));
                }
            break;
        }
        if (!e.any) e.add(num(10, 0), num(20, 0));
        return e;
    }
    if (type == "POLYLINE") {
        for (std::uint32_t v = r + 1; v < d.loadedRecords && d.typeOf(v) == "VERTEX"; ++v) {
            std::vector<Tag> vt = d.tags(v);
            double x = 0, y = 0;
            for (const Tag& t : vt) {
                if (t.code == 10) x = tagDouble(t, d.fmt);
                if (t.code == 20) y = tagDouble(t, d.fmt);
            }
            e.add(x, y);
        }
        return e;
    }
    // Everything else: each x (10-18) paired with its y (20-28).
    double x = 0;
    int xcode = -1;
    for (const Tag& t : tags) {
        if (t.code == 1001) break;
        if (t.code >= 10 && t.code <= 18) {
            x = tagDouble(t, d.fmt);
            xcode = t.code;
        } else if (xcode >= 0 && t.code == xcode + 10) {
            e.add(x, tagDouble(t, d.fmt));
            xcode = -1;
        }
    }
    return e;
}

BoundingBox Entity::boundingBox() const {
    BlockCache cache;
    Extents e = extentsOf(data(d_), rec_, 0, cache);
    if (!e.any) throw EngineError(err::kInvalidInput, "object has no extents");
    return BoundingBox{e.lo.x < 1e299 ? Point{e.lo.x, e.lo.y, 0} : Point{}, Point{e.hi.x, e.hi.y, 0}};
}

std::string Entity::blockName() const {
    DrawingData& d = data(d_);
    if (d.typeOf(rec_) != "INSERT") throw EngineError(err::kNotApplicable, "not a block reference");
    for (const Tag& t : d.tags(rec_))
        if (t.code == 2) return d.codec->decode(t.value);
    return {};
}

bool Entity::hasAttributes() const {
    DrawingData& d = data(d_);
    if (d.typeOf(rec_) != "INSERT") throw EngineError(err::kNotApplicable, "not a block reference");
    return rec_ + 1 < d.loadedRecords && d.typeOf(rec_ + 1) == "ATTRIB";
}

std::vector<Entity> Entity::attributes() const {
    DrawingData& d = data(d_);
    if (d.typeOf(rec_) != "INSERT") throw EngineError(err::kNotApplicable, "not a block reference");
    std::vector<Entity> out;
    for (std::uint32_t r = rec_ + 1; r < d.loadedRecords && d.typeOf(r) == "ATTRIB"; ++r) out.emplace_back(d_, r);
    return out;
}

std::vector<GroupValue> Entity::groups() const {
    DrawingData& d = data(d_);
    std::vector<GroupValue> out;
    for (const Tag& t : d.tags(rec_)) {
        GroupValue g;
        g.code = t.code;
        g.value = valueKind(t.code) == ValueKind::String && t.code != 5 && t.code != 105 &&
                          !(t.code >= 320 && t.code <= 369) && !(t.code >= 390 && t.code <= 399)
                      ? d.codec->decode(t.value)
                      : tagText(t, d.fmt);
        out.push_back(std::move(g));
    }
    return out;
}

// ---- Block ----

std::string Block::name() const { return d_->data().blocks[idx_].name; }
bool Block::isLayout() const { return d_->data().blocks[idx_].layout; }

Point Block::basePoint() const {
    DrawingData& d = d_->data();
    Point p;
    for (const Tag& t : d.tags(d.blocks[idx_].begin)) {
        if (t.code == 10) p.x = tagDouble(t, d.fmt);
        if (t.code == 20) p.y = tagDouble(t, d.fmt);
        if (t.code == 30) p.z = tagDouble(t, d.fmt);
    }
    return p;
}

std::vector<Entity> Block::entities() const {
    DrawingData& d = d_->data();
    const BlockRec& b = d.blocks[idx_];
    std::vector<Entity> out;
    if (b.begin == kNone) return out;
    std::uint32_t end = b.end == kNone ? d.loadedRecords : b.end;
    for (std::uint32_t r = b.begin + 1; r < end; ++r) {
        if (d.records[r].block != idx_ || (d.records[r].flags & (kSubEntity | kDeleted))) continue;
        out.emplace_back(d_, r);
    }
    return out;
}

}  // namespace dxf
