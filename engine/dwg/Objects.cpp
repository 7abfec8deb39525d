// The object envelope and the common data every object starts with: read for
// every object when a drawing opens, so that owners, layers and block
// membership are known without decoding any object's own fields.
#include <algorithm>
#include <cstring>

#include "engine/dwg/Checksum.h"
#include "engine/dwg/Document.h"
#include "engine/dwg/Sections.h"

namespace dxf::dwg {

namespace {

const char* const kFixedNames[] = {
    "",           "TEXT",       "ATTRIB",     "ATTDEF",     "BLOCK",       "ENDBLK",      "SEQEND",
    "INSERT",     "INSERT",     "",           "VERTEX",     "VERTEX",      "VERTEX",      "VERTEX",
    "VERTEX",     "POLYLINE",   "POLYLINE",   "ARC",        "CIRCLE",      "LINE",        "DIMENSION",
    "DIMENSION",  "DIMENSION",  "DIMENSION",  "DIMENSION",  "DIMENSION",   "DIMENSION",   "POINT",
    "3DFACE",     "POLYLINE",   "POLYLINE",   "SOLID",      "TRACE",       "SHAPE",       "VIEWPORT",
    "ELLIPSE",    "SPLINE",     "REGION",     "3DSOLID",    "BODY",        "RAY",         "XLINE",
    "DICTIONARY", "OLEFRAME",   "MTEXT",      "LEADER",     "TOLERANCE",   "MLINE",       "BLOCK_CONTROL",
    "BLOCK_RECORD", "LAYER_CONTROL", "LAYER", "STYLE_CONTROL", "STYLE",    "",            "",
    "LTYPE_CONTROL", "LTYPE",   "",           "",           "VIEW_CONTROL", "VIEW",       "UCS_CONTROL",
    "UCS",        "VPORT_CONTROL", "VPORT",   "APPID_CONTROL", "APPID",    "DIMSTYLE_CONTROL", "DIMSTYLE",
    "VX_CONTROL", "VX_TABLE_RECORD", "GROUP", "MLINESTYLE",  "OLE2FRAME",   "",            "LONG_TRANSACTION",
    "LWPOLYLINE", "HATCH",      "XRECORD",    "ACDBPLACEHOLDER", "VBA_PROJECT", "LAYOUT",
};

}  // namespace

bool Document::isEntityType(unsigned t) const {
    if (t < 500) {
        if (t == type::ProxyEntity) return true;
        return (t >= 1 && t <= 41) || (t >= 43 && t <= 47) || t == type::Ole2Frame || t == type::LwPolyline ||
               t == type::Hatch;
    }
    if (t == type::ProxyEntity) return true;
    const ClassDef* k = classOf(t);
    return k && k->itemId == 0x1F2;
}

std::string Document::dxfName(const ObjectInfo& o) const {
    unsigned t = o.type;
    if (t < sizeof kFixedNames / sizeof kFixedNames[0]) return kFixedNames[t];
    if (t == type::ProxyEntity) return "ACAD_PROXY_ENTITY";
    if (t == type::ProxyObject) return "ACAD_PROXY_OBJECT";
    if (const ClassDef* k = classOf(t)) {
        // Objects of applications other than AutoCAD's own are proxies to
        // any reader without that application, as in AutoCAD's DXF.
        if (k->cppName.rfind("AcDb", 0) != 0) return k->itemId == 0x1F2 ? "ACAD_PROXY_ENTITY" : "ACAD_PROXY_OBJECT";
        return k->dxfName;
    }
    return {};
}

unsigned Document::fixedType(const ObjectInfo& o) const {
    if (o.type < 500) return o.type;
    if (const ClassDef* k = classOf(o.type)) {
        if (k->dxfName == "LWPOLYLINE") return type::LwPolyline;
        if (k->dxfName == "HATCH") return type::Hatch;
        if (k->dxfName == "LAYOUT") return type::Layout;
    }
    return o.type;
}

std::uint64_t Document::fileOffsetOf(const ObjectInfo& o) const { return c_.fileOffsetOf(c_.objects, o.offset); }

BitReader Document::dataReader(const ObjectInfo& o) const {
    const std::uint8_t* p = objectStart(o) + o.headerBytes;
    std::uint64_t end = o.handleBits;
    if (unicode() && !(o.flags & kUnread)) {
        BitReader st = stringStream(p, o.handleBits, o.dataBits);
        if (st.end() > st.pos()) end = st.pos();
    }
    return BitReader(p, o.dataBits, end);
}

BitReader Document::handleReader(const ObjectInfo& o) const {
    const std::uint8_t* p = objectStart(o) + o.headerBytes;
    return BitReader(p, o.handlesAfterCommon, static_cast<std::uint64_t>(o.size) * 8);
}

BitReader Document::stringReader(const ObjectInfo& o) const {
    const std::uint8_t* p = objectStart(o) + o.headerBytes;
    if (!unicode() || (o.flags & kUnread)) return BitReader(p, 0, 0);
    return stringStream(p, o.handleBits, o.dataBits);
}

void Document::scanObject(std::uint32_t index) {
    ObjectInfo& o = objs_[index];
    const ObjectStream& s = *stream_;
    const Release r = c_.release;
    // The file offset is found only for a message: it searches the pages.
    auto fail = [&](const std::string& why) {
        const std::uint64_t at = fileOffsetOf(o);
        char hex[32];
        std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(o.handle));
        throw FormatError(at, "object " + std::string(hex) + ": " + why);
    };
    // Envelope: MS size, [MC handle-stream bits], bit stream, CRC.
    std::uint64_t hsize = 0;
    try {
        const std::size_t head = static_cast<std::size_t>(std::min<std::uint64_t>(32, s.size() - o.offset));
        BitReader env(s.read(o.offset, head), 0, static_cast<std::uint64_t>(head) * 8);
        o.size = env.MS();
        if (r >= Release::R2010) hsize = env.MC();
        o.headerBytes = static_cast<std::uint8_t>(env.pos() / 8);
    } catch (const BitOverrun&) {
        fail("truncated size field");
    }
    const std::uint64_t start = o.offset + o.headerBytes;
    if (o.size > s.size() || start > s.size() - o.size || s.size() - start - o.size < 2) fail("object extends past its section");
    const std::uint8_t* whole = s.read(o.offset, o.headerBytes + o.size + 2u);
    const std::uint8_t* p = whole + o.headerBytes;
    std::uint16_t stored = static_cast<std::uint16_t>(p[o.size] | (p[o.size + 1] << 8));
    if (crc16(kCrc16Seed, whole, o.headerBytes + o.size) != stored) fail("CRC mismatch");
    const std::uint64_t bits = static_cast<std::uint64_t>(o.size) * 8;
    if (hsize > bits) fail("handle stream larger than the object");

    BitReader b(p, 0, bits);
    std::uint8_t ltFlags = 0;
    try {
        o.type = static_cast<std::uint16_t>(r >= Release::R2010 ? b.OT() : b.BS());
        if (r >= Release::R2000 && r <= Release::R2007) o.handleBits = b.RL();
        if (r >= Release::R2010) o.handleBits = static_cast<std::uint32_t>(bits - hsize);
        HandleRef own = b.H();
        if (own.value != o.handle) fail("its handle differs from the object map's");
        for (;;) {  // extended data
            unsigned n = b.BS();
            if (n == 0) break;
            b.H();
            b.skipBytes(n);
        }
        const bool entity = isEntityType(o.type);
        if (entity) {
            o.flags |= kIsEntity;
            if (b.B()) {
                std::uint64_t g = r >= Release::R2010 ? b.BLL() : b.RL();
                if (g > bits) fail("graphic data larger than the object");
                b.skipBytes(g);
            }
            if (r <= Release::R14) o.handleBits = b.RL();
            o.entmode = static_cast<std::uint8_t>(b.BB());
        } else if (r <= Release::R14) {
            o.handleBits = b.RL();
        }
        if (o.handleBits > bits) fail("data size beyond the object");
        std::uint32_t reactors = b.BL();
        if (reactors > bits) fail("reactor count beyond the object");
        bool noXdic = false;
        if (r >= Release::R2004) noXdic = b.B();
        if (r >= Release::R2013) b.B();
        bool nolinks = false, byLayerLtype = false;
        std::uint16_t color = 0;
        unsigned psFlags = 0, matFlags = 0;
        bool vs[3] = {false, false, false};
        if (entity) {
            if (r <= Release::R14) byLayerLtype = b.B();
            if (r <= Release::R2000) nolinks = b.B();
            if (nolinks) o.flags |= kNoLinks;
            color = b.BS();
            o.color = r >= Release::R2004 ? (color & 0x1FF) : color;
            if (r >= Release::R2004) {
                if (color & 0x8000) o.rgb = b.BL();
                if (color & 0x2000) b.BL();
            }
            b.BD();  // linetype scale
            if (r >= Release::R2000) {
                ltFlags = static_cast<std::uint8_t>(b.BB());
                psFlags = b.BB();
            }
            if (r >= Release::R2007) {
                matFlags = b.BB();
                b.RC();  // shadow flags
            }
            if (r >= Release::R2010) vs[0] = b.B(), vs[1] = b.B(), vs[2] = b.B();
            if (b.BS() & 1) o.flags |= kInvisible;
            if (r >= Release::R2000) o.lineweight = b.RC();
        }
        o.dataBits = static_cast<std::uint32_t>(b.pos());

        // R2007+: the string stream ends where the handle stream begins
        // (read here so that a damaged one marks the object unread).
        if (r >= Release::R2007) stringStream(p, o.handleBits, o.dataBits);

        BitReader h(p, o.handleBits, bits);
        if (entity) {
            if ((r >= Release::R2004) && (color & 0x4000)) {
                // A colour-book reference. Its place is not settled: if the
                // layer reference read after it is not a layer, the object is
                // re-read without it (see layerRefBit checks in the index).
                h.H();
            }
            if (o.entmode == 0) o.owner = h.H().resolve(o.handle);
            for (std::uint32_t i = 0; i < reactors; ++i) h.H();
            if (!noXdic) h.H();
            auto links = [&] {
                if (r <= Release::R2000 && !nolinks) {
                    h.H();  // the previous entity
                    HandleRef nx = h.H();
                    next_[index] = nx.size || nx.code >= 6 ? nx.resolve(o.handle) : 0;
                } else if (nolinks) {
                    next_[index] = o.handle + 1;
                }
            };
            // R2000 puts the links before the layer, R13/R14 after the linetype.
            if (r == Release::R2000) links();
            o.layerRefBit = static_cast<std::uint32_t>(h.pos());
            o.layer = h.H().resolve(o.handle);
            if ((r <= Release::R14 && !byLayerLtype) || ltFlags == 3) {
                const std::uint64_t lt = h.H().resolve(o.handle);
                if (lt) ltypes_[o.handle] = lt;
            }
            if (r <= Release::R14) links();
            if (ltFlags == 1) o.flags |= kLtypeByBlock;
            if (ltFlags == 2) o.flags |= kLtypeContinuous;
            if (r >= Release::R2007 && matFlags == 3) h.H();
            if (psFlags == 3) h.H();
            if (r >= Release::R2010)
                for (bool v : vs)
                    if (v) h.H();
        } else {
            o.owner = h.H().resolve(o.handle);
            for (std::uint32_t i = 0; i < reactors; ++i) h.H();
            if (!noXdic) h.H();
        }
        o.handlesAfterCommon = static_cast<std::uint32_t>(h.pos());
    } catch (const BitOverrun&) {
        // The CRC holds, so the bytes are as written: this is an object
        // whose layout we do not know. It is kept raw.
        o.flags |= kUnread;
        if (o.handlesAfterCommon == 0) o.handlesAfterCommon = o.handleBits;
    }
    (void)ltFlags;
}

}  // namespace dxf::dwg
