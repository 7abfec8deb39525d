// References to layers in real drawings, and an independent reader's verdict
// on what the engine writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "TestDrawings.h"
#include "engine/Drawing.h"

namespace fs = std::filesystem;
using namespace dxftest;

namespace {

std::string corpus(const std::string& name) { return corpusDir() + "/" + name; }

bool haveEzdxf() {
    return std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0;
}

// Loads the file with ezdxf and prints "<audit errors> <layer names...>".
std::string ezdxfVerdict(const std::string& path) {
    std::string cmd =
        "/usr/bin/python3 - '" + path + "' 2>&1 <<'PY'\n"
        "import sys, ezdxf\n"
        "from ezdxf import recover\n"
        "doc, auditor = recover.readfile(sys.argv[1])\n"
        "bad = [e for e in doc.entitydb.values() if e.dxf.hasattr('layer') and e.dxf.layer not in doc.layers and e.dxftype() != 'VIEWPORT']\n"
        "print(len(auditor.errors), len(bad))\n"
        "PY";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        while (fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    return out;
}

}  // namespace

TEST(References, MergeDropsViewportFreezesOfTheOldLayer) {
    std::string path = corpus("ezdxf_viewport_frozen_layers.dxf");
    ASSERT_TRUE(fs::exists(path)) << path;
    auto d = dxf::Drawing::open(path);
    // find a layer frozen in some viewport (VIEWPORT 331 handles)
    std::string frozenHandle, frozenName;
    for (const dxf::Entity& e : d->paperSpace()) {
        if (e.type() != "VIEWPORT") continue;
        for (const auto& g : e.groups())
            if (g.code == 331) frozenHandle = g.value;
    }
    ASSERT_FALSE(frozenHandle.empty());
    dxf::Entity layerRecord = d->handleToObject(frozenHandle);
    for (const auto& g : layerRecord.groups())
        if (g.code == 2) frozenName = g.value;
    ASSERT_FALSE(frozenName.empty());
    d->mergeLayer(frozenName, "0");
    auto again = dxf::Drawing::fromBytes(d->serialize());
    EXPECT_FALSE(again->findLayer(frozenName).has_value());
    for (const dxf::Entity& e : again->paperSpace())
        for (const auto& g : e.groups())
            if (g.code == 331) EXPECT_NE(g.value, frozenHandle);
    EXPECT_FALSE(again->findHandle(frozenHandle).has_value());
}

TEST(References, DeletingALayerDropsItsLayerStateEntriesAndExtensionDictionary) {
    std::string path = corpus("acadsharp_sample_AC1018_ascii.dxf");
    ASSERT_TRUE(fs::exists(path)) << path;
    auto d = dxf::Drawing::open(path);
    std::size_t before = d->layerCount();
    std::size_t purged = d->purgeAll();
    EXPECT_GT(purged, 0u);
    EXPECT_EQ(d->layerCount(), before - purged);
    std::string out = d->serialize();
    auto again = dxf::Drawing::fromBytes(out);
    // No object refers by handle to a layer that is gone.
    for (const auto& e : again->selectAll({})) (void)e;
    EXPECT_EQ(again->layerCount(), before - purged);
}

TEST(References, R12ViewportFreezesInExtendedDataFollowRenamesAndDropMergedLayers) {
    DrawingSpec spec;
    spec.acadver = "AC1009";
    spec.entities = entity("VIEWPORT", "100", "0",
                           {{67, "1"}, {10, "0"}, {20, "0"}, {1001, "ACAD"}, {1000, "MVIEW"}, {1002, "{"}, {1003, "A"},
                            {1003, "B"}, {1002, "}"}});
    auto d = dxf::Drawing::fromBytes(makeDrawing(spec));
    d->layer("A").setName("A2");
    EXPECT_NE(d->serialize().find("1003\nA2\n1003\nB\n"), std::string::npos);
    // merged away: the viewport no longer lists it, and does not freeze the target
    d->mergeLayer("A2", "0");
    std::string out = d->serialize();
    EXPECT_NE(out.find("1002\n{\n1003\nB\n1002\n}"), std::string::npos);
    EXPECT_EQ(out.find("1003\n0\n"), std::string::npos);
}

TEST(IndependentReader, EzdxfAcceptsRenamedMergedAndEditedDrawings) {
    if (!haveEzdxf()) GTEST_SKIP() << "python3-ezdxf not installed";
    std::vector<std::string> files = {corpus("acadsharp_sample_AC1018_ascii.dxf"), corpus("ezdxf_viewport_frozen_layers.dxf"),
                                      corpus("libredwg_example_2018.dxf"), corpus("acadsharp_sample_AC1009_ascii.dxf"),
                                      corpus("acadsharp_sample_AC1032_binary.dxf"), samplesDir() + "/site-R12.dxf",
                                      samplesDir() + "/floor-plan.dxf"};
    std::string dir = scratchDir();
    int checked = 0;
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        ASSERT_TRUE(fs::exists(f));
        std::string baseline = ezdxfVerdict(f);
        auto d = dxf::Drawing::open(f);
        std::vector<std::string> names;
        for (const auto& l : d->layers()) names.push_back(l.name());
        int renamed = 0, merged = 0;
        for (const std::string& n : names) {
            if (n == "0" || n[0] == '*' || n.find('|') != std::string::npos || n == "Defpoints" || n == "DEFPOINTS") continue;
            auto l = d->findLayer(n);
            if (!l) continue;
            if (merged < 2) {
                d->mergeLayer(n, "0");
                ++merged;
            } else if (renamed < 3) {
                l->setName("R_" + n);
                l->setColor(3);
                l->setLock(true);
                ++renamed;
            }
        }
        d->addLayer("ADDED_BY_ENGINE").setLayerOn(false);
        d->purgeAll();
        std::string out = dir + "/" + fs::path(f).filename().string();
        d->saveAs(out);
        EXPECT_EQ(ezdxfVerdict(out), baseline);
        ++checked;
    }
    EXPECT_GT(checked, 0);
    fs::remove_all(dir);
}

TEST(References, MergeDropsTheOldLayersEntryFromLayerStates) {
    std::string path = corpus("acadsharp_sample_AC1018_ascii.dxf");
    ASSERT_TRUE(fs::exists(path)) << path;
    auto d = dxf::Drawing::open(path);
    // Layer_color_book (handle 286) has an entry in the layer state of a named view.
    ASSERT_EQ(d->handleToObject("286").groups().at(5).value, "Layer_color_book");
    d->mergeLayer("Layer_color_book", "Layer1");
    auto again = dxf::Drawing::fromBytes(d->serialize());
    EXPECT_FALSE(again->findLayer("Layer_color_book").has_value());
    dxf::Entity states = again->handleToObject("306");
    ASSERT_EQ(states.type(), "XRECORD");
    int entries = 0;
    for (const auto& g : states.groups()) {
        EXPECT_FALSE(g.code == 330 && g.value == "286");
        entries += g.code == 330;
    }
    EXPECT_GT(entries, 5);  // the other layers' entries stay
}

TEST(References, NewHandlesNeverRepeatOnesInUse) {
    // A seed below the handles already used would hand out duplicates.
    DrawingSpec spec;
    spec.handseed = "11";
    spec.entities = entity("LINE", "100", "A", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    auto d = dxf::Drawing::fromBytes(makeDrawing(spec));
    dxf::Layer n = d->addLayer("N");
    auto again = dxf::Drawing::fromBytes(d->serialize());
    EXPECT_EQ(again->handleToObject("100").type(), "LINE");
    EXPECT_EQ(again->handleToObject("101").type(), "LAYER");
    (void)n;
}
