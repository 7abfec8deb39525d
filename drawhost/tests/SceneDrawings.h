#pragma once
// Small drawings made for one drawing feature each: an R2000 header, the
// linetypes, layers and blocks a test asks for, and its objects.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/Drawing.h"

namespace scenetest {

using Groups = std::vector<std::pair<int, std::string>>;

inline std::string tags(const Groups& groups) {
    std::string out;
    for (const auto& [code, value] : groups) out += std::to_string(code) + "\n" + value + "\n";
    return out;
}

// An object of the given type on a layer, with its groups.
inline std::string object(const std::string& type, const Groups& groups, const std::string& layer = "0") {
    Groups g = {{0, type}, {8, layer}};
    g.insert(g.end(), groups.begin(), groups.end());
    return tags(g);
}

struct TestLayer {
    std::string name;
    int color = 7;
    std::string linetype = "CONTINUOUS";
    int lineweight = -3;
    long trueColor = -1;
};

struct Spec {
    std::string ltscale = "1";
    std::vector<std::pair<std::string, std::vector<double>>> linetypes;
    std::vector<TestLayer> layers;
    std::string blocks;    // made with block()
    std::string entities;  // made with object()
    std::string objects;   // the OBJECTS section's, made with object()
    std::vector<std::pair<std::string, std::string>> blockRecords;  // name, handle
};

inline std::string block(const std::string& name, double x, double y, const std::string& objects) {
    return tags({{0, "BLOCK"}, {8, "0"}, {2, name}, {70, "0"}, {10, std::to_string(x)}, {20, std::to_string(y)}, {3, name}}) +
           objects + tags({{0, "ENDBLK"}, {8, "0"}});
}

inline std::unique_ptr<dxf::Drawing> drawing(const Spec& s) {
    std::string out = tags({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1015"}, {9, "$DWGCODEPAGE"},
                            {3, "ANSI_932"}, {9, "$CLAYER"}, {8, "0"}, {9, "$LTSCALE"}, {40, s.ltscale}, {0, "ENDSEC"}});
    out += tags({{0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, "LTYPE"}, {70, std::to_string(s.linetypes.size() + 1)}});
    out += tags({{0, "LTYPE"}, {2, "CONTINUOUS"}, {70, "0"}, {3, "Solid"}, {72, "65"}, {73, "0"}, {40, "0"}});
    for (const auto& [name, pattern] : s.linetypes) {
        double total = 0;
        for (double v : pattern) total += v < 0 ? -v : v;
        Groups g = {{0, "LTYPE"}, {2, name}, {70, "0"}, {3, name}, {72, "65"}, {73, std::to_string(pattern.size())},
                    {40, std::to_string(total)}};
        for (double v : pattern) g.emplace_back(49, std::to_string(v)), g.emplace_back(74, "0");
        out += tags(g);
    }
    out += tags({{0, "ENDTAB"}});
    std::vector<TestLayer> layers = s.layers;
    layers.insert(layers.begin(), TestLayer{"0"});
    out += tags({{0, "TABLE"}, {2, "LAYER"}, {70, std::to_string(layers.size())}});
    int handle = 0x100;
    for (const TestLayer& l : layers) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", handle++);
        Groups g = {{0, "LAYER"}, {5, hex}, {2, l.name}, {70, "0"}, {62, std::to_string(l.color)}, {6, l.linetype},
                    {370, std::to_string(l.lineweight)}};
        if (l.trueColor >= 0) g.emplace_back(420, std::to_string(l.trueColor));
        out += tags(g);
    }
    if (!s.blockRecords.empty()) {
        out += tags({{0, "ENDTAB"}, {0, "TABLE"}, {2, "BLOCK_RECORD"}, {70, std::to_string(s.blockRecords.size())}});
        for (const auto& [name, handle] : s.blockRecords) out += tags({{0, "BLOCK_RECORD"}, {5, handle}, {2, name}});
    }
    out += tags({{0, "ENDTAB"}, {0, "TABLE"}, {2, "STYLE"}, {70, "1"}, {0, "STYLE"}, {2, "Standard"}, {70, "0"},
                 {40, "0"}, {41, "1"}, {3, "txt"}, {0, "ENDTAB"}, {0, "ENDSEC"}});
    out += tags({{0, "SECTION"}, {2, "BLOCKS"}}) + s.blocks + tags({{0, "ENDSEC"}});
    out += tags({{0, "SECTION"}, {2, "ENTITIES"}}) + s.entities + tags({{0, "ENDSEC"}});
    if (!s.objects.empty()) out += tags({{0, "SECTION"}, {2, "OBJECTS"}}) + s.objects + tags({{0, "ENDSEC"}});
    out += tags({{0, "EOF"}});
    return dxf::Drawing::fromBytes(out, "test.dxf");
}

}  // namespace scenetest
