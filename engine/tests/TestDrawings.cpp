#include "TestDrawings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dxftest {

std::string tags(const Groups& groups) {
    std::string out;
    for (const auto& [code, value] : groups) {
        std::string c = std::to_string(code);
        if (c.size() < 3) c = std::string(3 - c.size(), ' ') + c;
        out += c + "\n" + value + "\n";
    }
    return out;
}

std::string entity(const std::string& type, const std::string& handle, const std::string& layer, const Groups& extra) {
    Groups g = {{0, type}, {5, handle}, {330, "1F"}, {100, "AcDbEntity"}, {8, layer}};
    g.insert(g.end(), extra.begin(), extra.end());
    return tags(g);
}

std::string makeDrawing(const DrawingSpec& s) {
    std::string out;
    out += tags({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, s.acadver}, {9, "$DWGCODEPAGE"}, {3, s.codepage},
                 {9, "$CLAYER"}, {8, s.clayer}, {9, "$HANDSEED"}, {5, s.handseed}, {9, "$PSTYLEMODE"},
                 {290, std::to_string(s.pstylemode)}, {0, "ENDSEC"}});
    out += tags({{0, "SECTION"}, {2, "TABLES"}});
    out += tags({{0, "TABLE"}, {2, "LTYPE"}, {5, "5"}, {330, "0"}, {100, "AcDbSymbolTable"}, {70, "2"}});
    for (auto [h, n] : {std::pair{"14", "ByLayer"}, {"16", "CONTINUOUS"}, {"17", "DASHED"}})
        out += tags({{0, "LTYPE"}, {5, h}, {330, "5"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"},
                     {2, n}, {70, "0"}, {3, ""}, {72, "65"}, {73, "0"}, {40, "0.0"}});
    out += tags({{0, "ENDTAB"}});
    out += tags({{0, "TABLE"}, {2, "LAYER"}, {5, "2"}, {330, "0"}, {100, "AcDbSymbolTable"},
                 {70, std::to_string(s.layers.size())}});
    int h = 0x10;
    for (const TestLayer& l : s.layers) {
        std::ostringstream hex;
        hex << std::hex << std::uppercase << h++;
        out += tags({{0, "LAYER"}, {5, hex.str()}, {330, "2"}, {100, "AcDbSymbolTableRecord"},
                     {100, "AcDbLayerTableRecord"}, {2, l.name}, {70, std::to_string(l.flags)},
                     {62, std::to_string(l.color)}, {6, l.linetype}, {370, "-3"}, {390, "F"}});
    }
    out += tags({{0, "ENDTAB"}});
    out += tags({{0, "TABLE"}, {2, "BLOCK_RECORD"}, {5, "1"}, {330, "0"}, {100, "AcDbSymbolTable"}, {70, "2"},
                 {0, "BLOCK_RECORD"}, {5, "1F"}, {330, "1"}, {100, "AcDbSymbolTableRecord"},
                 {100, "AcDbBlockTableRecord"}, {2, "*Model_Space"}, {0, "BLOCK_RECORD"}, {5, "1B"}, {330, "1"},
                 {100, "AcDbSymbolTableRecord"}, {100, "AcDbBlockTableRecord"}, {2, "*Paper_Space"}, {0, "ENDTAB"},
                 {0, "ENDSEC"}});
    out += tags({{0, "SECTION"}, {2, "BLOCKS"}});
    out += tags({{0, "BLOCK"}, {5, "20"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                 {2, "*Model_Space"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "*Model_Space"}, {0, "ENDBLK"},
                 {5, "21"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    out += tags({{0, "BLOCK"}, {5, "1C"}, {330, "1B"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"},
                 {100, "AcDbBlockBegin"}, {2, "*Paper_Space"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"},
                 {3, "*Paper_Space"}, {0, "ENDBLK"}, {5, "1D"}, {330, "1B"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"},
                 {100, "AcDbBlockEnd"}});
    out += s.blocks;
    out += tags({{0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}});
    out += s.entities;
    out += tags({{0, "ENDSEC"}, {0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}, {5, "C"}, {330, "0"},
                 {100, "AcDbDictionary"}, {281, "1"}, {3, "ACAD_PLOTSTYLENAME"}, {350, "E"}, {0, "ACDBDICTIONARYWDFLT"},
                 {5, "E"}, {330, "C"}, {100, "AcDbDictionary"}, {281, "1"}, {3, "Normal"}, {350, "F"}, {3, "Thin"},
                 {350, "F1"}, {100, "AcDbDictionaryWithDefault"}, {340, "F"}, {0, "ACDBPLACEHOLDER"}, {5, "F"},
                 {330, "E"}, {0, "ACDBPLACEHOLDER"}, {5, "F1"}, {330, "E"}});
    out += s.objects;
    out += tags({{0, "ENDSEC"}, {0, "EOF"}});
    return out;
}

std::string withCrlf(const std::string& lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::ostream& operator<<(std::ostream& os, const LayerRow& r) {
    return os << r.name << " on=" << r.on << " frozen=" << r.frozen << " locked=" << r.locked << " plot=" << r.plottable
              << " color=" << r.color << " lt=" << r.linetype << " lw=" << r.lineweight << " ps=" << r.plotStyle
              << " objects=" << r.objects << "/" << r.inserts << "/" << r.texts;
}

std::vector<LayerRow> layerRows(dxf::Drawing& d) {
    std::vector<LayerRow> out;
    for (const dxf::Layer& l : d.layers()) {
        dxf::LayerUsage u = d.layerUsage(l);
        out.push_back(LayerRow{l.name(), l.linetype(), l.plotStyleName(), l.layerOn(), l.freeze(), l.lock(), l.plottable(),
                               l.color(), l.lineweight(), u.objects, u.blockReferences, u.texts});
    }
    return out;
}

std::string corpusDir() { return LAMINOR_CORPUS_DIR; }

std::string samplesDir() { return LAMINOR_SAMPLES_DIR; }

std::string scratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "dxfengine-test-XXXXXX").string();
    char* p = mkdtemp(tmpl.data());
    return p ? std::string(p) : std::string("/tmp");
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

}  // namespace dxftest
