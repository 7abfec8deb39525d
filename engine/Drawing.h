#pragma once
// A drawing held as a document: the file's bytes, an index over them, and the
// edits made since it was opened. Saving writes the untouched bytes as they
// were and only rewrites what an edit changed, so an unchanged drawing saves
// byte for byte identical.
//
// Strings at this interface are UTF-8. Every refusal throws EngineError with a
// number from EngineError.h; a file that does not parse throws ParseError.
//
// Layer, Entity and Block are small value handles into their Drawing; they stay
// valid as long as the Drawing lives (a deleted layer's handle reports
// isDeleted()). Not thread-safe: one thread per Drawing.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/EngineError.h"

namespace dxf {

class DrawingData;  // the implementation
class Drawing;

struct Point {
    double x = 0, y = 0, z = 0;
};

struct BoundingBox {
    Point min;
    Point max;
};

// One group code and its value as the file holds it, decoded to UTF-8 text
// (numbers as written in ASCII DXF; binary DXF numbers formatted as text).
struct GroupValue {
    int code = 0;
    std::string value;
};

enum class Format { Ascii, Binary };

// Receives an object's groups from Entity::readGroups(), in file order.
// Numbers come as groups() gives them. Strings come as the drawing stores
// them (its code page before R2007, \U+XXXX escapes kept): decodeText() of
// the drawing makes UTF-8 of them. A value is valid only during the call.
class GroupVisitor {
public:
    virtual ~GroupVisitor() = default;
    virtual void group(int code, std::string_view value) = 0;
    // A group whose value is a view into the drawing's own bytes: it stays
    // valid for as long as the drawing is neither changed nor closed.
    virtual void lastingGroup(int code, std::string_view value) { group(code, value); }
};

struct SaveOptions {
    // Wait until the new file is on disk before it replaces the old one, so
    // that a crash or power loss right after saving cannot leave an empty file.
    bool sync = true;
};

class Layer {
public:
    Layer() = default;
    Layer(Drawing* drawing, std::uint32_t id) : d_(drawing), id_(id) {}
    bool valid() const { return d_ != nullptr; }
    std::uint32_t id() const { return id_; }
    bool isDeleted() const;

    std::string name() const;
    // Renames the layer and every reference to it by name (entities in every
    // block and layout, attributes, $CLAYER, extended data 1003, layer states).
    // Refused: invalid or duplicate name, 0, Defpoints, a layer of an xref.
    void setName(const std::string& name);
    // Deletes the layer record; refused for 0, Defpoints, the current layer and
    // a layer still used (by any object anywhere, or referenced in a way the
    // engine cannot drop). Viewport freezes and layer-state entries of the
    // layer are dropped with it.
    void remove();

    bool layerOn() const;
    void setLayerOn(bool on);
    bool freeze() const;
    void setFreeze(bool on);  // freezing the current layer is refused
    bool lock() const;
    void setLock(bool on);
    bool plottable() const;
    void setPlottable(bool on);
    int color() const;  // 1..255 (the sign of the stored colour is layerOn)
    void setColor(int index);  // 1..255, else refused
    std::string linetype() const;
    void setLinetype(const std::string& name);  // refused when the drawing lacks it
    int lineweight() const;  // hundredths of mm; -3 default
    void setLineweight(int value);  // -3 or a standard lineweight, else refused
    // The plot style name; "Color_n" for colour-dependent drawings.
    std::string plotStyleName() const;
    // Refused for colour-dependent drawings and names the drawing lacks.
    void setPlotStyleName(const std::string& name);
    bool isXrefDependent() const;

    bool operator==(const Layer& o) const { return d_ == o.d_ && id_ == o.id_; }

private:
    Drawing* d_ = nullptr;
    std::uint32_t id_ = 0;
};

class Entity {
public:
    Entity() = default;
    Entity(Drawing* drawing, std::uint32_t record) : d_(drawing), rec_(record) {}
    bool valid() const { return d_ != nullptr; }
    std::uint32_t record() const { return rec_; }

    std::string type() const;        // DXF type: "LINE", "INSERT", ...
    std::string handle() const;      // hex, as in the file; "" when it has none
    std::string objectName() const;  // the host's class name: "AcDbLine", ...
    bool isGraphical() const;        // an entity (not a table record or object)
    bool inPaperSpace() const;
    std::string layer() const;
    // Moves the object to an existing layer (looked up ignoring case); refused
    // when the layer does not exist. A polyline's vertices follow it.
    void setLayer(const std::string& name);
    // TEXT, MTEXT, ATTRIB, ATTDEF; refused on other objects.
    std::string textString() const;
    void setTextString(const std::string& text);
    // Extents good enough for zooming; refused when the object has no points.
    BoundingBox boundingBox() const;
    // Block references (INSERT):
    std::string blockName() const;
    bool hasAttributes() const;
    std::vector<Entity> attributes() const;
    // All group codes of the object in file order, for viewers.
    std::vector<GroupValue> groups() const;
    // The same groups without copying them, for readers of every object of
    // a large drawing (strings undecoded: see GroupVisitor).
    void readGroups(GroupVisitor& visitor) const;
    // The object's ASCII tags as the drawing holds them, when its groups are
    // those tags as they stand (read as readGroups() would, with
    // dxf::forEachAsciiTag); empty when they must come through readGroups().
    std::string_view asciiTags() const;

    bool operator==(const Entity& o) const { return d_ == o.d_ && rec_ == o.rec_; }

private:
    Drawing* d_ = nullptr;
    std::uint32_t rec_ = 0;
};

class Block {
public:
    Block() = default;
    Block(Drawing* drawing, std::uint32_t index) : d_(drawing), idx_(index) {}
    bool valid() const { return d_ != nullptr; }
    std::string name() const;
    Point basePoint() const;
    bool isLayout() const;  // *Model_Space / *Paper_Space*
    std::vector<Entity> entities() const;  // top-level objects, in file order

private:
    Drawing* d_ = nullptr;
    std::uint32_t idx_ = 0;
};

// A named selection set of a drawing.
struct SelectionSet {
    std::string name;
    std::vector<Entity> items;
};

// Criteria of a select-all: each empty optional accepts everything.
struct SelectFilter {
    std::optional<std::string> layer;  // exact name, ignoring case; no wildcards
    std::optional<std::string> type;   // DXF type name ("TEXT"), ignoring case
};

// What a layer holds in model and paper space (top-level objects only).
struct LayerUsage {
    std::size_t objects = 0;
    std::size_t blockReferences = 0;
    std::size_t texts = 0;
};

class Drawing {
public:
    // Opens a DXF file (ASCII or binary) or a DWG file (AC1015 to AC1032).
    // Unsupported versions and unreadable files throw EngineError; malformed
    // or damaged content throws ParseError with its byte offset or line.
    static std::unique_ptr<Drawing> open(const std::string& path);
    // Parses a DXF held in memory; path is only used as the drawing's name.
    static std::unique_ptr<Drawing> fromBytes(std::string bytes, const std::string& path = "memory.dxf");
    // A new empty drawing (R2000, CP932, layer 0) named by path; nothing is
    // written until it is saved.
    static std::unique_ptr<Drawing> createNew(const std::string& path);
    ~Drawing();
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

    // --- the document ---
    std::string fullName() const;  // full path as opened or last saved
    std::string name() const;      // file name part
    bool dirty() const;            // changed since open or the last save
    std::string version() const;   // $ACADVER, e.g. "AC1015"
    Format format() const;
    std::string codepage() const;  // $DWGCODEPAGE as written, "" when missing
    bool isDwg() const;            // read from a DWG file
    // Saves over the file it came from / to a new path, atomically: a new file
    // is written beside the target and renamed over it (FileSave.h: links are
    // followed; mode, owner and group kept; read-only, immutable and
    // hard-linked files refused). On failure the target is untouched and
    // EngineError (kFileError) is thrown, naming the path and the cause. A DWG
    // is written back in its own version with only the objects the edits
    // changed re-encoded; save() of an unchanged one writes nothing. R13/R14
    // DWGs with changes and edits a DWG cannot hold are refused (kFileError),
    // the drawing staying open as it is.
    void save(const SaveOptions& options = {});
    void saveAs(const std::string& path, const SaveOptions& options = {});
    // The bytes save() would write.
    std::string serialize() const;

    // --- layers ---
    std::size_t layerCount() const;
    Layer layerAt(std::size_t index) const;  // table order; refused when out of range
    std::vector<Layer> layers() const;
    std::optional<Layer> findLayer(const std::string& name) const;  // ignores case
    Layer layer(const std::string& name) const;  // ignores case; kKeyNotFound when missing
    // Returns the existing layer (ignoring case) or a new one (colour 7,
    // CONTINUOUS, new handle from $HANDSEED). Invalid names are refused.
    Layer addLayer(const std::string& name);
    Layer activeLayer() const;  // $CLAYER
    void setActiveLayer(const Layer& layer);  // refused for a frozen layer
    // Moves exactly the objects of `from` to `to` everywhere (layouts, block
    // definitions, attributes, polyline vertices), redirects every name
    // reference, then deletes `from`. Refused for 0, Defpoints, xref layers.
    void mergeLayer(const std::string& from, const std::string& to);
    // Deletes every layer nothing uses (never 0, Defpoints, the current layer,
    // xref layers or anything still referenced). Returns how many went.
    std::size_t purgeAll();
    // Top-level objects in model and paper space on the layer.
    LayerUsage layerUsage(const Layer& layer) const;

    // --- other tables and collections ---
    std::vector<std::string> linetypes() const;  // table order
    bool isColorDependent() const;               // $PSTYLEMODE 1 (or no plot styles)
    std::vector<std::string> plotStyleNames() const;
    std::vector<std::string> layouts() const;    // tab order, "Model" first
    std::vector<Entity> modelSpace() const;      // top-level objects, file order
    std::vector<Entity> paperSpace() const;      // every paper space layout
    // The top-level objects of one layout, named as layouts() names it
    // (ignoring case): "Model" is model space, a paper space layout gives
    // its own objects (its viewports among them). kKeyNotFound when the
    // drawing has no such layout.
    std::vector<Entity> objectsOfLayout(const std::string& layout) const;
    // The LAYOUT object of a layout (plot settings, paper limits), to read
    // with groups(); nothing when the drawing keeps none for it (pre-R2000).
    std::optional<Entity> layoutSettings(const std::string& layout) const;
    std::size_t blockCount() const;
    std::optional<Block> findBlock(const std::string& name) const;  // ignores case
    Block block(const std::string& name) const;  // kKeyNotFound when missing
    std::vector<Block> blocks() const;
    // Any object with that handle (hex, ignoring case); kKeyNotFound when missing.
    Entity handleToObject(const std::string& handle) const;
    std::optional<Entity> findHandle(const std::string& handle) const;

    // --- selection ---
    // Top-level objects of model space and every paper space layout (not inside
    // block definitions) passing the filter, in file order. A layer filter is
    // answered from a per-layer index.
    std::vector<Entity> selectAll(const SelectFilter& filter) const;
    std::vector<SelectionSet>& selectionSets();  // the drawing's named sets
    SelectionSet& addSelectionSet(const std::string& name);  // kDuplicateKey when present

    // --- reading, for viewers ---
    // A header variable ("$LTSCALE") as groups() would give its value; nothing
    // when the drawing does not set it.
    std::optional<std::string> headerVariable(const std::string& name) const;
    // The records of a table ("LTYPE", "STYLE", "LAYER", "VPORT", ...), as
    // the file orders them (records added since come last), to read with groups().
    std::vector<Entity> tableRecords(const std::string& type) const;
    // UTF-8 of a string value as readGroups() passes it.
    std::string decodeText(std::string_view stored) const;

    // --- display ---
    void regen() {}  // nothing is cached for display

    DrawingData& data() { return *d_; }
    const DrawingData& data() const { return *d_; }

private:
    explicit Drawing(std::unique_ptr<DrawingData> d);
    std::unique_ptr<DrawingData> d_;
    friend class Layer;
    friend class Entity;
    friend class Block;
};

}  // namespace dxf
