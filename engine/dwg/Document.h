#pragma once
// A DWG drawing as read: its container, header variables, classes, object map
// and an index over every object. Opening reads each object's envelope and
// common data only (type, handle, owner, layer, links); an object's own
// fields are decoded when they are asked for (Decode.h).
//
// The index keeps what a writer needs to re-encode single objects: each
// object's place in the object stream, its size, and the bit positions of its
// data, handle and string streams and of its layer reference.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/dwg/BitReader.h"
#include "engine/dwg/Container.h"
#include "engine/dwg/ObjectStream.h"

namespace dxf::dwg {

// Fixed object types of the format (classes start at 500).
namespace type {
constexpr unsigned Text = 1, Attrib = 2, Attdef = 3, Block = 4, Endblk = 5, Seqend = 6, Insert = 7, Minsert = 8,
                   Vertex2d = 10, Vertex3d = 11, VertexMesh = 12, VertexPface = 13, VertexPfaceFace = 14,
                   Polyline2d = 15, Polyline3d = 16, Arc = 17, Circle = 18, Line = 19, DimOrdinate = 20,
                   DimLinear = 21, DimAligned = 22, DimAng3Pt = 23, DimAng2Ln = 24, DimRadius = 25,
                   DimDiameter = 26, Point = 27, Face3d = 28, PolylinePface = 29, PolylineMesh = 30, Solid = 31,
                   Trace = 32, Shape = 33, Viewport = 34, Ellipse = 35, Spline = 36, Region = 37, Solid3d = 38,
                   Body = 39, Ray = 40, Xline = 41, Dictionary = 42, OleFrame = 43, Mtext = 44, Leader = 45,
                   Tolerance = 46, Mline = 47, BlockControl = 48, BlockHeader = 49, LayerControl = 50, Layer = 51,
                   StyleControl = 52, Style = 53, LtypeControl = 56, Ltype = 57, ViewControl = 60, View = 61,
                   UcsControl = 62, Ucs = 63, VportControl = 64, Vport = 65, AppidControl = 66, Appid = 67,
                   DimstyleControl = 68, Dimstyle = 69, VxControl = 70, Vx = 71, Group = 72, MlineStyle = 73,
                   Ole2Frame = 74, LongTransaction = 76, LwPolyline = 77, Hatch = 78, Xrecord = 79,
                   Placeholder = 80, VbaProject = 81, Layout = 82, ProxyEntity = 0x1F2, ProxyObject = 0x1F3;
}

struct ClassDef {
    unsigned number = 0;
    unsigned proxyFlags = 0;
    std::string appName;
    std::string cppName;
    std::string dxfName;
    bool wasZombie = false;
    unsigned itemId = 0;  // 0x1F2 entity, 0x1F3 object
};

// One object of the object map, with what the open-time scan learned. There
// is one for every object of the drawing, so it is kept to 64 bytes: the
// R2000 entity links and explicit linetypes are kept apart (Document::nextOf,
// Document::ltypeOf), and the string stream is found again when it is read.
struct ObjectInfo {
    std::uint64_t handle = 0;
    std::uint64_t owner = 0;       // resolved
    std::uint64_t layer = 0;       // entities: resolved layer handle
    std::uint32_t offset = 0;      // of its MS size in the object stream
    std::uint32_t size = 0;        // bytes of its bit stream (after MS and, R2010+, the MC)
    std::uint32_t handleBits = 0;  // start of the handle stream, in bits from the bit stream start
    std::uint32_t dataBits = 0;    // where the type's own data starts (after the common data)
    std::uint32_t handlesAfterCommon = 0;  // where the type's own handles start
    std::uint32_t layerRefBit = 0;  // entities: bit position of the layer reference
    std::uint32_t rgb = 0;          // entities: R2004+ colour word (method in the top byte) when given
    std::uint16_t type = 0;         // fixed type or class number
    std::uint16_t color = 256;      // entities: colour index (0 by block, 256 by layer)
    std::uint8_t headerBytes = 0;   // bytes of the MS (+ MC) before the bit stream
    std::uint8_t entmode = 0;       // entities: 0 owner given, 1 paper space, 2 model space
    std::uint8_t flags = 0;
    std::uint8_t lineweight = 29;   // entities: lineweight index (29 by layer)
};

enum ObjectFlag : std::uint8_t {
    kIsEntity = 1,
    kNoLinks = 2,   // AC1015: neighbours are handle -/+ 1
    kUnread = 4,    // the common data could not be read; the object is kept raw
    kLtypeByBlock = 8,
    kLtypeContinuous = 16,
    kInvisible = 32,
};

struct HeaderVars {
    std::uint64_t handseed = 0;
    std::uint64_t clayer = 0;
    std::uint64_t blockControl = 0, layerControl = 0, styleControl = 0, ltypeControl = 0, viewControl = 0,
                  ucsControl = 0, vportControl = 0, appidControl = 0, dimstyleControl = 0;
    std::uint64_t dictGroup = 0, dictMlinestyle = 0, dictNamed = 0, dictLayouts = 0, dictPlotSettings = 0,
                  dictPlotStyles = 0;
    std::uint64_t paperSpace = 0, modelSpace = 0;
    std::uint32_t flags = 0;  // CELWEIGHT, ENDCAPS, ..., PSTYLEMODE (0x2000)
    bool flagsKnown = false;
    unsigned insunits = 0;
    // Drawing settings the view uses, read from R2000 on (`settingsKnown`).
    bool settingsKnown = false;
    double ltscale = 1, celtscale = 1, textsize = 0.2, pdsize = 0, dimscale = 1, dimasz = 0.18, dimtxt = 0.18;
    int pdmode = 0;
    Vec3 extmin, extmax;      // model space
    Vec3 limmin, limmax;      // model space (x, y)
    // Bit positions in the header data (after its size field) of $HANDSEED
    // and of $CLAYER (in the handle stream from R2007 on).
    std::uint64_t handseedBit = 0;
    std::uint64_t clayerBit = 0;
};

class Document {
public:
    // Reads the file held in `file` (which must outlive the Document).
    explicit Document(std::string_view file);

    const Container& container() const { return c_; }
    std::string_view file() const { return file_; }
    Release release() const { return c_.release; }
    const std::string& acadver() const { return c_.acadver; }
    std::uint16_t codepage() const { return c_.codepage; }
    const HeaderVars& header() const { return hdr_; }
    const std::vector<ClassDef>& classes() const { return classes_; }

    const std::vector<ObjectInfo>& objects() const { return objs_; }
    std::size_t mapCount() const { return objs_.size(); }
    // AC1015 and earlier: the entity that follows object `index` in its
    // block (0 when none is known).
    std::uint64_t nextOf(std::size_t index) const { return index < next_.size() ? next_[index] : 0; }
    // An entity's explicit linetype (0: by layer, by block or continuous).
    std::uint64_t ltypeOf(const ObjectInfo& o) const {
        auto it = ltypes_.find(o.handle);
        return it == ltypes_.end() ? 0 : it->second;
    }
    // Index into objects() of a handle, or -1.
    long find(std::uint64_t handle) const;
    // The DXF name of an object's type ("LINE", "LAYOUT", ...; "" when unknown).
    std::string dxfName(const ObjectInfo& o) const;
    const ClassDef* classOf(unsigned type) const;
    // The fixed type of an object, also for R13/R14 classes that became
    // fixed types later (LWPOLYLINE, HATCH).
    unsigned fixedType(const ObjectInfo& o) const;
    bool isEntityType(unsigned type) const;

    // Readers positioned on an object's streams.
    BitReader dataReader(const ObjectInfo& o) const;    // at dataBits, ends at handleBits
    BitReader handleReader(const ObjectInfo& o) const;  // at handlesAfterCommon
    BitReader stringReader(const ObjectInfo& o) const;  // R2007+ string stream
    std::uint64_t fileOffsetOf(const ObjectInfo& o) const;
    // The object's bytes from its size field on (headerBytes + size + 2), in
    // one piece; valid while few other objects are read (ObjectStream.h).
    const std::uint8_t* objectStart(const ObjectInfo& o) const {
        return stream_->read(o.offset, o.headerBytes + o.size + 2u);
    }
    // The whole object stream (also gaps between objects).
    const ObjectStream& objectStream() const { return *stream_; }

    // Strings: TV before R2007 (raw code-page bytes), TU after (UTF-8).
    bool unicode() const { return c_.release >= Release::R2007; }
    std::string text(BitReader& data, BitReader& strings) const { return unicode() ? strings.TU() : data.TV(); }

    // Resolves a reference of object `o`.
    static std::uint64_t ref(const ObjectInfo& o, const HandleRef& h) { return h.resolve(o.handle); }

private:
    void readHeader();
    void readClasses();
    void readObjectMap();
    void scanObject(std::uint32_t index);

    std::string_view file_;
    Container c_;
    std::unique_ptr<ObjectStream> stream_;
    HeaderVars hdr_;
    std::vector<ClassDef> classes_;
    std::vector<ObjectInfo> objs_;
    // Objects by handle, only when the map does not list them in ascending
    // handle order (then objects() is searched).
    std::unordered_map<std::uint64_t, std::uint32_t> byHandle_;
    std::vector<std::uint64_t> next_;  // by index, AC1015 and earlier only
    std::unordered_map<std::uint64_t, std::uint64_t> ltypes_;  // by entity handle
};

}  // namespace dxf::dwg
