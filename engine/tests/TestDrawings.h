#pragma once
// Small deterministic drawings for the engine's tests, and where the
// real-world corpus of the source tree lives.
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/Drawing.h"

namespace dxftest {

struct TestLayer {
    std::string name;
    int color = 7;
    int flags = 0;
    std::string linetype = "CONTINUOUS";
};

using Groups = std::vector<std::pair<int, std::string>>;

// Tags as ASCII DXF lines ("  8\nA\n").
std::string tags(const Groups& groups);
// One entity with a handle and a layer, followed by its own groups.
std::string entity(const std::string& type, const std::string& handle, const std::string& layer, const Groups& extra = {});

struct DrawingSpec {
    std::string acadver = "AC1015";
    std::string codepage = "ANSI_1252";
    std::vector<TestLayer> layers = {{"0"}, {"A"}, {"B"}, {"Defpoints"}};
    std::string clayer = "0";
    std::string blocks;    // BLOCK ... ENDBLK records (the layout blocks are added)
    std::string entities;  // records of the ENTITIES section
    std::string objects;   // records of the OBJECTS section, after the root dictionary
    std::string handseed = "1000";
    int pstylemode = 1;
};

// A complete drawing (R2000 style by default); LAYER handles are 10, 11, ...
std::string makeDrawing(const DrawingSpec& spec);
std::string withCrlf(const std::string& lf);

// A layer as the engine's interface shows it, with what it holds.
struct LayerRow {
    std::string name, linetype, plotStyle;
    bool on, frozen, locked, plottable;
    int color, lineweight;
    std::size_t objects, inserts, texts;
    bool operator==(const LayerRow&) const = default;
};
std::ostream& operator<<(std::ostream& os, const LayerRow& r);
std::vector<LayerRow> layerRows(dxf::Drawing& d);

std::string corpusDir();    // testdata/corpus of the source tree
std::string samplesDir();   // testdata/drawings of the source tree
std::string scratchDir();   // a fresh temporary folder
std::string readAll(const std::string& path);
void writeAll(const std::string& path, const std::string& bytes);

}  // namespace dxftest
