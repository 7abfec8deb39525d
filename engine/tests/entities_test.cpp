// Objects: class names, texts, extents, block references, selection.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestDrawings.h"
#include "engine/Drawing.h"

using namespace dxftest;

namespace {

std::unique_ptr<dxf::Drawing> sample() {
    DrawingSpec spec;
    spec.layers = {{"0"}, {"A"}, {"B"}, {"Defpoints"}, {"[x]*?"}};
    spec.blocks = tags({{0, "BLOCK"}, {5, "30"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                        {2, "Door"}, {70, "2"}, {10, "1"}, {20, "1"}, {30, "0"}, {3, "Door"}}) +
                  entity("LINE", "32", "A", {{10, "1"}, {20, "1"}, {11, "3"}, {21, "2"}}) +
                  tags({{0, "ENDBLK"}, {5, "33"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    spec.entities =
        entity("LINE", "100", "A", {{100, "AcDbLine"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "5"}}) +
        entity("CIRCLE", "101", "B", {{10, "5"}, {20, "5"}, {40, "2"}}) +
        entity("ARC", "102", "B", {{10, "0"}, {20, "0"}, {40, "1"}, {50, "0"}, {51, "90"}}) +
        entity("TEXT", "103", "a", {{10, "1"}, {20, "2"}, {40, "2.5"}, {1, "Hello"}}) +
        entity("MTEXT", "104", "A", {{10, "0"}, {20, "0"}, {40, "1"}, {3, "first part "}, {1, "second"}}) +
        entity("INSERT", "105", "B", {{66, "1"}, {2, "door"}, {10, "10"}, {20, "10"}, {41, "2"}, {42, "2"}}) +
        entity("ATTRIB", "106", "A", {{10, "0"}, {20, "0"}, {40, "1"}, {1, "D-1"}, {2, "TAG"}}) +
        entity("SEQEND", "107", "B") +
        entity("LWPOLYLINE", "108", "[x]*?", {{90, "2"}, {10, "-1"}, {20, "-2"}, {10, "4"}, {20, "3"}}) +
        entity("DIMENSION", "109", "B", {{70, "33"}, {10, "0"}, {20, "0"}}) +
        entity("LINE", "10A", "A", {{67, "1"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) +
        entity("WIPEOUT", "10B", "A", {{100, "AcDbWipeout"}, {10, "0"}, {20, "0"}});
    return dxf::Drawing::fromBytes(makeDrawing(spec));
}

}  // namespace

TEST(Objects, ClassNamesAsTheHostReportsThem) {
    auto d = sample();
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"100", "AcDbLine"}, {"101", "AcDbCircle"}, {"102", "AcDbArc"}, {"103", "AcDbText"},
        {"104", "AcDbMText"}, {"105", "AcDbBlockReference"}, {"106", "AcDbAttribute"}, {"108", "AcDbPolyline"},
        {"109", "AcDbAlignedDimension"}, {"10B", "AcDbWipeout"}, {"10", "AcDbLayerTableRecord"}};
    for (auto [h, n] : expected) EXPECT_EQ(d->handleToObject(h).objectName(), n) << h;
    EXPECT_EQ(d->handleToObject("10a").handle(), "10A");
    EXPECT_THROW(d->handleToObject("FFFF"), dxf::EngineError);
    EXPECT_THROW(d->handleToObject("zz"), dxf::EngineError);
}

TEST(Objects, TextStrings) {
    auto d = sample();
    EXPECT_EQ(d->handleToObject("103").textString(), "Hello");
    EXPECT_EQ(d->handleToObject("104").textString(), "first part second");
    EXPECT_EQ(d->handleToObject("106").textString(), "D-1");
    EXPECT_THROW(d->handleToObject("100").textString(), dxf::EngineError);
    std::string longText(600, 'x');
    d->handleToObject("104").setTextString(longText);
    d->handleToObject("103").setTextString("Bye");
    auto again = dxf::Drawing::fromBytes(d->serialize());
    EXPECT_EQ(again->handleToObject("104").textString(), longText);
    EXPECT_EQ(again->handleToObject("103").textString(), "Bye");
}

TEST(Objects, BoundingBoxes) {
    auto d = sample();
    auto box = [&](const char* h) { return d->handleToObject(h).boundingBox(); };
    dxf::BoundingBox l = box("100");
    EXPECT_DOUBLE_EQ(l.min.x, 0);
    EXPECT_DOUBLE_EQ(l.max.x, 10);
    EXPECT_DOUBLE_EQ(l.max.y, 5);
    dxf::BoundingBox c = box("101");
    EXPECT_DOUBLE_EQ(c.min.x, 3);
    EXPECT_DOUBLE_EQ(c.max.y, 7);
    dxf::BoundingBox a = box("102");  // quarter arc 0..90 degrees
    EXPECT_NEAR(a.min.x, 0, 1e-9);
    EXPECT_NEAR(a.max.x, 1, 1e-9);
    EXPECT_NEAR(a.max.y, 1, 1e-9);
    dxf::BoundingBox p = box("108");
    EXPECT_DOUBLE_EQ(p.min.y, -2);
    EXPECT_DOUBLE_EQ(p.max.x, 4);
    // block Door spans (1,1)-(3,2) around base (1,1); inserted at (10,10) scaled 2
    dxf::BoundingBox i = box("105");
    EXPECT_DOUBLE_EQ(i.min.x, 10);
    EXPECT_DOUBLE_EQ(i.max.x, 14);
    EXPECT_DOUBLE_EQ(i.max.y, 12);
    dxf::BoundingBox t = box("103");
    EXPECT_DOUBLE_EQ(t.min.x, 1);
    EXPECT_GT(t.max.x, 1);
    EXPECT_DOUBLE_EQ(t.max.y, 4.5);
}

TEST(Objects, BlockReferencesAndAttributes) {
    auto d = sample();
    dxf::Entity ins = d->handleToObject("105");
    EXPECT_EQ(ins.blockName(), "door");
    EXPECT_TRUE(ins.hasAttributes());
    auto attrs = ins.attributes();
    ASSERT_EQ(attrs.size(), 1u);
    EXPECT_EQ(attrs[0].layer(), "A");
    attrs[0].setLayer("B");
    EXPECT_EQ(d->handleToObject("106").layer(), "B");
    EXPECT_THROW(d->handleToObject("100").blockName(), dxf::EngineError);
    dxf::Block b = d->block("DOOR");
    EXPECT_EQ(b.name(), "Door");
    ASSERT_EQ(b.entities().size(), 1u);
    EXPECT_EQ(b.entities()[0].handle(), "32");
    EXPECT_THROW(d->block("nosuch"), dxf::EngineError);
}

TEST(Objects, SetLayerNeedsAnExistingLayer) {
    auto d = sample();
    dxf::Entity e = d->handleToObject("100");
    EXPECT_THROW(e.setLayer("NOSUCH"), dxf::EngineError);
    e.setLayer("b");
    EXPECT_EQ(e.layer(), "B");  // the layer's own spelling
    EXPECT_THROW(d->handleToObject("10").setLayer("B"), dxf::EngineError);
}

TEST(Selection, FiltersOnLayerAndTypeOverModelAndPaperSpace) {
    auto d = sample();
    auto handles = [](const std::vector<dxf::Entity>& es) {
        std::vector<std::string> out;
        for (const auto& e : es) out.push_back(e.handle());
        return out;
    };
    EXPECT_EQ(handles(d->selectAll({std::string("a"), {}})),
              (std::vector<std::string>{"100", "103", "104", "10A", "10B"}));
    // no wildcards: the brackets and stars are part of the name
    EXPECT_EQ(handles(d->selectAll({std::string("[x]*?"), {}})), (std::vector<std::string>{"108"}));
    EXPECT_TRUE(d->selectAll({std::string("[x]"), {}}).empty());
    EXPECT_EQ(handles(d->selectAll({{}, std::string("text")})), (std::vector<std::string>{"103"}));
    EXPECT_EQ(handles(d->selectAll({std::string("A"), std::string("LINE")})), (std::vector<std::string>{"100", "10A"}));
    EXPECT_EQ(d->selectAll({}).size(), 10u);  // block contents and attributes are not top-level
    EXPECT_EQ(d->modelSpace().size(), 9u);
    EXPECT_EQ(d->paperSpace().size(), 1u);
    // moving objects updates the index
    d->handleToObject("101").setLayer("A");
    EXPECT_EQ(handles(d->selectAll({std::string("A"), {}})),
              (std::vector<std::string>{"100", "101", "103", "104", "10A", "10B"}));
    EXPECT_EQ(handles(d->selectAll({std::string("B"), {}})), (std::vector<std::string>{"102", "105", "109"}));
    dxf::LayerUsage u = d->layerUsage(d->layer("B"));
    EXPECT_EQ(u.objects, 3u);
    EXPECT_EQ(u.blockReferences, 1u);
}

TEST(Selection, NamedSets) {
    auto d = sample();
    d->addSelectionSet("SSetDummy");
    EXPECT_THROW(d->addSelectionSet("ssetdummy"), dxf::EngineError);
    EXPECT_EQ(d->selectionSets().size(), 1u);
}

TEST(Collections, LayoutsAndLinetypes) {
    auto d = sample();
    EXPECT_EQ(d->linetypes(), (std::vector<std::string>{"ByLayer", "CONTINUOUS", "DASHED"}));
    std::string path = corpusDir() + "/acadsharp_sample_AC1018_ascii.dxf";
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    auto real = dxf::Drawing::open(path);
    auto layouts = real->layouts();
    ASSERT_GE(layouts.size(), 2u);
    EXPECT_EQ(layouts.front(), "Model");
}

TEST(Objects, BoundingBoxOfSelfReferencingBlocksEnds) {
    // A block that inserts itself ten times: extents must not explode.
    DrawingSpec spec;
    std::string body;
    for (int i = 0; i < 10; ++i)
        body += entity("INSERT", std::to_string(40 + i), "0", {{2, "LOOP"}, {10, std::to_string(i)}, {20, "0"}});
    spec.blocks = tags({{0, "BLOCK"}, {5, "30"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                        {2, "LOOP"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "LOOP"}}) +
                  entity("LINE", "32", "A", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) + body +
                  tags({{0, "ENDBLK"}, {5, "33"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    spec.entities = entity("INSERT", "100", "A", {{2, "LOOP"}, {10, "5"}, {20, "5"}});
    auto d = dxf::Drawing::fromBytes(makeDrawing(spec));
    dxf::BoundingBox b = d->handleToObject("100").boundingBox();
    EXPECT_DOUBLE_EQ(b.min.x, 5);
    EXPECT_GE(b.max.x, 6);
}
