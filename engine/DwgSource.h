#pragma once
// A Drawing backed by a DWG file. The drawing's records are laid out as the
// DXF of the same drawing would be (header, tables, blocks with their
// entities, objects), one record per object of the DWG object map plus a few
// markers (the header and the table ends). A record of a DWG object keeps the
// object's index in `Record::off` and has no bytes of its own: its groups are
// decoded from the object when they are asked for. Edits patch records as in
// a DXF; saving turns them into edits of the DWG's objects (DwgSave.cpp).
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/Tags.h"
#include "engine/dwg/Document.h"
#include "engine/dwg/Writer.h"

namespace dxf {

class DrawingData;

// `Record::off` of a record that is no DWG object (header, ENDTAB).
constexpr std::uint64_t kNoDwgObject = ~0ull;

class DwgSource {
public:
    std::unique_ptr<dwg::Document> doc;
    // Raw names of table records and block records by handle.
    std::unordered_map<std::uint64_t, std::string> names;
    // Block records by the handle of their BLOCK entity (for its groups).
    std::unordered_map<std::uint64_t, std::uint64_t> blockOfBegin;
    std::uint64_t paperSpace = 0, modelSpace = 0;
    // Viewports by handle: their number in the active layout (1 is the
    // sheet; 0 in the other layouts).
    std::unordered_map<std::uint64_t, int> viewportIds;

    // The groups of a DWG object record (the slot gives its current layer).
    std::vector<Tag> groups(const DrawingData& d, std::uint32_t record) const;
    std::string nameOf(std::uint64_t handle) const {
        auto it = names.find(handle);
        return it == names.end() ? std::string() : it->second;
    }

    // A reference to a layer from another object's handle stream (layer
    // references of entities and the layer control's entries left out).
    struct LayerRef {
        std::uint32_t object = 0;  // index into doc->objects()
        std::uint32_t bit = 0;     // where the reference starts in its stream
    };
    const std::vector<LayerRef>& refsTo(std::uint64_t layer) const;

private:
    mutable std::unordered_map<std::uint64_t, std::vector<LayerRef>> layerRefs_;
    mutable bool layerRefsBuilt_ = false;
};

// Builds the records of a DWG drawing held in d.bytes; throws ParseError.
void loadDwg(DrawingData& d);

// The DWG side of handle references to layer h when it is deleted (see
// References.cpp): false, with the reason, when something refers to it that
// cannot follow; with apply, the layer's extension dictionary goes and the
// deletion is remembered for saving (references then follow `redirect`).
bool dwgLayerRefs(DrawingData& d, std::uint32_t layerRecord, std::uint64_t h, std::uint64_t redirect, bool apply,
                  std::string* why);

// The drawing's edits as changes to the DWG's objects; throws EngineError
// (kFileError) when an edit cannot be written to a DWG.
dwg::Edits planDwgEdits(const DrawingData& d);
// Writes the drawing as DWG: the file as read when nothing changed.
void writeDwgDrawing(const DrawingData& d, dwg::Output& out);

// "ANSI_1252" for a DWG code page number ("" for none or unknown).
std::string codepageName(unsigned number);

}  // namespace dxf
