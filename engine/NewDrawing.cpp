// A new, empty drawing: the smallest R2000 DXF that AutoCAD-compatible readers
// accept (layer 0, CONTINUOUS, Standard text style, model space and one
// paper-space layout), in CP932 with CR LF as AutoCAD writes it for Japanese
// users.
#include <string>
#include <utility>
#include <vector>

#include "engine/Drawing.h"

namespace dxf {

namespace {

std::string tagsText(const std::vector<std::pair<int, std::string>>& groups) {
    std::string out;
    for (const auto& [code, value] : groups) {
        std::string c = std::to_string(code);
        if (c.size() < 3) c = std::string(3 - c.size(), ' ') + c;
        out += c + "\r\n" + value + "\r\n";
    }
    return out;
}

std::string table(const std::string& name, const std::string& handle, const std::string& entries, int count) {
    return tagsText({{0, "TABLE"}, {2, name}, {5, handle}, {330, "0"}, {100, "AcDbSymbolTable"},
                     {70, std::to_string(count)}}) +
           entries + tagsText({{0, "ENDTAB"}});
}

std::string layout(const std::string& handle, const std::string& name, int order, const std::string& blockRecord) {
    return tagsText({{0, "LAYOUT"}, {5, handle}, {330, "1A"}, {100, "AcDbPlotSettings"}, {1, ""}, {4, ""}, {6, ""},
                     {40, "0.0"}, {41, "0.0"}, {42, "0.0"}, {43, "0.0"}, {44, "0.0"}, {45, "0.0"}, {46, "0.0"},
                     {47, "0.0"}, {48, "0.0"}, {49, "0.0"}, {140, "0.0"}, {141, "0.0"}, {142, "1.0"}, {143, "1.0"},
                     {70, "688"}, {72, "0"}, {73, "0"}, {74, "5"}, {7, ""}, {75, "16"}, {147, "1.0"}, {148, "0.0"},
                     {149, "0.0"}, {100, "AcDbLayout"}, {1, name}, {70, "1"}, {71, std::to_string(order)}, {10, "0.0"},
                     {20, "0.0"}, {11, "420.0"}, {21, "297.0"}, {12, "0.0"}, {22, "0.0"}, {32, "0.0"}, {14, "0.0"},
                     {24, "0.0"}, {34, "0.0"}, {15, "0.0"}, {25, "0.0"}, {35, "0.0"}, {146, "0.0"}, {13, "0.0"},
                     {23, "0.0"}, {33, "0.0"}, {16, "1.0"}, {26, "0.0"}, {36, "0.0"}, {17, "0.0"}, {27, "1.0"},
                     {37, "0.0"}, {76, "0"}, {330, blockRecord}});
}

std::string emptyDrawing() {
    std::string s;
    s += tagsText({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1015"}, {9, "$DWGCODEPAGE"}, {3, "ANSI_932"},
                   {9, "$INSBASE"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {9, "$EXTMIN"}, {10, "0.0"}, {20, "0.0"},
                   {30, "0.0"}, {9, "$EXTMAX"}, {10, "420.0"}, {20, "297.0"}, {30, "0.0"}, {9, "$CLAYER"}, {8, "0"},
                   {9, "$CELTYPE"}, {6, "ByLayer"}, {9, "$TEXTSTYLE"}, {7, "Standard"}, {9, "$HANDSEED"}, {5, "100"},
                   {9, "$PSTYLEMODE"}, {290, "1"}, {0, "ENDSEC"}});
    s += tagsText({{0, "SECTION"}, {2, "CLASSES"}, {0, "ENDSEC"}});
    s += tagsText({{0, "SECTION"}, {2, "TABLES"}});
    s += table("VPORT", "8",
               tagsText({{0, "VPORT"}, {5, "29"}, {330, "8"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbViewportTableRecord"},
                         {2, "*Active"}, {70, "0"}, {10, "0.0"}, {20, "0.0"}, {11, "1.0"}, {21, "1.0"}, {12, "210.0"},
                         {22, "148.5"}, {13, "0.0"}, {23, "0.0"}, {14, "10.0"}, {24, "10.0"}, {15, "10.0"}, {25, "10.0"},
                         {16, "0.0"}, {26, "0.0"}, {36, "1.0"}, {17, "0.0"}, {27, "0.0"}, {37, "0.0"}, {40, "297.0"},
                         {41, "1.5"}, {42, "50.0"}, {43, "0.0"}, {44, "0.0"}, {50, "0.0"}, {51, "0.0"}, {71, "0"},
                         {72, "1000"}, {73, "1"}, {74, "3"}, {75, "0"}, {76, "0"}, {77, "0"}, {78, "0"}}),
               1);
    s += table("LTYPE", "5",
               tagsText({{0, "LTYPE"}, {5, "14"}, {330, "5"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"},
                         {2, "ByBlock"}, {70, "0"}, {3, ""}, {72, "65"}, {73, "0"}, {40, "0.0"}, {0, "LTYPE"}, {5, "15"},
                         {330, "5"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"}, {2, "ByLayer"},
                         {70, "0"}, {3, ""}, {72, "65"}, {73, "0"}, {40, "0.0"}, {0, "LTYPE"}, {5, "16"}, {330, "5"},
                         {100, "AcDbSymbolTableRecord"}, {100, "AcDbLinetypeTableRecord"}, {2, "Continuous"}, {70, "0"},
                         {3, "Solid line"}, {72, "65"}, {73, "0"}, {40, "0.0"}}),
               3);
    s += table("LAYER", "2",
               tagsText({{0, "LAYER"}, {5, "10"}, {330, "2"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbLayerTableRecord"},
                         {2, "0"}, {70, "0"}, {62, "7"}, {6, "Continuous"}, {370, "-3"}, {390, "F"}}),
               1);
    s += table("STYLE", "3",
               tagsText({{0, "STYLE"}, {5, "11"}, {330, "3"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbTextStyleTableRecord"},
                         {2, "Standard"}, {70, "0"}, {40, "0.0"}, {41, "1.0"}, {50, "0.0"}, {71, "0"}, {42, "2.5"},
                         {3, "txt"}, {4, ""}}),
               1);
    s += table("VIEW", "6", "", 0);
    s += table("UCS", "7", "", 0);
    s += table("APPID", "9",
               tagsText({{0, "APPID"}, {5, "12"}, {330, "9"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbRegAppTableRecord"},
                         {2, "ACAD"}, {70, "0"}}),
               1);
    s += tagsText({{0, "TABLE"}, {2, "DIMSTYLE"}, {5, "A"}, {330, "0"}, {100, "AcDbSymbolTable"}, {70, "1"},
                   {100, "AcDbDimStyleTable"}, {0, "DIMSTYLE"}, {105, "27"}, {330, "A"}, {100, "AcDbSymbolTableRecord"},
                   {100, "AcDbDimStyleTableRecord"}, {2, "Standard"}, {70, "0"}, {0, "ENDTAB"}});
    s += table("BLOCK_RECORD", "1",
               tagsText({{0, "BLOCK_RECORD"}, {5, "1F"}, {330, "1"}, {100, "AcDbSymbolTableRecord"},
                         {100, "AcDbBlockTableRecord"}, {2, "*Model_Space"}, {340, "22"}, {0, "BLOCK_RECORD"}, {5, "1B"},
                         {330, "1"}, {100, "AcDbSymbolTableRecord"}, {100, "AcDbBlockTableRecord"}, {2, "*Paper_Space"},
                         {340, "1E"}}),
               2);
    s += tagsText({{0, "ENDSEC"}, {0, "SECTION"}, {2, "BLOCKS"}});
    s += tagsText({{0, "BLOCK"}, {5, "20"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                   {2, "*Model_Space"}, {70, "0"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"}, {3, "*Model_Space"}, {1, ""},
                   {0, "ENDBLK"}, {5, "21"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    s += tagsText({{0, "BLOCK"}, {5, "1C"}, {330, "1B"}, {100, "AcDbEntity"}, {67, "1"}, {8, "0"},
                   {100, "AcDbBlockBegin"}, {2, "*Paper_Space"}, {70, "0"}, {10, "0.0"}, {20, "0.0"}, {30, "0.0"},
                   {3, "*Paper_Space"}, {1, ""}, {0, "ENDBLK"}, {5, "1D"}, {330, "1B"}, {100, "AcDbEntity"}, {67, "1"},
                   {8, "0"}, {100, "AcDbBlockEnd"}});
    s += tagsText({{0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}, {0, "ENDSEC"}});
    s += tagsText({{0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}, {5, "C"}, {330, "0"}, {100, "AcDbDictionary"},
                   {281, "1"}, {3, "ACAD_GROUP"}, {350, "D"}, {3, "ACAD_LAYOUT"}, {350, "1A"}, {3, "ACAD_PLOTSTYLENAME"},
                   {350, "E"}, {0, "DICTIONARY"}, {5, "D"}, {330, "C"}, {100, "AcDbDictionary"}, {281, "1"},
                   {0, "DICTIONARY"}, {5, "1A"}, {330, "C"}, {100, "AcDbDictionary"}, {281, "1"}, {3, "Layout1"},
                   {350, "1E"}, {3, "Model"}, {350, "22"}, {0, "ACDBDICTIONARYWDFLT"}, {5, "E"}, {330, "C"},
                   {100, "AcDbDictionary"}, {281, "1"}, {3, "Normal"}, {350, "F"}, {100, "AcDbDictionaryWithDefault"},
                   {340, "F"}, {0, "ACDBPLACEHOLDER"}, {5, "F"}, {330, "E"}});
    s += layout("1E", "Layout1", 1, "1B");
    s += layout("22", "Model", 0, "1F");
    s += tagsText({{0, "ENDSEC"}, {0, "EOF"}});
    return s;
}

}  // namespace

std::unique_ptr<Drawing> Drawing::createNew(const std::string& path) { return fromBytes(emptyDrawing(), path); }

}  // namespace dxf
