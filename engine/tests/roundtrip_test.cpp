// Lossless reading and writing: real drawings come back byte for byte, and
// saving is atomic.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <unistd.h>

#include <filesystem>

#include "TestDrawings.h"
#include "engine/Drawing.h"

namespace fs = std::filesystem;
using namespace dxftest;

namespace {

std::vector<fs::path> corpusFiles(const std::string& ext) {
    std::vector<fs::path> out;
    if (!fs::exists(corpusDir())) return out;
    for (const auto& e : fs::directory_iterator(corpusDir()))
        if (e.path().extension() == ext) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(RoundTrip, EveryCorpusDrawingSavesByteIdentical) {
    auto files = corpusFiles(".dxf");
    ASSERT_FALSE(files.empty()) << "corpus not found at " << corpusDir();
    std::string dir = scratchDir();
    for (const fs::path& f : files) {
        SCOPED_TRACE(f.filename().string());
        std::string original = readAll(f.string());
        auto d = dxf::Drawing::open(f.string());
        EXPECT_FALSE(d->dirty());
        EXPECT_EQ(d->serialize(), original);
        std::string out = dir + "/" + f.filename().string();
        d->saveAs(out);
        EXPECT_EQ(readAll(out), original);
        EXPECT_GT(d->layerCount(), 0u);
    }
    fs::remove_all(dir);
}

TEST(RoundTrip, OldDwgVersionsAreRefusedByName) {
    try {
        dxf::Drawing::open(corpusDir() + "/libredwg_r11_ACEB10.dwg");
        ADD_FAILURE() << "an R12 DWG opened";
    } catch (const dxf::EngineError& e) {
        EXPECT_EQ(e.number(), dxf::err::kFileError);
        EXPECT_NE(std::string(e.what()).find("AC1009 (R11/R12) is not supported"), std::string::npos) << e.what();
    }
}

TEST(RoundTrip, EditsKeepLineEndsAndUntouchedBytes) {
    DrawingSpec spec;
    spec.entities = entity("LINE", "100", "A", {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}}) +
                    entity("CIRCLE", "101", "B", {{10, "5"}, {20, "5"}, {40, "1"}});
    for (bool crlf : {false, true}) {
        SCOPED_TRACE(crlf ? "CR LF" : "LF");
        std::string text = crlf ? withCrlf(makeDrawing(spec)) : makeDrawing(spec);
        auto d = dxf::Drawing::fromBytes(text);
        d->layer("A").setName("WALL");
        std::string out = d->serialize();
        // Exactly the layer record and the line's layer changed.
        std::string expected = text;
        const std::string eol = crlf ? "\r\n" : "\n";
        auto replaceAll = [&](const std::string& from, const std::string& to) {
            for (std::size_t p = expected.find(from); p != std::string::npos; p = expected.find(from, p + to.size()))
                expected.replace(p, from.size(), to);
        };
        replaceAll("  2" + eol + "A" + eol, "  2" + eol + "WALL" + eol);
        replaceAll("  8" + eol + "A" + eol, "  8" + eol + "WALL" + eol);
        EXPECT_EQ(out, expected);
        EXPECT_TRUE(d->dirty());
    }
}

TEST(AtomicSave, FailureLeavesTheOriginalIntact) {
    std::string dir = scratchDir();
    std::string path = dir + "/a.dxf";
    std::string original = makeDrawing(DrawingSpec{});
    writeAll(path, original);
    auto d = dxf::Drawing::open(path);
    d->layer("A").setColor(3);
    {
        // The write fails part way: the file size limit stops it (EFBIG).
        signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &small);
        EXPECT_THROW(d->save(), dxf::EngineError);
        setrlimit(RLIMIT_FSIZE, &old);
    }
    if (geteuid() != 0) {
        chmod(dir.c_str(), 0555);  // no room for the file beside
        EXPECT_THROW(d->save(), dxf::EngineError);
        chmod(dir.c_str(), 0755);
    }
    EXPECT_EQ(readAll(path), original);
    EXPECT_TRUE(d->dirty());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no leftovers
    d->save();
    EXPECT_EQ(dxf::Drawing::open(path)->layer("A").color(), 3);
    fs::remove_all(dir);
}

TEST(AtomicSave, WritesBesideAndReplacesKeepingPermissions) {
    std::string dir = scratchDir();
    std::string path = dir + "/a.dxf";
    writeAll(path, makeDrawing(DrawingSpec{}));
    chmod(path.c_str(), 0640);
    auto d = dxf::Drawing::open(path);
    d->layer("A").setColor(3);
    d->save();
    EXPECT_FALSE(d->dirty());
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dxf::Drawing::open(path)->layer("A").color(), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}

TEST(AtomicSave, SavingToAMissingFolderFails) {
    auto d = dxf::Drawing::fromBytes(makeDrawing(DrawingSpec{}));
    EXPECT_THROW(d->saveAs("/nonexistent-folder-xyz/a.dxf"), dxf::EngineError);
}

TEST(NewDrawing, IsAUsableEmptyDrawing) {
    std::string dir = scratchDir();
    auto d = dxf::Drawing::createNew(dir + "/Drawing1.dxf");
    EXPECT_EQ(d->name(), "Drawing1.dxf");
    EXPECT_EQ(d->layerCount(), 1u);
    EXPECT_EQ(d->activeLayer().name(), "0");
    EXPECT_EQ(d->layouts(), (std::vector<std::string>{"Model", "Layout1"}));
    dxf::Layer wall = d->addLayer("壁");
    wall.setLinetype("continuous");
    d->save();
    auto again = dxf::Drawing::open(dir + "/Drawing1.dxf");
    EXPECT_EQ(again->layer("壁").name(), "壁");
    EXPECT_NE(readAll(dir + "/Drawing1.dxf").find("\x95\xC7"), std::string::npos);  // CP932
    fs::remove_all(dir);
}
