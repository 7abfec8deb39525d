// drawhost's command line: words, quotes, Escape, the commands, and scripts
// that stop at the first failing command.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include "TestDrawings.h"
#include "drawhost/CommandLine.h"
#include "engine/Drawing.h"

using namespace drawhost;
using testdrawings::bytesOf;
using testdrawings::copySample;

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        host_ = host::InProcessHost::create();
        cl_ = std::make_unique<CommandLine>(host_);
        QObject::connect(cl_.get(), &CommandLine::output, [this](const QString& l) { out_ << l; });
        plan_ = copySample(dir_, QStringLiteral("floor-plan.dxf"), QStringLiteral("a b/floor plan.dxf"));
    }
    // Lets a running script finish.
    void settle() {
        QElapsedTimer t;
        t.start();
        while (cl_->busy() && t.elapsed() < 10000) QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    dxf::Drawing& active() { return *host_->activeDocument()->drawing; }
    std::string layerOf(const char* name) { return active().layer(name).name(); }
    bool saidAnything(const QString& part) const {
        for (const QString& l : out_)
            if (l.contains(part)) return true;
        return false;
    }

    QTemporaryDir dir_;
    std::shared_ptr<host::InProcessHost> host_;
    std::unique_ptr<CommandLine> cl_;
    QStringList out_;
    QString plan_;
};

TEST_F(CommandLineTest, QuotedPathsSpacesEnterAndEscape) {
    // FILEDIA 0 makes OPEN ask on the command line; spaces end words outside quotes.
    cl_->type(QStringLiteral("filedia 0 open \"") + plan_ + QStringLiteral("\"\r\n"));
    ASSERT_EQ(host_->documents().size(), 1u);
    EXPECT_EQ(host_->activeDocument()->fullName, plan_);
    EXPECT_EQ(cl_->filedia(), 0);
    EXPECT_EQ(cl_->prompt(), QStringLiteral("Command: "));

    // Escape cancels a pending CLOSE: the drawing stays open.
    cl_->type(QStringLiteral("CLOSE "));
    EXPECT_TRUE(cl_->prompt().startsWith(QStringLiteral("Really want to discard")));
    cl_->type(QStringLiteral("\x1b"));
    EXPECT_EQ(host_->documents().size(), 1u);
    EXPECT_EQ(cl_->prompt(), QStringLiteral("Command: "));

    // Typed by hand, a bad answer and an unknown command are reported; nothing stops.
    cl_->type(QStringLiteral("close maybe\r"));
    EXPECT_TRUE(saidAnything(QStringLiteral("answer y or n")));
    EXPECT_TRUE(cl_->prompt().startsWith(QStringLiteral("Really")));
    cl_->type(QStringLiteral("\x1b" "FROB\r"));
    EXPECT_TRUE(saidAnything(QStringLiteral("Unknown command \"FROB\"")));
    cl_->type(QStringLiteral("-layer s 壁\r\r"));
    EXPECT_EQ(active().activeLayer().name(), "壁");
}

TEST_F(CommandLineTest, CloseAnsweredNSavesAndYDiscards) {
    const QByteArray original = bytesOf(plan_);
    cl_->type(QStringLiteral("filedia 0 open \"%1\"\r-LAYER C 3 壁\r\rclose y\r").arg(plan_));
    EXPECT_TRUE(host_->documents().empty());
    EXPECT_EQ(bytesOf(plan_), original);

    cl_->type(QStringLiteral("open \"%1\"\r-LAYER C 3 壁\r\rclose n\r").arg(plan_));
    EXPECT_TRUE(host_->documents().empty());
    auto reopened = dxf::Drawing::open(plan_.toStdString());
    EXPECT_EQ(reopened->layer("壁").color(), 3);
}

TEST_F(CommandLineTest, LayerOptions) {
    cl_->type(QStringLiteral("filedia 0 open \"%1\"\r").arg(plan_));
    cl_->type(QStringLiteral("-LAYER M 新規画層 N \"with space\" OFF A-WALL,B-WALL F 旧* LO 寸法 "
                             "C red 通り芯 LW 0.35 既存壁 P N 壁 L Continuous 壁 \r"));
    dxf::Drawing& d = active();
    EXPECT_EQ(d.activeLayer().name(), "新規画層");
    EXPECT_TRUE(d.findLayer("with space").has_value());
    EXPECT_FALSE(d.layer("A-WALL").layerOn());
    EXPECT_FALSE(d.layer("B-WALL").layerOn());
    EXPECT_TRUE(d.layer("旧壁").freeze());
    EXPECT_TRUE(d.layer("旧建具").freeze());
    EXPECT_TRUE(d.layer("寸法").lock());
    EXPECT_EQ(d.layer("通り芯").color(), 1);
    EXPECT_EQ(d.layer("既存壁").lineweight(), 35);
    EXPECT_FALSE(d.layer("壁").plottable());
    EXPECT_EQ(cl_->prompt(), QStringLiteral("Command: "));

    // Enter alone at the layer prompt means the current layer.
    cl_->type(QStringLiteral("-LAYER C 5 \r\r"));
    EXPECT_EQ(d.layer("新規画層").color(), 5);

    // Refused by hand: the prompt comes again and nothing has failed for good.
    cl_->type(QStringLiteral("-LAYER F 新規画層\r"));
    EXPECT_FALSE(d.layer("新規画層").freeze());
    cl_->type(QStringLiteral("ON NOSUCH\r\x1b"));
    EXPECT_TRUE(saidAnything(QStringLiteral("No matching layer")));
    cl_->type(QStringLiteral("-LAYER T 旧壁 U 寸法 ON A-* \r"));
    EXPECT_FALSE(d.layer("旧壁").freeze());
    EXPECT_FALSE(d.layer("寸法").lock());
    EXPECT_TRUE(d.layer("A-WALL").layerOn());
    EXPECT_FALSE(d.layer("B-WALL").layerOn());
}

TEST_F(CommandLineTest, AFailingScriptStopsBeforeItsCloseActsOnAnotherDrawing) {
    const QString other = copySample(dir_, QStringLiteral("english-R2004.dxf"));
    const QByteArray otherBytes = bytesOf(other);
    cl_->type(QStringLiteral("filedia 0 open \"%1\"\r").arg(other));
    // The OPEN fails, so the CLOSE that follows must not close (and save or
    // discard) the drawing that happens to be current.
    cl_->runScript(QStringLiteral("open\r\n\"%1/missing.dxf\"\r\n-layer\r\nc\r\n3\r\n0\r\n\r\nclose\r\nn\r\n").arg(dir_.path()));
    settle();
    EXPECT_TRUE(cl_->failed());
    EXPECT_TRUE(saidAnything(QStringLiteral("Script stopped")));
    ASSERT_EQ(host_->documents().size(), 1u);
    EXPECT_EQ(active().layer("0").color(), 7);
    EXPECT_EQ(bytesOf(other), otherBytes);

    // A refused answer stops a script too.
    cl_->runScript(QStringLiteral("-layer\nf\n0\nclose\ny\n"));
    settle();
    EXPECT_EQ(host_->documents().size(), 1u);
}

TEST_F(CommandLineTest, ScriptFilesAreCp932AndTypedKeysWaitBehindThem) {
    // "-LAYER S "壁"" and a comment, in CP932 (壁 is 0x95 0xC7).
    const QString script = dir_.filePath(QStringLiteral("set wall.scr"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("; comment line\r\n-LAYER\r\nS\r\n\"\x95\xc7\"\r\n\r\n"));
    f.close();
    cl_->type(QStringLiteral("filedia 0 open \"%1\"\r").arg(plan_));
    cl_->type(QStringLiteral("script \"%1\"\r-LAYER S 0 \r").arg(script));
    // The script has started; the keys typed after it wait.
    EXPECT_TRUE(cl_->busy());
    settle();
    EXPECT_FALSE(cl_->failed());
    EXPECT_EQ(active().activeLayer().name(), "0");
    EXPECT_TRUE(saidAnything(QStringLiteral("\"壁\"")));

    // A script file that is not CP932 is refused, and nothing runs.
    QFile bad(dir_.filePath(QStringLiteral("bad.scr")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray("-LAYER\r\nS\r\n\x85\x80\r\n"));
    bad.close();
    cl_->type(QStringLiteral("script \"%1\"\r").arg(bad.fileName()));
    settle();
    EXPECT_TRUE(cl_->failed());
    EXPECT_EQ(active().activeLayer().name(), "0");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST_F(CommandLineTest, QsaveOfAReadOnlyDrawingSaysWhyAndLeavesTheFile) {
    const QByteArray original = bytesOf(plan_);
    QFile::setPermissions(plan_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    cl_->type(QStringLiteral("filedia 0 open \"%1\"\r-LAYER C 3 壁\r\rqsave\r").arg(plan_));
    EXPECT_TRUE(saidAnything(QStringLiteral("Cannot save")));
    EXPECT_TRUE(saidAnything(QStringLiteral("read-only")));
    EXPECT_FALSE(saidAnything(QStringLiteral("Saved")));
    EXPECT_EQ(bytesOf(plan_), original);
    QFile::setPermissions(plan_, QFile::ReadOwner | QFile::WriteOwner);
}

// QSAVE writes a changed DWG back in its own version; an R14 drawing, which
// is read but not written, is refused with the reason and keeps its bytes.
TEST_F(CommandLineTest, QsaveSavesADwgInItsVersionAndRefusesAnR14One) {
    struct Case {
        const char* file;
        bool saves;
    };
    for (const Case c : {Case{"acadsharp_sample_AC1018.dwg", true}, Case{"libredwg_example_2018.dwg", true},
                         Case{"acadsharp_sample_AC1014.dwg", false}}) {
        SCOPED_TRACE(c.file);
        const QString path = dir_.filePath(QString::fromUtf8(c.file));
        ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_CORPUS_DIR "/") + QString::fromUtf8(c.file), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray original = bytesOf(path);
        out_.clear();
        cl_->type(QStringLiteral("filedia 0 open \"%1\"\r-LAYER C 3 0\r\rqsave\rclose y\r").arg(path));
        EXPECT_EQ(saidAnything(QStringLiteral("Saved")), c.saves) << out_.join(u'\n').toStdString();
        if (!c.saves) {
            EXPECT_TRUE(saidAnything(QStringLiteral("R14"))) << out_.join(u'\n').toStdString();
            EXPECT_EQ(bytesOf(path), original);
            continue;
        }
        auto back = dxf::Drawing::open(path.toStdString());
        EXPECT_EQ(back->version(), dxf::Drawing::open(QStringLiteral(LAMINOR_CORPUS_DIR "/").toStdString() + c.file)->version());
        EXPECT_EQ(back->layer("0").color(), 3);
        EXPECT_EQ(bytesOf(path).left(6), original.left(6));
    }
    EXPECT_TRUE(host_->documents().empty()) << out_.join(u'\n').toStdString();
}

// SAVEAS writes a drawing in the format it was read from: a DXF under a new
// .dxf name, a DWG under a .dwg name; a DWG given a .dxf name is refused and
// nothing is written (the engine would write DWG bytes into it).
TEST_F(CommandLineTest, SaveAsKeepsTheDrawingsOwnFormat) {
    const QByteArray plan = bytesOf(plan_);
    cl_->type(QStringLiteral("filedia 0 open \"%1\"\r-LAYER C 3 壁\r\rsaveas \"%2\"\r").arg(plan_, dir_.filePath("copy")));
    const QString copy = dir_.filePath(QStringLiteral("copy.dxf"));
    ASSERT_TRUE(QFileInfo::exists(copy)) << out_.join(u'\n').toStdString();
    EXPECT_EQ(dxf::Drawing::open(copy.toStdString())->layer("壁").color(), 3);
    EXPECT_EQ(bytesOf(plan_), plan);
    EXPECT_EQ(host_->activeDocument()->name, QStringLiteral("copy.dxf"));

    const QString dwg = dir_.filePath(QStringLiteral("sample.dwg"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_CORPUS_DIR "/acadsharp_sample_AC1018.dwg"), dwg));
    QFile::setPermissions(dwg, QFile::ReadOwner | QFile::WriteOwner);
    out_.clear();
    cl_->type(QStringLiteral("open \"%1\"\rsaveas \"%2\"\r").arg(dwg, dir_.filePath("twin.dxf")));
    EXPECT_TRUE(saidAnything(QStringLiteral("saved as a DWG file"))) << out_.join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath(QStringLiteral("twin.dxf"))));
    cl_->type(QStringLiteral("saveas \"%1\"\r").arg(dir_.filePath("twin")));
    const QString twin = dir_.filePath(QStringLiteral("twin.dwg"));
    ASSERT_TRUE(QFileInfo::exists(twin)) << out_.join(u'\n').toStdString();
    EXPECT_EQ(bytesOf(twin).left(6), bytesOf(dwg).left(6));
    EXPECT_TRUE(dxf::Drawing::open(twin.toStdString())->isDwg());
}
