#pragma once
// Re-encoding the objects a layer edit changes: a LAYER record, the layer
// control object's entry list, and the header variables $HANDSEED and
// $CLAYER. Fields that do not change keep their original bits.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dwg/Document.h"

namespace dxf::dwg {

// A layer's settings as the LAYER object stores them.
struct LayerValues {
    std::string name;       // raw: code-page bytes before R2007, UTF-8 after; no trailing NUL
    unsigned flags = 0;     // 1 frozen, 2 off, 4 frozen in new viewports, 8 locked, 0x10 plottable, 0x3E0 lineweight
    int colorIndex = 7;     // 1..255
    std::int64_t trueColor = -1;  // 0xRRGGBB, or -1 for the index colour
    std::uint64_t linetype = 0;
    std::uint64_t plotStyle = 0;
    bool operator==(const LayerValues&) const = default;
};

// Throws BitOverrun when the object is not a readable LAYER.
LayerValues layerValues(const Document& d, const ObjectInfo& layer);

// The LAYER object `o` with the values v. With newHandle set, a new layer
// modelled on o: its own handle, owned by `owner`, without o's reactors,
// extension dictionary and extended data.
std::string encodeLayer(const Document& d, const ObjectInfo& o, const LayerValues& v, std::uint64_t newHandle = 0,
                        std::uint64_t owner = 0);

// A table control object listing `entries` (entries it listed before keep
// their bits; new ones are soft-owner references).
std::string encodeControl(const Document& d, const ObjectInfo& control, const std::vector<std::uint64_t>& entries);

// The header section (its framing included) with $HANDSEED and $CLAYER set.
std::string encodeHeader(const Document& d, std::uint64_t handseed, std::uint64_t clayer);

// The index of a DXF lineweight (hundredths of a mm; -1 by layer, -2 by
// block, -3 default) in the table layers and entities use; -1 when none.
int lineweightIndex(int value);

}  // namespace dxf::dwg
