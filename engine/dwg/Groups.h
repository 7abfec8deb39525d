#pragma once
// An object of a DWG drawing as the DXF group codes it would be written with:
// what the engine's callers (the view, bounding boxes, text and block queries)
// read for every drawing. Decoded on demand, one object at a time.
//
// String values are raw (code-page bytes before R2007, UTF-8 after), as in a
// DXF file of the same version; numbers are written as DXF text would be.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Tags.h"
#include "engine/dwg/Document.h"

namespace dxf::dwg {

// Names of the objects an entity refers to, by handle (raw name, "" if none).
using NameOf = std::function<std::string(std::uint64_t)>;

struct GroupContext {
    const Document& doc;
    NameOf name;        // table records and block records
    std::string layer;  // the entity's current layer name (raw)
    bool paperSpace = false;
};

// The groups of any object. Entity types the reader knows get their
// geometry; other objects get their common groups only (type, handle, owner,
// class marker, layer). Never throws for an object's own data: what cannot
// be read is left out.
std::vector<Tag> objectGroups(const GroupContext& ctx, const ObjectInfo& o);

// Class marker (group 100) of a type, "" when none is known.
std::string subclassOf(const Document& d, const ObjectInfo& o);

// ---- shared by the decoders ----
// A string as DXF writes it (no trailing NULs, control characters in caret form).
std::string dxfText(std::string s);

class GroupWriter {
public:
    void str(int code, std::string v) { tags.push_back(Tag{code, std::move(v), {}, {}}); }
    void num(int code, double v);
    void integer(int code, long long v) { str(code, std::to_string(v)); }
    void handle(int code, std::uint64_t h);
    void point(int code, const Vec3& p, bool z = true) {
        num(code, p.x);
        num(code + 10, p.y);
        if (z) num(code + 20, p.z);
    }
    void extrusion(const Vec3& n) {
        if (n.x != 0 || n.y != 0 || n.z != 1) point(210, n);
    }
    std::vector<Tag> tags;
};

// A count just read, of items of at least `bitsPerItem` bits each: refused
// (BitOverrun) when the rest of the object cannot hold that many.
inline std::uint32_t boundedCount(std::uint64_t n, const BitReader& b, std::uint64_t bitsPerItem) {
    if (n > b.remaining() / bitsPerItem) throw BitOverrun("count beyond the object");
    return static_cast<std::uint32_t>(n);
}

// Entity decoders (the data and handle readers are positioned after the common data).
struct EntityStreams {
    BitReader data, strings, handles;
};
bool decodeTextual(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
bool decodeCurves(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
bool decodeBlockRefs(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
bool decodeLeaders(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
bool decodeMultileaders(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
bool decodeMeshes(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
bool decodeMlines(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
bool decodeImages(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);
// Styles (LTYPE, STYLE, DIMSTYLE records, MLINESTYLE objects), R2000 on:
// the groups after the class marker, the name (2) first.
bool decodeStyles(const GroupContext& ctx, const ObjectInfo& o, EntityStreams& s, GroupWriter& w);

}  // namespace dxf::dwg
