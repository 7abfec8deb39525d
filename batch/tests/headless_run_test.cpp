// The headless run with operations of the test's own, its output read from
// its own standard output and error: lines as soon as drawings are done
// with several jobs, and a lost host.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "batch/HeadlessRun.h"
#include "host/HostError.h"

namespace batch {
namespace {

// What the run writes to one of this process's descriptors, through a pipe.
class Captured {
public:
    explicit Captured(int fd) : fd_(fd) {
        std::fflush(nullptr);
        saved_ = ::dup(fd);
        int p[2];
        EXPECT_EQ(::pipe2(p, O_CLOEXEC), 0);
        ::fcntl(p[0], F_SETFL, O_NONBLOCK);
        ::dup2(p[1], fd);
        ::close(p[1]);
        read_ = p[0];
    }
    ~Captured() { restore(); }
    // What has come so far (safe from any thread).
    QString text() {
        std::lock_guard lock(mutex_);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(read_, buf, sizeof buf)) > 0) bytes_.append(buf, n);
        return QString::fromUtf8(bytes_);
    }
    void restore() {
        if (saved_ < 0) return;
        std::fflush(nullptr);
        ::dup2(saved_, fd_);
        ::close(saved_);
        saved_ = -1;
        text();
        ::close(read_);
    }

private:
    int fd_;
    int saved_ = -1;
    int read_ = -1;
    std::mutex mutex_;
    QByteArray bytes_;
};

class HeadlessRunTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.dxf", "b.dxf", "c.dxf"}) {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            paths << f.fileName();
        }
        options.mode = 1;
        options.inProcess = true;
        rules.set(0, 1, "^A");
        rules.set(0, 2, "B");
    }
    QTemporaryDir tmp;
    QDir dir{tmp.path()};
    QStringList paths;
    BatchOptions options;
    support::ListTable rules{1, 3};
    mainwin::DrawingOperations ops;
};

TEST_F(HeadlessRunTest, WithSeveralJobsEachLineComesOnceItsDrawingAndThoseBeforeAreDone) {
    options.jobs = 2;
    Captured out(STDOUT_FILENO);
    std::atomic<bool> firstLineBeforeLastDrawing{false};
    ops.applyLayerNameRules = [&](host::ApplicationPtr, const QString& name, const QString&, const support::ListTable&,
                                  bool& bNoChange, support::StatusLabel&) {
        bNoChange = false;
        if (name == "c.dxf") {
            // The last drawing takes until the first one's line is out.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!out.text().contains("done\t" + paths[0]) && std::chrono::steady_clock::now() < deadline)
                QThread::msleep(5);
            firstLineBeforeLastDrawing = out.text().contains("done\t" + paths[0]);
        }
        return true;
    };
    const int status = runHeadless(options, rules, paths, ops);
    out.restore();
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(firstLineBeforeLastDrawing);
    EXPECT_EQ(out.text().split('\n', Qt::SkipEmptyParts),
              (QStringList{"done\t" + paths[0], "done\t" + paths[1], "done\t" + paths[2],
                           "3 件のファイルについて画層名変更が正常終了しました。"}));
}

TEST_F(HeadlessRunTest, ALostHostFailsItsDrawingAndTellsTheRestWereNotProcessed) {
    int calls = 0;
    ops.applyLayerNameRules = [&](host::ApplicationPtr, const QString&, const QString&, const support::ListTable&,
                                  bool& bNoChange, support::StatusLabel&) -> bool {
        if (++calls == 2) throw host::HostError(host::errc::kDisconnected, "gone");
        bNoChange = false;
        return true;
    };
    Captured out(STDOUT_FILENO), err(STDERR_FILENO);
    const int status = runHeadless(options, rules, paths, ops);
    out.restore();
    err.restore();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(calls, 2);
    const QStringList lines = out.text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << out.text().toStdString();
    EXPECT_EQ(lines[0], "done\t" + paths[0]);
    EXPECT_TRUE(lines[1].startsWith("failed\t" + paths[1] + "\tAutoCAD（図面ホスト）が停止しました。")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("failed\t" + paths[2] + "\t処理していません。")) << lines[2].toStdString();
    EXPECT_EQ(lines[3], "1 件のファイルについて画層名変更が正常終了しました。");
    EXPECT_EQ(lines[4], "2 件変換できなかったファイルが存在します。");
    EXPECT_TRUE(err.text().contains("AutoCAD（図面ホスト）が停止したため、処理を中止しました。")) << err.text().toStdString();
}

}  // namespace
}  // namespace batch
