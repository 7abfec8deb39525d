// Layer table: properties, refusals, add, rename, delete, merge, purge.
#include <gtest/gtest.h>

#include <functional>

#include "TestDrawings.h"
#include "engine/Drawing.h"

using namespace dxftest;

namespace {

std::unique_ptr<dxf::Drawing> sample(DrawingSpec spec = {}) {
    if (spec.entities.empty())
        spec.entities = entity("LINE", "100", "A", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) +
                        entity("TEXT", "101", "B", {{10, "0"}, {20, "0"}, {40, "1"}, {1, "hello"}}) +
                        entity("LINE", "102", "a", {{10, "0"}, {20, "0"}, {11, "2"}, {21, "2"}});
    return dxf::Drawing::fromBytes(makeDrawing(spec));
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const dxf::EngineError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(LayerTable, OrderLookupAndCount) {
    auto d = sample();
    ASSERT_EQ(d->layerCount(), 4u);
    EXPECT_EQ(d->layerAt(0).name(), "0");
    EXPECT_EQ(d->layerAt(3).name(), "Defpoints");
    EXPECT_EQ(d->layer("defPOINTS").name(), "Defpoints");
    EXPECT_FALSE(d->findLayer("missing").has_value());
    EXPECT_EQ(errorOf([&] { d->layer("missing"); }), dxf::err::kKeyNotFound);
    EXPECT_EQ(errorOf([&] { d->layerAt(4); }), dxf::err::kInvalidArgument);
}

TEST(LayerProperties, RoundTripThroughTheFile) {
    auto d = sample();
    dxf::Layer a = d->layer("A");
    a.setLayerOn(false);
    a.setFreeze(true);
    a.setLock(true);
    a.setColor(42);
    a.setLinetype("dashed");
    a.setLineweight(158);
    a.setPlottable(false);
    EXPECT_FALSE(a.layerOn());
    EXPECT_EQ(a.color(), 42);  // off keeps the colour, as a negative number in the file

    auto again = dxf::Drawing::fromBytes(d->serialize());
    dxf::Layer b = again->layer("A");
    EXPECT_FALSE(b.layerOn());
    EXPECT_TRUE(b.freeze());
    EXPECT_TRUE(b.lock());
    EXPECT_EQ(b.color(), 42);
    EXPECT_EQ(b.linetype(), "DASHED");
    EXPECT_EQ(b.lineweight(), 158);
    EXPECT_FALSE(b.plottable());
    b.setLayerOn(true);
    b.setFreeze(false);
    b.setLock(false);
    EXPECT_TRUE(b.layerOn());
    EXPECT_FALSE(b.freeze());
    EXPECT_FALSE(b.lock());
    EXPECT_EQ(b.color(), 42);
}

TEST(LayerProperties, Refusals) {
    DrawingSpec spec;
    spec.clayer = "B";
    auto d = sample(spec);
    dxf::Layer a = d->layer("A");
    EXPECT_EQ(errorOf([&] { a.setColor(0); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { a.setColor(256); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { a.setLinetype("NOSUCH"); }), dxf::err::kKeyNotFound);
    EXPECT_EQ(errorOf([&] { a.setLineweight(17); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { d->layer("B").setFreeze(true); }), dxf::err::kObjectInUse);
    // colour-dependent drawing: reports Color_n and refuses a name
    EXPECT_EQ(a.plotStyleName(), "Color_7");
    EXPECT_NE(errorOf([&] { a.setPlotStyleName("Normal"); }), 0);
    EXPECT_FALSE(d->dirty());
}

TEST(LayerProperties, NamedPlotStyles) {
    DrawingSpec spec;
    spec.pstylemode = 0;
    auto d = sample(spec);
    dxf::Layer a = d->layer("A");
    EXPECT_EQ(a.plotStyleName(), "Normal");
    a.setPlotStyleName("thin");
    EXPECT_EQ(a.plotStyleName(), "Thin");
    EXPECT_EQ(errorOf([&] { a.setPlotStyleName("Bold"); }), dxf::err::kKeyNotFound);
    EXPECT_EQ(dxf::Drawing::fromBytes(d->serialize())->layer("A").plotStyleName(), "Thin");
}

TEST(LayerAdd, NewRecordWithHandleFromSeed) {
    auto d = sample();
    EXPECT_EQ(d->addLayer("a").name(), "A");  // existing, ignoring case
    dxf::Layer n = d->addLayer("New Layer");
    EXPECT_EQ(d->layerCount(), 5u);
    EXPECT_EQ(n.color(), 7);
    EXPECT_EQ(n.linetype(), "CONTINUOUS");
    EXPECT_EQ(errorOf([&] { d->addLayer("bad|name"); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { d->addLayer(""); }), dxf::err::kInvalidInput);

    auto again = dxf::Drawing::fromBytes(d->serialize());
    ASSERT_TRUE(again->findLayer("New Layer").has_value());
    EXPECT_EQ(again->layerAt(4).name(), "New Layer");
    EXPECT_EQ(again->handleToObject("1000").objectName(), "AcDbLayerTableRecord");
    dxf::Layer second = again->addLayer("Second");
    EXPECT_TRUE(again->handleToObject("1001").type() == "LAYER");
    (void)second;
}

TEST(LayerRename, FollowsEveryNameReference) {
    DrawingSpec spec;
    spec.clayer = "a";
    spec.blocks = tags({{0, "BLOCK"}, {5, "30"}, {330, "31"}, {100, "AcDbEntity"}, {8, "A"}, {100, "AcDbBlockBegin"},
                        {2, "BLK"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "BLK"}}) +
                  entity("CIRCLE", "32", "A", {{10, "0"}, {20, "0"}, {40, "1"}}) +
                  tags({{0, "ENDBLK"}, {5, "33"}, {330, "31"}, {100, "AcDbEntity"}, {8, "A"}, {100, "AcDbBlockEnd"}});
    spec.entities = entity("LINE", "100", "A", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}, {1001, "APP"}, {1003, "a"}}) +
                    entity("INSERT", "101", "B", {{66, "1"}, {2, "BLK"}, {10, "0"}, {20, "0"}}) +
                    entity("ATTRIB", "102", "A", {{10, "0"}, {20, "0"}, {40, "1"}, {1, "v"}, {2, "TAG"}}) +
                    entity("SEQEND", "103", "B");
    spec.objects = tags({{0, "XRECORD"}, {5, "200"}, {330, "C"}, {100, "AcDbXrecord"}, {8, "A"}, {90, "1"}});
    auto d = sample(spec);
    d->layer("a").setName("WALL");
    EXPECT_EQ(d->activeLayer().name(), "WALL");
    auto again = dxf::Drawing::fromBytes(d->serialize());
    std::string out = again->serialize();
    EXPECT_EQ(again->activeLayer().name(), "WALL");
    EXPECT_EQ(again->handleToObject("100").layer(), "WALL");
    EXPECT_EQ(again->handleToObject("102").layer(), "WALL");
    EXPECT_EQ(again->handleToObject("32").layer(), "WALL");
    EXPECT_EQ(again->handleToObject("30").layer(), "WALL");
    EXPECT_NE(out.find("1003\nWALL\n"), std::string::npos);
    EXPECT_NE(out.find("  8\nWALL\n 90"), std::string::npos);
    EXPECT_EQ(out.find("\nA\n"), std::string::npos);
    EXPECT_EQ(again->selectAll({std::string("wall"), {}}).size(), 1u);
}

TEST(LayerRename, Refusals) {
    DrawingSpec spec;
    spec.layers = {{"0"}, {"A"}, {"B"}, {"Defpoints"}, {"SITE|C-TOPO", 7, 48}};
    auto d = sample(spec);
    EXPECT_EQ(errorOf([&] { d->layer("A").setName("b"); }), dxf::err::kDuplicateKey);
    EXPECT_EQ(errorOf([&] { d->layer("A").setName("x<y"); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { d->layer("A").setName(""); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { d->layer("0").setName("Zero"); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { d->layer("DEFPOINTS").setName("D"); }), dxf::err::kInvalidInput);
    EXPECT_EQ(errorOf([&] { d->layer("SITE|C-TOPO").setName("TOPO"); }), dxf::err::kInvalidInput);
    EXPECT_FALSE(d->dirty());
    d->layer("A").setName("a");  // a change of case only is a rename
    EXPECT_EQ(d->layerAt(1).name(), "a");
}

TEST(LayerDelete, RefusalsAndSuccess) {
    DrawingSpec spec;
    spec.layers = {{"0"}, {"A"}, {"B"}, {"Defpoints"}, {"EMPTY"}, {"CUR"}};
    spec.clayer = "CUR";
    spec.blocks = tags({{0, "BLOCK"}, {5, "30"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                        {2, "BLK"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "BLK"}}) +
                  entity("CIRCLE", "32", "B", {{10, "0"}, {20, "0"}, {40, "1"}}) +
                  tags({{0, "ENDBLK"}, {5, "33"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    spec.entities = entity("LINE", "100", "A", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    auto d = sample(spec);
    EXPECT_EQ(errorOf([&] { d->layer("0").remove(); }), dxf::err::kObjectInUse);
    EXPECT_EQ(errorOf([&] { d->layer("defpoints").remove(); }), dxf::err::kObjectInUse);
    EXPECT_EQ(errorOf([&] { d->layer("CUR").remove(); }), dxf::err::kObjectInUse);
    EXPECT_EQ(errorOf([&] { d->layer("A").remove(); }), dxf::err::kObjectInUse);
    EXPECT_EQ(errorOf([&] { d->layer("B").remove(); }), dxf::err::kObjectInUse);  // used inside a block only
    dxf::Layer empty = d->layer("EMPTY");
    empty.remove();
    EXPECT_TRUE(empty.isDeleted());
    EXPECT_EQ(d->layerCount(), 5u);
    auto again = dxf::Drawing::fromBytes(d->serialize());
    EXPECT_FALSE(again->findLayer("EMPTY").has_value());
    // a layer emptied by moving its objects can go
    d->handleToObject("100").setLayer("B");
    d->layer("A").remove();
    EXPECT_FALSE(d->findLayer("A").has_value());
}

TEST(LayerMerge, MovesExactlyTheObjectsOfTheOldLayerEverywhere) {
    DrawingSpec spec;
    spec.clayer = "A";
    spec.blocks = tags({{0, "BLOCK"}, {5, "30"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                        {2, "BLK"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "BLK"}}) +
                  entity("CIRCLE", "32", "A", {{10, "0"}, {20, "0"}, {40, "1"}}) +
                  entity("CIRCLE", "34", "0", {{10, "0"}, {20, "0"}, {40, "2"}}) +
                  tags({{0, "ENDBLK"}, {5, "33"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    spec.entities = entity("LINE", "100", "A", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) +
                    entity("LINE", "101", "B", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) +
                    entity("LINE", "104", "0", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) +
                    entity("POLYLINE", "105", "a", {{66, "1"}, {70, "0"}}) + entity("VERTEX", "106", "a", {{10, "1"}, {20, "1"}}) +
                    entity("SEQEND", "107", "a") +
                    entity("LINE", "108", "A", {{67, "1"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    auto d = sample(spec);
    d->mergeLayer("a", "B");
    EXPECT_FALSE(d->findLayer("A").has_value());
    EXPECT_EQ(d->activeLayer().name(), "B");
    auto again = dxf::Drawing::fromBytes(d->serialize());
    for (const char* h : {"100", "101", "32", "105", "106", "107", "108"}) EXPECT_EQ(again->handleToObject(h).layer(), "B") << h;
    for (const char* h : {"104", "34"}) EXPECT_EQ(again->handleToObject(h).layer(), "0") << h;
    EXPECT_EQ(again->selectAll({std::string("B"), {}}).size(), 4u);
    EXPECT_EQ(errorOf([&] { d->mergeLayer("0", "B"); }), dxf::err::kObjectInUse);
}

TEST(Purge, RemovesOnlyUnusedLayers) {
    DrawingSpec spec;
    spec.layers = {{"0"}, {"A"}, {"B"}, {"Defpoints"}, {"EMPTY1"}, {"EMPTY2"}, {"CUR"}, {"X|Y", 7, 48}, {"INBLOCK"}};
    spec.clayer = "CUR";
    spec.blocks = tags({{0, "BLOCK"}, {5, "30"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockBegin"},
                        {2, "BLK"}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {3, "BLK"}}) +
                  entity("CIRCLE", "32", "INBLOCK", {{10, "0"}, {20, "0"}, {40, "1"}}) +
                  tags({{0, "ENDBLK"}, {5, "33"}, {330, "31"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbBlockEnd"}});
    auto d = sample(spec);
    EXPECT_EQ(d->purgeAll(), 2u);
    std::vector<std::string> names;
    for (const auto& l : d->layers()) names.push_back(l.name());
    EXPECT_EQ(names, (std::vector<std::string>{"0", "A", "B", "Defpoints", "CUR", "X|Y", "INBLOCK"}));
    EXPECT_EQ(d->purgeAll(), 0u);
}

TEST(ActiveLayer, SetAndRefuseFrozen) {
    auto d = sample();
    EXPECT_EQ(d->activeLayer().name(), "0");
    d->setActiveLayer(d->layer("B"));
    EXPECT_EQ(dxf::Drawing::fromBytes(d->serialize())->activeLayer().name(), "B");
    d->layer("A").setFreeze(true);
    EXPECT_NE(errorOf([&] { d->setActiveLayer(d->layer("A")); }), 0);
}
