#pragma once
// Writing a DWG drawing back with edits. The file is rebuilt from the one it
// was read from: every section and object nobody changed keeps its bytes
// (R2004+ pages nobody changed are copied whole), and only the structures
// that describe where things lie are computed again: the object map, the
// section locators and second header (R2000), the page and section maps and
// the encrypted file header (R2004+), with their sizes, CRCs and checksums.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/dwg/Document.h"

namespace dxf::dwg {

// What changes, by object index (Document::objects()).
struct Edits {
    // Objects written with other bytes (size field through CRC).
    std::unordered_map<std::uint32_t, std::string> replaced;
    // Entities whose layer reference changes: (object index, layer handle),
    // ascending by index. Each is re-encoded while the file is written.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> relayer;
    // Objects left out, flagged by index (empty: none).
    std::vector<std::uint8_t> deleted;
    // New objects (size field through CRC) by handle, ascending.
    std::vector<std::pair<std::uint64_t, std::string>> added;
    // The new header variables section (framed), empty when unchanged.
    std::string header;
    // The new handle seed when it changed (it is also kept in other places).
    std::uint64_t handseed = 0;

    bool empty() const {
        return replaced.empty() && relayer.empty() && deleted.empty() && added.empty() && header.empty() && !handseed;
    }
    bool isDeleted(std::uint32_t i) const { return i < deleted.size() && deleted[i]; }
};

// Where the file goes. patch() rewrites bytes already written (the file
// header, whose fields are known last).
class Output {
public:
    virtual ~Output() = default;
    virtual void write(const char* p, std::size_t n) = 0;
    virtual void patch(std::uint64_t at, const char* p, std::size_t n) = 0;
};

// A drawing the writer cannot write back (an unexpected layout or a version
// it does not write).
struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes the drawing read into d with the edits. Versions: AC1015, AC1018,
// AC1024, AC1027, AC1032.
void writeDwg(const Document& d, const Edits& edits, Output& out);

// Whether writeDwg() writes this release.
bool writable(Release r);

// ---- shared by the container writers ----

// The objects as they will be written: edited, re-encoded or as they were.
class ObjectBytes {
public:
    ObjectBytes(const Document& d, const Edits& e);
    // Bytes the object takes (size field through CRC) once written.
    std::size_t size(std::uint32_t i) const;
    // Its bytes; valid until the next call.
    std::string_view bytes(std::uint32_t i);
    bool changed(std::uint32_t i) const;

private:
    std::uint64_t relayerTo(std::uint32_t i) const;  // 0: none
    const Document& d_;
    const Edits& e_;
    std::string scratch_;
};

// Object indices in the order they lie in the object stream.
std::vector<std::uint32_t> physicalOrder(const Document& d);

// The object map for objects at the given new offsets (by index; deleted
// ones left out) and the added objects at theirs.
std::string newObjectMap(const Document& d, const Edits& e, const std::vector<std::uint64_t>& offsets,
                         const std::vector<std::uint64_t>& addedOffsets);

// The AuxHeader with its copy of the handle seed replaced (when it holds one).
std::string auxWithSeed(const Document& d, const SectionBytes& aux, std::uint64_t seed);

void writeR2000(const Document& d, const Edits& e, Output& out);
void writeR2004(const Document& d, const Edits& e, Output& out);

}  // namespace dxf::dwg
