// Saving DWG: unchanged drawings come back byte for byte; every layer edit
// reads back through a fresh reader with every CRC and checksum good and
// the layer table the edits made; objects the edits did not touch keep their
// bytes; a DWG and its DXF twin end the same after the same job; random edit
// sequences always give a readable drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "TestDrawings.h"
#include "engine/DrawingData.h"
#include "engine/DwgSource.h"
#include "engine/dwg/Compress.h"
#include "engine/dwg/Container.h"
#include "engine/dwg/ObjectCodec.h"
#include "engine/dwg/ObjectMap.h"

namespace fs = std::filesystem;
using namespace dxftest;

namespace {

std::string corpus(const std::string& name) { return corpusDir() + "/" + name; }

std::vector<std::string> writableDwgs() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(corpusDir())) {
        if (e.path().extension() != ".dwg") continue;
        const std::string head = readAll(e.path().string()).substr(0, 6);
        if (head == "AC1015" || head == "AC1018" || head == "AC1024" || head == "AC1027" || head == "AC1032")
            out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::unique_ptr<dxf::Drawing> reopen(const dxf::Drawing& d) { return dxf::Drawing::fromBytes(d.serialize(), "saved.dwg"); }

// Layers an edit may touch: not 0, Defpoints, xref layers or the current one.
std::vector<std::string> editable(dxf::Drawing& d) {
    std::vector<std::string> out;
    const std::string current = d.activeLayer().name();
    for (const dxf::Layer& l : d.layers())
        if (l.name() != "0" && !dxf::equalsNoCase(l.name(), "Defpoints") && !l.isXrefDependent() && l.name() != current)
            out.push_back(l.name());
    return out;
}

// The job every check runs: rename, merge, every state, add, move, delete,
// current layer and purge, on whatever layers the drawing has.
void job(dxf::Drawing& d, bool unicodeNames, const std::string& moveHandle = {}) {
    std::vector<std::string> names = editable(d);
    if (names.size() < 2) {
        // Layers of the job's own, each holding an object.
        d.addLayer("Job A");
        d.addLayer("Job B");
        std::vector<dxf::Entity> all = d.selectAll({});
        ASSERT_GE(all.size(), 2u);
        all.front().setLayer("Job A");
        all.back().setLayer("Job B");
        names = editable(d);
    }
    std::string from = names[0];
    for (const std::string& n : names)
        if (d.layerUsage(d.layer(n)).objects) {
            from = n;
            break;
        }
    std::string into = names[0] == from ? names[1] : names[0];
    d.mergeLayer(from, into);
    names = editable(d);
    const std::string old = names.back() != into ? names.back() : names.front();
    const std::string renamed = unicodeNames ? "通り芯 改" : "Renamed layer";
    d.layer(old).setName(renamed);
    if (old == into) into = renamed;
    dxf::Layer a = d.layer(into);
    a.setLayerOn(!a.layerOn());
    a.setColor(a.color() == 3 ? 4 : 3);
    a.setLineweight(50);
    a.setPlottable(!a.plottable());
    const std::vector<std::string> lts = d.linetypes();
    if (!lts.empty()) a.setLinetype(lts.back());
    dxf::Layer b = d.layer(renamed);
    b.setLock(!b.lock());
    b.setFreeze(!b.freeze());
    dxf::Layer added = d.addLayer(unicodeNames ? "新しい画層" : "Added");
    d.addLayer("Unused");
    std::vector<dxf::Entity> all = d.selectAll({});
    if (!moveHandle.empty()) d.handleToObject(moveHandle).setLayer(added.name());
    else if (!all.empty()) all.front().setLayer(added.name());
    d.setActiveLayer(added);
    d.layer("Unused").remove();
    d.purgeAll();
}

struct ObjectBytes {
    std::string layer;
    std::string raw;
};

// Raw bytes and layer (by name) of every object of a DWG, by handle.
std::map<std::uint64_t, ObjectBytes> objectsOf(const std::string& bytes) {
    std::map<std::uint64_t, ObjectBytes> out;
    auto d = dxf::Drawing::fromBytes(bytes, "x.dwg");
    const dxf::DwgSource& src = *d->data().dwg;
    for (const dxf::dwg::ObjectInfo& o : src.doc->objects())
        out[o.handle] = ObjectBytes{src.nameOf(o.layer), dxf::dwg::rawObject(*src.doc, o)};
    return out;
}

}  // namespace

TEST(DwgWrite, UnchangedAndUndoneEditsSaveByteForByte) {
    const std::string dir = scratchDir();
    for (const auto& e : fs::directory_iterator(corpusDir())) {
        if (e.path().extension() != ".dwg") continue;
        SCOPED_TRACE(e.path().filename().string());
        std::unique_ptr<dxf::Drawing> d;
        try {
            d = dxf::Drawing::open(e.path().string());
        } catch (const dxf::EngineError&) {
            continue;  // versions not read
        }
        const std::string original = readAll(e.path().string());
        d->saveAs(dir + "/same.dwg");
        EXPECT_EQ(readAll(dir + "/same.dwg"), original);
        if (d->version() < "AC1015" || d->version() == "AC1021") continue;  // not saved with changes
        // Rename there and back, move an object away and back: nothing to write.
        const std::vector<std::string> names = editable(*d);
        if (!names.empty()) {
            d->layer(names.front()).setName("Elsewhere");
            d->layer("Elsewhere").setName(names.front());
        }
        std::vector<dxf::Entity> all = d->selectAll({});
        const std::string from = all.front().layer();
        all.front().setLayer(d->layerAt(d->layerCount() - 1).name());
        all.front().setLayer(from);
        EXPECT_TRUE(d->dirty());
        EXPECT_EQ(d->serialize(), original);
    }
    fs::remove_all(dir);
}

TEST(DwgWrite, EveryEditReadsBackAndUntouchedObjectsKeepTheirBytes) {
    for (const std::string& name : writableDwgs()) {
        SCOPED_TRACE(name);
        const std::string original = readAll(corpus(name));
        auto d = dxf::Drawing::fromBytes(original, name);
        // References to layers that will go (redirected by the merge).
        std::set<std::uint32_t> referring;
        const dxf::DwgSource& src = *d->data().dwg;
        for (const dxf::Layer& l : d->layers())
            for (const auto& ref : src.refsTo(d->data().records[d->data().layers[l.id()].record].handle))
                referring.insert(ref.object);
        job(*d, d->version() >= "AC1021");
        const std::vector<LayerRow> expected = layerRows(*d);
        const std::string bytes = d->serialize();
        auto back = dxf::Drawing::fromBytes(bytes, name);  // every CRC and checksum is checked here
        EXPECT_EQ(layerRows(*back), expected);
        EXPECT_EQ(back->activeLayer().name(), d->activeLayer().name());
        EXPECT_EQ(back->layouts(), d->layouts());
        // Saving what was saved changes nothing.
        EXPECT_EQ(back->serialize(), bytes);

        const auto before = objectsOf(original), after = objectsOf(bytes);
        std::set<std::uint64_t> mayDiffer;
        for (const auto& o : src.doc->objects())
            if (o.type == dxf::dwg::type::Layer || o.type == dxf::dwg::type::LayerControl) mayDiffer.insert(o.handle);
        for (std::uint32_t i : referring) mayDiffer.insert(src.doc->objects()[i].handle);
        std::size_t same = 0;
        for (const auto& [handle, now] : after) {
            auto was = before.find(handle);
            if (was == before.end() || mayDiffer.count(handle)) continue;
            if (now.layer != was->second.layer) continue;  // moved: its layer reference changed
            EXPECT_EQ(now.raw, was->second.raw) << std::hex << handle;
            ++same;
        }
        EXPECT_GT(same, before.size() / 2);
    }
}

TEST(DwgWrite, TheSameJobOnADwgAndOnItsDxfTwinEndsTheSame) {
    const std::pair<const char*, const char*> pairs[] = {
        {"acadsharp_sample_AC1015.dwg", "acadsharp_sample_AC1015_ascii.dxf"},
        {"acadsharp_sample_AC1018.dwg", "acadsharp_sample_AC1018_ascii.dxf"},
        {"acadsharp_sample_AC1024.dwg", "acadsharp_sample_AC1024_ascii.dxf"},
        {"acadsharp_sample_AC1027.dwg", "acadsharp_sample_AC1027_ascii.dxf"},
        {"acadsharp_sample_AC1032.dwg", "acadsharp_sample_AC1032_ascii.dxf"},
        {"libredwg_2000_PolyLine2D.dwg", "libredwg_2000_PolyLine2D.dxf"},
        {"libredwg_2010_gh209_1.dwg", "libredwg_2010_gh209_1.dxf"},
        {"libredwg_example_2004.dwg", "libredwg_example_2004.dxf"},
        {"libredwg_example_2018.dwg", "libredwg_example_2018.dxf"},
        {"libredwg_2013_gh109_1.dwg", "libredwg_2013_gh109_1.dxf"},
    };
    for (const auto& [dwgName, dxfName] : pairs) {
        SCOPED_TRACE(dwgName);
        auto w = dxf::Drawing::open(corpus(dwgName));
        auto x = dxf::Drawing::open(corpus(dxfName));
        // An object both hold: the first of the DXF's.
        const std::string handle = x->selectAll({}).front().handle();
        ASSERT_TRUE(w->findHandle(handle).has_value());
        job(*w, false, handle);
        job(*x, false, handle);
        auto ws = reopen(*w);
        auto xs = dxf::Drawing::fromBytes(x->serialize(), dxfName);
        EXPECT_EQ(layerRows(*ws), layerRows(*xs));
        EXPECT_EQ(ws->activeLayer().name(), xs->activeLayer().name());
    }
}

TEST(DwgWrite, RandomEditSequencesAlwaysReadBack) {
    std::mt19937 rng(20261208);
    const char* const names[] = {"A-WALL", "壁", "Ünïcode", "x", "TMP_1", "layer with spaces", "ﾊﾝｶｸ", "表ソ能"};
    for (const std::string& file : writableDwgs()) {
        SCOPED_TRACE(file);
        std::string bytes = readAll(corpus(file));
        for (int generation = 0; generation < 3; ++generation) {
            auto d = dxf::Drawing::fromBytes(bytes, file);
            for (int step = 0; step < 12; ++step) {
                std::vector<dxf::Layer> layers = d->layers();
                dxf::Layer l = layers[rng() % layers.size()];
                dxf::Layer m = layers[rng() % layers.size()];
                const std::string fresh = std::string(names[rng() % 8]) + std::to_string(rng() % 5);
                try {
                    switch (rng() % 10) {
                    case 0: l.setName(fresh); break;
                    case 1: d->mergeLayer(l.name(), m.name()); break;
                    case 2: l.setLayerOn(rng() % 2); break;
                    case 3: l.setFreeze(rng() % 2); break;
                    case 4: l.setColor(static_cast<int>(1 + rng() % 255)); break;
                    case 5: d->addLayer(fresh); break;
                    case 6: l.remove(); break;
                    case 7: d->setActiveLayer(l); break;
                    case 8: {
                        std::vector<dxf::Entity> all = d->selectAll({});
                        if (!all.empty()) all[rng() % all.size()].setLayer(m.name());
                        break;
                    }
                    default: d->purgeAll(); break;
                    }
                } catch (const dxf::EngineError& e) {
                    EXPECT_NE(e.number(), dxf::err::kFileError) << e.what();  // refusals, never damage
                }
            }
            const std::vector<LayerRow> expected = layerRows(*d);
            bytes = d->serialize();
            auto back = dxf::Drawing::fromBytes(bytes, file);
            ASSERT_EQ(layerRows(*back), expected) << "generation " << generation;
            EXPECT_EQ(back->activeLayer().name(), d->activeLayer().name());
        }
    }
}

TEST(DwgWrite, RefusedSavesLeaveTheFileAsItWas) {
    const std::string dir = scratchDir();
    // R14 and R2007 are read, not saved with changes; a text is not changed in a DWG.
    for (const char* version : {"AC1014", "AC1021"}) {
        SCOPED_TRACE(version);
        const std::string path = dir + "/" + version + ".dwg";
        const std::string original = readAll(corpus(std::string("acadsharp_sample_") + version + ".dwg"));
        writeAll(path, original);
        auto d = dxf::Drawing::open(path);
        EXPECT_NO_THROW(d->save());
        d->layer("Layer1").setName("Renamed");
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                attempt == 0 ? d->save() : d->saveAs(dir + "/other.dwg");
                ADD_FAILURE() << "a drawing of a version not written was saved with changes";
            } catch (const dxf::EngineError& e) {
                EXPECT_EQ(e.number(), dxf::err::kFileError);
                EXPECT_NE(std::string(e.what()).find(version), std::string::npos) << e.what();
            }
        }
        EXPECT_EQ(readAll(path), original);
        EXPECT_FALSE(fs::exists(dir + "/other.dwg"));
        EXPECT_TRUE(d->findLayer("Renamed").has_value());
    }

    auto w = dxf::Drawing::open(corpus("acadsharp_sample_AC1018.dwg"));
    for (dxf::Entity e : w->selectAll({std::nullopt, std::string("TEXT")})) {
        try {
            e.setTextString("changed");
            ADD_FAILURE() << "a DWG text was changed";
        } catch (const dxf::EngineError& x) {
            EXPECT_EQ(x.number(), dxf::err::kNotApplicable);
        }
    }
    fs::remove_all(dir);
}

TEST(DwgWrite, PagesCompressAndMapsEncodeAsTheReaderReadsThem) {
    std::mt19937 rng(7);
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{4}, std::size_t{18},
                          std::size_t{19}, std::size_t{273}, std::size_t{274}, std::size_t{0x4001}, std::size_t{0x7400}}) {
        // Random bytes, zeros, a slow pattern, short periods broken now and then.
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<std::uint8_t> in(n);
            for (std::size_t i = 0; i < n; ++i)
                in[i] = kind == 0   ? static_cast<std::uint8_t>(rng())
                        : kind == 1 ? 0
                        : kind == 2 ? static_cast<std::uint8_t>(i % 251 ^ (i >> 9))
                                    : static_cast<std::uint8_t>(rng() % 97 == 0 ? rng() : i % (3 + (i >> 11)));
            const std::string packed = dxf::dwg::compressR2004(in.data(), n);
            if (kind > 0 && n >= 0x4001) EXPECT_LT(packed.size(), n / 2) << n << " " << kind;
            for (const std::string& z : {packed, dxf::dwg::compressLiteral(in.data(), n)}) {
                std::vector<std::uint8_t> out(std::max<std::size_t>(n, 4));
                const std::size_t got = dxf::dwg::decompressR2004(reinterpret_cast<const std::uint8_t*>(z.data()), z.size(),
                                                                  out.data(), out.size(), 0);
                ASSERT_GE(got, n) << n << " " << kind;
                EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin())) << n << " " << kind;
            }
        }
    }
    // Every corpus object map, decoded and encoded again, is the same bytes.
    for (const std::string& name : writableDwgs()) {
        const std::string bytes = readAll(corpus(name));
        dxf::dwg::Document doc(bytes);
        std::vector<dxf::dwg::MapEntry> entries;
        for (const auto& o : doc.objects()) entries.push_back({o.handle, o.offset});
        const auto& map = doc.container().handles;
        EXPECT_EQ(dxf::dwg::encodeMap(entries, dxf::dwg::mapChunks(map)),
                  std::string(reinterpret_cast<const char*>(map.data), map.size))
            << name;
    }
}
