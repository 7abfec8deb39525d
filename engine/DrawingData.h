#pragma once
// The engine's inner model of one drawing. Not part of the public interface;
// included by the engine's own sources and tests.
//
// The file's bytes are kept as read. `records` cuts them at every group 0 (a
// record is one entity, object, table entry or section marker) and carries the
// few facts the operations need without reading tags again. An edit either
// replaces a record's bytes (`patch`), swaps its layer value (`slot` plus
// kLayerChanged, or a renamed slot), deletes it, or inserts new records after
// it. Everything else is written back from `bytes` untouched.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/Drawing.h"
#include "engine/Encoding.h"
#include "engine/Tags.h"

namespace dxf {

class DwgSource;

enum class Section : std::uint8_t { None, Header, Classes, Tables, Blocks, Entities, Objects, Other };

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct Record {
    std::uint64_t off = 0;  // span in `bytes` (unused when patched)
    std::uint32_t len = 0;
    std::uint32_t layerOff = kNone;  // value of the first group 8, relative to the record
    std::uint32_t layerLen = 0;
    std::uint32_t slot = kNone;   // layer name slot (entities and block markers)
    std::uint32_t block = kNone;  // owning block definition (BLOCKS section)
    std::uint32_t patch = kNone;  // index into DrawingData::patches
    std::uint64_t handle = 0;
    std::uint16_t type = 0;  // index into DrawingData::typeNames
    Section section = Section::None;
    std::uint8_t flags = 0;
};

enum RecordFlag : std::uint8_t {
    kPaperSpace = 1,     // group 67 = 1
    kHasXdataName = 2,   // carries group 1003 (layer names in extended data)
    kHasNameRef = 4,     // a table/object record carrying group 8 (layer states, filters)
    kLayerChanged = 8,   // slot differs from the layer value in the record's bytes
    kDeleted = 16,
    kSubEntity = 32,     // VERTEX, SEQEND, ATTRIB: belongs to the record before
    kHasInserts = 64,    // new records follow it (DrawingData::inserts)
};

// A distinct layer name as written in entities. Renaming a layer renames its
// slots, so entities follow without being touched until save.
struct Slot {
    std::string raw;     // bytes as in the file (or as encoded for a new name)
    std::string name;    // current name, UTF-8
    std::string curRaw;  // current name, encoded
    bool renamed = false;
    std::uint32_t uses = 0;          // records of any kind referring to it
    std::vector<std::uint32_t> top;  // top-level objects in model/paper space (may be stale)
    bool topUnsorted = false;
};

struct LayerRec {
    std::uint32_t record = kNone;
    std::vector<Tag> tags;
    std::string name;  // UTF-8
    bool deleted = false;
};

struct BlockRec {
    std::uint32_t begin = kNone;  // BLOCK record
    std::uint32_t end = kNone;    // ENDBLK record
    std::string name;
    bool layout = false;   // *Model_Space, *Paper_Space...
    bool paper = false;
};

// The file's bytes, read once and never modified. Large files go into an
// anonymous mapping (huge pages where the kernel offers them), which avoids
// zero-filling and page-faulting a heap buffer before reading into it.
class ByteBuffer {
public:
    ByteBuffer() = default;
    explicit ByteBuffer(std::string s) : str_(std::move(s)) {}
    static ByteBuffer fromFile(const std::string& path);  // throws EngineError
    ByteBuffer(ByteBuffer&& o) noexcept { *this = std::move(o); }
    ByteBuffer& operator=(ByteBuffer&& o) noexcept;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ~ByteBuffer();
    const char* data() const { return map_ ? static_cast<const char*>(map_) : str_.data(); }
    std::size_t size() const { return map_ ? mapSize_ : str_.size(); }
    operator std::string_view() const { return std::string_view(data(), size()); }

private:
    std::string str_;
    void* map_ = nullptr;
    std::size_t mapSize_ = 0;  // bytes of content
    std::size_t mapCap_ = 0;   // bytes mapped
};

struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class DrawingData {
public:
    std::string path;
    ByteBuffer bytes;
    TagFormat fmt;
    std::unique_ptr<Codec> codec;
    std::string acadver;
    std::string codepage;
    bool dirty = false;

    std::vector<Record> records;
    std::uint32_t loadedRecords = 0;  // records from the file; later ones are insertions
    std::vector<std::string> patches;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> inserts;
    std::vector<std::string> typeNames;
    std::unordered_map<std::string, std::uint16_t, TransparentHash, std::equal_to<>> typeIndex;

    std::vector<Slot> slots;
    std::unordered_map<std::string, std::uint32_t, TransparentHash, std::equal_to<>> slotByRaw;

    std::vector<LayerRec> layers;  // table order; deleted ones stay flagged
    std::uint32_t layerTable = kNone;    // TABLE record of LAYER
    std::uint32_t layerTableEnd = kNone;  // its ENDTAB record
    std::uint64_t layerTableHandle = 0;
    std::vector<std::uint32_t> linetypeRecords;
    std::vector<BlockRec> blocks;
    std::vector<std::uint32_t> layoutObjects;  // LAYOUT records
    std::uint32_t headerRecord = kNone;
    std::vector<Tag> headerTags;  // parsed on demand
    bool headerParsed = false;
    bool hasHandles = true;

    std::vector<SelectionSet> selectionSets;

    // Set when the drawing is a DWG: records of DWG objects decode their
    // groups from it (DwgSource.h).
    std::shared_ptr<const DwgSource> dwg;
    bool isDwgObject(std::uint32_t r) const;

    // lazily built lookups
    std::vector<std::uint32_t> nameRefRecords;   // records with 1003 or non-layer group 8
    std::vector<std::uint32_t> pointerRecords;   // records that may point at a layer by handle
    bool refListsValid = false;
    void buildRefLists();
    mutable std::vector<std::pair<std::uint64_t, std::uint32_t>> handleIndex;
    mutable bool handleIndexValid = false;

    // ---- loading (Loader.cpp) ----
    void load();

    // ---- records ----
    std::string_view base(std::uint32_t r) const;  // bytes of the record before layer substitution
    std::string recordBytes(std::uint32_t r) const;  // as it will be written
    std::vector<Tag> tags(std::uint32_t r) const;
    void setPatch(std::uint32_t r, const std::vector<Tag>& tags);
    std::uint32_t insertRecordAfter(std::uint32_t anchor, const std::vector<Tag>& tags, const std::string& type);
    const std::string& typeOf(std::uint32_t r) const { return typeNames[records[r].type]; }
    std::uint16_t internType(std::string_view t);
    std::uint32_t internSlot(std::string_view raw);
    std::uint32_t slotForName(const std::string& utf8Name);
    std::optional<std::uint32_t> findRecordByHandle(std::uint64_t h) const;
    void setRecordSlot(std::uint32_t r, std::uint32_t slot);
    bool isEntityRecord(std::uint32_t r) const;  // graphical object (incl. sub-entities)
    bool isTopLevelInLayout(std::uint32_t r) const;

    // ---- header ----
    void parseHeader();
    std::optional<std::string> headerValue(const std::string& var) const;  // raw value text
    void setHeaderValue(const std::string& var, int code, const std::string& raw);
    std::uint64_t nextHandle();

    // ---- layers (Layers.cpp) ----
    std::optional<std::uint32_t> findLayerId(std::string_view name) const;
    // The bytes that name a layer in references: those of its record's name
    // (a UTF-8 drawing may hold code-page names), else the name encoded.
    std::string layerRaw(const std::string& name) const;
    std::string currentLayerName() const;
    void commitLayer(std::uint32_t id);
    void renameReferences(const std::string& from, const std::string& to, bool merging = false);
    bool layerInUse(std::uint32_t id, std::string* why) const;
    void deleteLayer(std::uint32_t id, std::optional<std::uint32_t> redirect);
    void deleteDictionaryTree(std::uint32_t r);
    // DWG: layers deleted since the drawing was read, by handle, with the
    // layer their references go to (0 when they were only dropped).
    std::unordered_map<std::uint64_t, std::uint64_t> dwgDeletedLayers;

    // ---- save (Drawing.cpp) ----
    template <class Sink>
    void emit(Sink&& sink) const;
};

}  // namespace dxf
