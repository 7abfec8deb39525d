#pragma once
// Decoders for the objects a drawing's structure rests on: table control
// objects, layers, linetypes, block records, dictionaries and layouts. They
// are read when the drawing opens (there are few of them); entities are not.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dwg/Document.h"

namespace dxf::dwg {

// A table record's name and flags (the start of every table record).
struct TableEntry {
    std::string name;  // raw: code-page bytes before R2007, UTF-8 after
    bool xrefDependent = false;
};

struct LayerData {
    TableEntry entry;
    unsigned flags = 0;        // DXF 70: 1 frozen, 4 frozen in new viewports, 8 locked (16/32/64 from the record)
    bool off = false;
    bool plottable = true;
    int lineweight = -3;       // DXF 370
    int colorIndex = 7;        // 1..255, always positive
    std::int64_t trueColor = -1;  // DXF 420, or -1
    std::uint64_t linetype = 0;
    std::uint64_t plotStyle = 0;
};

struct BlockHeaderData {
    TableEntry entry;
    bool anonymous = false, hasAttdefs = false, isXref = false, isOverlay = false;
    Vec3 base;
    std::string xrefPath;
    std::uint64_t blockEntity = 0, endblk = 0, layout = 0;
    std::uint64_t firstEntity = 0, lastEntity = 0;  // AC1012-AC1015
    std::vector<std::uint64_t> owned;               // AC1018+
};

struct LayoutData {
    // Plot settings, as DXF groups of AcDbPlotSettings.
    std::string pageSetup, printer, paper, styleSheet;  // 1, 2, 4, 7 (raw)
    unsigned plotFlags = 0, units = 0, rotation = 0, plotType = 0, scaleType = 0;  // 70, 72, 73, 74, 75
    double margins[4] = {0, 0, 0, 0};  // 40-43
    double paperWidth = 0, paperHeight = 0;  // 44, 45
    Vec3 origin, windowMin, windowMax;       // 46/47, 48/49, 140/141
    double realUnits = 1, drawingUnits = 1, scaleFactor = 1;  // 142, 143, 147
    // The layout.
    std::string name;  // raw
    int tabOrder = 0;
    unsigned flags = 0;
    Vec3 limitsMin, limitsMax;  // 10/20, 11/21
    std::uint64_t blockRecord = 0;
};

struct DictionaryData {
    std::vector<std::pair<std::string, std::uint64_t>> entries;  // raw key, value handle
    bool hardOwner = false;
};

// Each throws BitOverrun when the object does not hold what its type says.
TableEntry readTableEntry(const Document& d, const ObjectInfo& o, BitReader& data, BitReader& strings);
std::vector<std::uint64_t> readControlEntries(const Document& d, const ObjectInfo& o, std::vector<std::uint64_t>* extra);
LayerData readLayer(const Document& d, const ObjectInfo& o);
std::string readLtypeName(const Document& d, const ObjectInfo& o);
BlockHeaderData readBlockHeader(const Document& d, const ObjectInfo& o);
LayoutData readLayout(const Document& d, const ObjectInfo& o);
DictionaryData readDictionary(const Document& d, const ObjectInfo& o);
std::string readBlockName(const Document& d, const ObjectInfo& o);  // BLOCK entity

// Index colours: the RGB of one, and the one nearest to an RGB.
std::uint32_t aciRgb(int index);
int nearestAci(std::uint32_t rgb);

// DXF 370 value of a lineweight index (layer flags and entity common data).
int lineweightOf(unsigned index);

}  // namespace dxf::dwg
