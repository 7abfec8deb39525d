// Saving leaves the user's file as it was in everything but its content, or
// does not save at all: read-only and immutable files, links, owners, a kill
// half-way, and hostile input (a FIFO, control bytes, legacy names).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "TestDrawings.h"
#include "engine/Drawing.h"
#include "engine/FileSave.h"

namespace fs = std::filesystem;
using namespace dxftest;

namespace {

class SaveSafety : public testing::Test {
protected:
    void SetUp() override {
        dir = scratchDir();
        path = dir + "/a.dxf";
        original = makeDrawing(DrawingSpec{});
        writeAll(path, original);
    }
    void TearDown() override { fs::remove_all(dir); }
    // Opens the drawing and changes it, so that a save has something to write.
    std::unique_ptr<dxf::Drawing> changed(const std::string& p) {
        auto d = dxf::Drawing::open(p);
        d->layer("A").setColor(3);
        return d;
    }
    std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
    std::string dir, path, original;
};

bool setInodeFlag(const std::string& p, int flag, bool on) {
    const int fd = ::open(p.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | flag) : (flags & ~flag);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

TEST_F(SaveSafety, AReadOnlyFileIsRefusedWithItsReasonAndLeftAlone) {
    chmod(path.c_str(), 0444);
    auto d = changed(path);
    EXPECT_NE(dxf::whyNotSavable(path), "");
    try {
        d->save();
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const dxf::EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(readAll(path), original);
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    // Immutable (chattr +i), where the file system keeps the flag.
    chmod(path.c_str(), 0644);
    if (!setInodeFlag(path, FS_IMMUTABLE_FL, true)) GTEST_SKIP() << "no immutable flag here";
    EXPECT_THROW(d->save(), dxf::EngineError);
    setInodeFlag(path, FS_IMMUTABLE_FL, false);
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SaveSafety, ALinkIsFollowedAndOwnerGroupAndModeAreKept) {
    fs::create_directory(dir + "/real");
    const std::string target = dir + "/real/t.dxf";
    fs::rename(path, target);
    fs::create_symlink("real/t.dxf", path);
    const bool root = geteuid() == 0;
    chmod(target.c_str(), 0640);
    if (root) ASSERT_EQ(chown(target.c_str(), 4321, 4322), 0);

    changed(path)->save();
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(dxf::Drawing::open(target)->layer("A").color(), 3);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
}

TEST_F(SaveSafety, AFileWithOtherHardLinksIsNotSplit) {
    const std::string other = dir + "/b.dxf";
    fs::create_hard_link(path, other);
    auto d = changed(path);
    try {
        d->save();
        ADD_FAILURE() << "a hard-linked file was replaced";
    } catch (const dxf::EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("hard link"), std::string::npos) << e.what();
    }
    EXPECT_EQ(fs::hard_link_count(path), 2u);
    EXPECT_EQ(readAll(other), original);
}

TEST_F(SaveSafety, ASaveKilledHalfWayLeavesNoTemporaryFile) {
    auto d = changed(path);
    const pid_t child = fork();
    if (child == 0) {
        // The file size limit kills the writer (SIGXFSZ) in the middle of the save.
        signal(SIGXFSZ, SIG_DFL);
        rlimit small{100, 100};
        setrlimit(RLIMIT_FSIZE, &small);
        try {
            d->save();
        } catch (...) {
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(entries(), 1u);  // nothing beside the drawing
}

// A content writer that gives up half-way (a DWG the writer refuses while
// writing) leaves the file, the folder and the open descriptors as they were.
TEST_F(SaveSafety, AContentWriterThatThrowsLeavesNothingBehind) {
    const auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFiles();
    for (int i = 0; i < 3; ++i)
        EXPECT_THROW(dxf::saveFileAtomically(path, false,
                                             [](dxf::FileWriter& w) {
                                                 w("partial", 7);
                                                 w.flush();
                                                 throw std::runtime_error("cannot write this");
                                             }),
                     std::runtime_error);
    EXPECT_EQ(openFiles(), before);
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SaveSafety, AFifoNamedLikeADrawingIsRefusedAtOnce) {
    const std::string fifo = dir + "/pipe.dxf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(dxf::Drawing::open(fifo), dxf::EngineError);
    // dxftool too: it answers with an error instead of waiting for a writer.
    const std::string cmd = std::string("timeout 20 ") + DXFTOOL_PATH + " layers " + fifo + " 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(HostileBytes, ControlCharactersInErrorsAreEscaped) {
    std::string bad = makeDrawing(DrawingSpec{});
    bad.insert(bad.find("  0\nENDSEC"), "\x1b[2J\x9b\xff\n");
    try {
        dxf::Drawing::fromBytes(bad);
        FAIL() << "a malformed drawing opened";
    } catch (const dxf::EngineError& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.find('\x1b'), std::string::npos) << what;
        EXPECT_NE(what.find("\\x1B[2J\\x9B\\xFF"), std::string::npos) << what;
    }
}

TEST(LegacyNames, CodePageBytesInAUtf8DrawingAreReadAndWrittenInTheCodePage) {
    // 旧壁 in CP932, in an R2007 drawing whose header names code page 932.
    const std::string oldRaw = "\x8b\x8c\x95\xc7";
    DrawingSpec spec;
    spec.acadver = "AC1021";
    spec.codepage = "ANSI_932";
    spec.layers = {{"0"}, {oldRaw}};
    spec.entities = entity("LINE", "100", oldRaw, {{10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
    auto d = dxf::Drawing::fromBytes(makeDrawing(spec));
    ASSERT_TRUE(d->findLayer("旧壁"));
    d->layer("旧壁").setName("新壁");
    const std::string out = d->serialize();
    const std::string newRaw = "\x90\x56\x95\xc7";  // 新壁 in CP932
    EXPECT_EQ(out.find("新壁"), std::string::npos);
    EXPECT_NE(out.find("  2\n" + newRaw + "\n"), std::string::npos);
    EXPECT_NE(out.find("  8\n" + newRaw + "\n"), std::string::npos);
    auto again = dxf::Drawing::fromBytes(out);
    ASSERT_TRUE(again->findLayer("新壁"));
    EXPECT_EQ(again->selectAll(dxf::SelectFilter{std::string("新壁"), std::nullopt}).size(), 1u);
}
