// The rename and state operations on real drawings, through the in-process
// host over the drawing engine: what reaches the file on disk.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
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
