// The rename and state operations on real drawings, through the in-process
// host over the drawing engine: what reaches the file on disk.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "host/client/InProcessHost.h"
#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"
#include "host/SkipError.h"
#include "host/ValueLists.h"
#include "support/RecordingMessageBox.h"

namespace {

using namespace host;

support::ListTable table(const std::vector<QStringList>& rows, int columns) {
    support::ListTable t(static_cast<int>(rows.size()), columns);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        for (int c = 0; c < rows[r].size(); ++c) t.set(r, c, rows[r][c]);
    return t;
}

class RealDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = copySample(QStringLiteral("a"));
        host_ = InProcessHost::create();
        app_ = host_->application();
    }
    QString copySample(const QString& folder) {
        QDir().mkpath(dir_.filePath(folder));
        const QString path = dir_.filePath(folder + QStringLiteral("/平面図.dxf"));
        EXPECT_TRUE(QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/floor-plan.dxf"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    QByteArray bytes(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Objects selected on a layer (model and paper space) in a drawing read afresh from disk.
    struct Reread {
        std::shared_ptr<InProcessHost> host = InProcessHost::create();
        DocumentPtr doc;
        explicit Reread(const QString& path) { doc = host->application()->documents()->open(path); }
        int objectsOn(const QString& layer) {
            auto set = doc->selectionSets()->add(QStringLiteral("count"));
            set->select(5, {8}, {layer});
            const int n = set->count();
            set->deleteSet();
            return n;
        }
        bool hasLayer(const QString& name) {
            return skipErrorValue([&] { return doc->layers()->item(name)->name(); }).value_or(QString()) == name;
        }
    };
    // ezdxf's audit of a written drawing, when Debian's python with ezdxf is there.
    void expectAuditClean(const QString& path) {
        if (!QFile::exists(QStringLiteral("/usr/bin/python3"))) return;
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import sys, ezdxf\nd = ezdxf.readfile(sys.argv[1])\n"
                                "a = d.audit()\nsys.exit(1 if a.has_errors else 0)"),
                 path});
        ASSERT_TRUE(p.waitForFinished(60000));
        if (p.readAllStandardError().contains("No module named")) return;
        EXPECT_EQ(p.exitCode(), 0) << "ezdxf audit found errors in " << path.toStdString();
    }
    bool rename(const support::ListTable& rules, const QString& path) {
        return fun_bApplyLayerNameRules(app_, QFileInfo(path).fileName(), path, rules, bNoChange_, label_);
    }

    QTemporaryDir dir_;
    QString path_;
    std::shared_ptr<InProcessHost> host_;
    ApplicationPtr app_;
    support::PlainStatusLabel label_;
    support::RecordingMessageBox messages_;
    bool bNoChange_ = false;
};

TEST_F(RealDrawingTest, RenameMergeAndCaseOnlyRenameReachTheFile) {
    int before = 0, merged = 0, furniture = 0;
    {
        Reread original(path_);
        before = original.objectsOn(QStringLiteral("壁"));
        merged = original.objectsOn(QStringLiteral("旧壁"));
        furniture = original.objectsOn(QStringLiteral("A-Furn"));
        ASSERT_GT(merged, 0);
        ASSERT_GT(furniture, 0);
    }
    const auto rules = table({{QStringLiteral("1"), QStringLiteral("^旧壁$"), QStringLiteral("壁")},
                              {QStringLiteral("2"), QStringLiteral("^A-Furn$"), QStringLiteral("A-FURN")},
                              {QStringLiteral("3"), QStringLiteral("^TMP_"), QStringLiteral("T_")}},
                             3);
    ASSERT_TRUE(rename(rules, path_));
    EXPECT_FALSE(bNoChange_);
    EXPECT_EQ(app_->documents()->count(), 0);

    Reread saved(path_);
    // 旧壁 is used inside block definitions too: the block pass moved those
    // objects and the purge removed the layer.
    EXPECT_FALSE(saved.hasLayer(QStringLiteral("旧壁")));
    EXPECT_EQ(saved.objectsOn(QStringLiteral("壁")), before + merged);
    EXPECT_TRUE(saved.hasLayer(QStringLiteral("A-FURN")));
    EXPECT_EQ(saved.objectsOn(QStringLiteral("A-FURN")), furniture);
    EXPECT_TRUE(saved.hasLayer(QStringLiteral("T_WALL")));
    EXPECT_TRUE(saved.hasLayer(QStringLiteral("SITE|C-TOPO")));
    expectAuditClean(path_);
}

TEST_F(RealDrawingTest, NamesakeInAnotherFolderIsLeftAlone) {
    const QString other = copySample(QStringLiteral("b"));
    DocumentPtr namesake = app_->documents()->open(other);
    const auto rules = table({{QStringLiteral("1"), QStringLiteral("^壁$"), QStringLiteral("壁-新")}}, 3);
    ASSERT_TRUE(rename(rules, path_));
    EXPECT_EQ(app_->documents()->count(), 1);
    EXPECT_TRUE(skipError([&] { namesake->layers()->item(QStringLiteral("壁")); }));
    EXPECT_FALSE(skipError([&] { namesake->layers()->item(QStringLiteral("壁-新")); }));
    Reread saved(path_);
    EXPECT_TRUE(saved.hasLayer(QStringLiteral("壁-新")));
}

TEST_F(RealDrawingTest, RefusedRenameLeavesTheFileAsItWas) {
    const QByteArray original = bytes(path_);
    const auto rules = table({{QStringLiteral("1"), QStringLiteral("^A-WALL$"), QStringLiteral("A-WALL2")},
                              {QStringLiteral("2"), QStringLiteral("^壁$"), QStringLiteral("壁<1>")}},
                             3);
    EXPECT_FALSE(rename(rules, path_));
    EXPECT_EQ(app_->documents()->count(), 0);
    EXPECT_EQ(bytes(path_), original);
}

TEST_F(RealDrawingTest, StateRulesReachTheFile) {
    QStringList fields(8, kNoChange);
    fields[3] = QStringLiteral("3");
    fields[5] = QStringLiteral("1.48 mm");
    QStringList row{QStringLiteral("1"), QStringLiteral("A-W.*")};
    row << fields;
    QStringList lockRow{QStringLiteral("2"), QStringLiteral("A-WIND")};
    lockRow << QStringList(8, kNoChange);
    lockRow[4] = kYes;  // ﾛｯｸ
    ASSERT_TRUE(fun_bApplyLayerStateRules(app_, QStringLiteral("平面図.dxf"), path_, table({row, lockRow}, 10),
                                          bNoChange_, label_));
    EXPECT_FALSE(bNoChange_);
    Reread saved(path_);
    for (const char* name : {"A-WALL", "A-WIND"}) {
        LayerPtr layer = saved.doc->layers()->item(QString::fromUtf8(name));
        EXPECT_EQ(layer->color(), 3) << name;
        EXPECT_EQ(layer->lineweight(), 158) << name;
    }
    EXPECT_TRUE(saved.doc->layers()->item(QStringLiteral("A-WIND"))->lock());
    EXPECT_FALSE(saved.doc->layers()->item(QStringLiteral("A-WALL"))->lock());
    expectAuditClean(path_);
}

}  // namespace

TEST_F(RealDrawingTest, AReadOnlyDrawingIsLeftAloneWithTheReason) {
    const QByteArray original = bytes(path_);
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const auto rules = table({{QStringLiteral("1"), QStringLiteral("^TMP_"), QStringLiteral("T_")}}, 3);
    EXPECT_FALSE(rename(rules, path_));
    EXPECT_EQ(app_->documents()->count(), 0);  // not even opened
    EXPECT_EQ(bytes(path_), original);
    ASSERT_EQ(messages_.count(), 1);
    EXPECT_TRUE(messages_.last().text.startsWith(QStringLiteral("図面ファイルを保存できないため、処理しませんでした。")));
    EXPECT_TRUE(messages_.last().text.contains(QStringLiteral("read-only"))) << messages_.last().text.toStdString();
}

// A drawing written by ezdxf: layer C with a true colour, a description, no
// plot and a lineweight; A and C inside a referenced block; S inside an
// anonymous block and a definition nothing references. The rules merge A
// into B (whose failed delete runs the block pass), rename C to D and merge
// S into T.
TEST_F(RealDrawingTest, EveryObjectOfAMergedLayerMovesAndARenamedLayerKeepsEveryProperty) {
    const QString path = dir_.filePath(QStringLiteral("made.dxf"));
    const char* make =
        "import sys, ezdxf\n"
        "d = ezdxf.new('R2018')\n"
        "msp = d.modelspace()\n"
        "for n in ['A', 'B', 'S', 'T']: d.layers.add(n)\n"
        "c = d.layers.add('C'); c.rgb = (12, 34, 56); c.description = '説明'; c.dxf.plot = 0; c.dxf.lineweight = 50\n"
        "blk = d.blocks.new('BLK')\n"
        "for n in ['A', 'C']: blk.add_line((0, 0), (1, 1), dxfattribs={'layer': n})\n"
        "msp.add_blockref('BLK', (0, 0))\n"
        "for n in ['A', 'C', 'S', 'T']: msp.add_line((0, 0), (2, 2), dxfattribs={'layer': n})\n"
        "d.blocks.new_anonymous_block('D').add_line((0, 0), (3, 3), dxfattribs={'layer': 'S'})\n"
        "d.blocks.new('UNUSED').add_line((0, 0), (4, 4), dxfattribs={'layer': 'S'})\n"
        "d.saveas(sys.argv[1])\n";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(make), path});
    ASSERT_TRUE(p.waitForFinished(60000));
    if (p.exitCode() != 0) GTEST_SKIP() << "no ezdxf: " << p.readAllStandardError().toStdString();

    const auto rules = table({{QStringLiteral("1"), QStringLiteral("^A$"), QStringLiteral("B")},
                              {QStringLiteral("2"), QStringLiteral("^C$"), QStringLiteral("D")},
                              {QStringLiteral("3"), QStringLiteral("^S$"), QStringLiteral("T")}},
                             3);
    ASSERT_TRUE(rename(rules, path));

    const char* check =
        "import sys, json, ezdxf\n"
        "d = ezdxf.readfile(sys.argv[1])\n"
        "on = {}\n"
        "for b in d.blocks:\n"
        "    for e in b: on[e.dxf.layer] = on.get(e.dxf.layer, 0) + 1\n"
        "l = d.layers.get('D')\n"
        "print(json.dumps({'layers': [x.dxf.name for x in d.layers], 'on': on, 'rgb': list(l.rgb or []),\n"
        "                  'description': l.description, 'plot': l.dxf.plot, 'lineweight': l.dxf.lineweight}))\n";
    QProcess q;
    q.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(check), path});
    ASSERT_TRUE(q.waitForFinished(60000));
    const QJsonObject o = QJsonDocument::fromJson(q.readAllStandardOutput()).object();
    ASSERT_FALSE(o.isEmpty()) << q.readAllStandardError().toStdString();
    const QJsonObject on = o[QStringLiteral("on")].toObject();
    for (const char* gone : {"A", "C", "S"}) {
        EXPECT_FALSE(o[QStringLiteral("layers")].toArray().contains(QString::fromUtf8(gone))) << gone;
        EXPECT_FALSE(on.contains(QString::fromUtf8(gone))) << gone;
    }
    EXPECT_EQ(on[QStringLiteral("B")].toInt(), 2);
    EXPECT_EQ(on[QStringLiteral("D")].toInt(), 2);
    EXPECT_EQ(on[QStringLiteral("T")].toInt(), 4);
    EXPECT_EQ(o[QStringLiteral("rgb")].toArray(), (QJsonArray{12, 34, 56}));
    EXPECT_EQ(o[QStringLiteral("description")].toString(), QStringLiteral("説明"));
    EXPECT_EQ(o[QStringLiteral("plot")].toInt(), 0);
    EXPECT_EQ(o[QStringLiteral("lineweight")].toInt(), 50);
    expectAuditClean(path);
}
