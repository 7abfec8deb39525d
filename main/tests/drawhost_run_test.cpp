// The window against a real drawhost, started offscreen on a private socket:
// "実行" in mode 1 and mode 2 over copies of the sample drawings, and the
// saved files read back by an independent reader (ezdxf) with its audit.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest/QTest>
#include <csignal>
#include <cstdio>
#include <map>

#include "DrawhostWindowFixture.h"
#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"
#include "host/client/RemoteProvider.h"
#include "main/ListConversion.h"
#include "engine/Drawing.h"

namespace mainwin {
namespace {

using testing::DrawhostWindowTest;

// What ezdxf reads in one file.
struct DiskDrawing {
    int auditErrors = -1;
    QString currentLayer;
    QJsonObject layers;             // name -> settings
    std::map<QString, int> counts;  // name -> objects on it
    bool has(const QString& name) const { return layers.contains(name); }
    QJsonObject layer(const QString& name) const { return layers.value(name).toObject(); }
};

DiskDrawing readWithEzdxf(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(READ_LAYERS_PY), path});
    DiskDrawing d;
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        ADD_FAILURE() << "ezdxf could not read " << path.toStdString() << ": " << p.readAllStandardError().toStdString();
        return d;
    }
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    d.auditErrors = o.value("errors").toInt(-1);
    d.currentLayer = o.value("clayer").toString();
    d.layers = o.value("layers").toObject();
    const QJsonObject counts = o.value("counts").toObject();
    for (auto it = counts.begin(); it != counts.end(); ++it) d.counts[it.key()] = it.value().toInt();
    return d;
}

class DrawhostRunTest : public DrawhostWindowTest {
protected:
    QString copySample(const QString& sample, const QString& name) {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/") + sample, path));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    }
    frmMain& openWired() {
        frmMain& w = open();
        w.operations.applyLayerNameRules = host::fun_bApplyLayerNameRules;
        w.operations.applyLayerStateRules = host::fun_bApplyLayerStateRules;
        w.show();
        return w;
    }
};

TEST_F(DrawhostRunTest, RenameRunRenamesAndMergesInTheSavedFiles) {
    const QStringList samples{"floor-plan.dxf", "site-R12.dxf", "details-R2018.dxf"};
    QStringList paths;
    std::vector<DiskDrawing> before;
    for (const QString& s : samples) {
        paths << copySample(s, QStringLiteral("平面図 ") + s);
        before.push_back(readWithEzdxf(paths.last()));
    }
    frmMain& w = openWired();
    w.subAddFiles(paths);
    w.CmdSelectAllDWGs->click();
    appendRow(*w.LstvLayerName, {"^A-", "B-"});
    appendRow(*w.LstvLayerName, {"^TMP_", "T-"});
    appendRow(*w.LstvLayerName, {"^旧", "既存"});
    appendRow(*w.LstvLayerName, {"^S-", "構造-"});  // not selected: never applied
    for (int i = 0; i < 3; ++i) w.LstvLayerName->topLevelItem(i)->setSelected(true);

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "3 件のファイルについて画層名変更が正常終了しました。");
    EXPECT_EQ(messages.last().icon(), support::vbInformation);
    EXPECT_EQ(messages.last().title, support::kLaminorTitle);
    ASSERT_GT(provider->lastStartedPid(), 0);  // the run started drawhost

    // Where each layer's objects end: A- into B- (merged where the B- layer
    // exists, whatever its case), TMP_ renamed, 旧 into 既存 (the third rule
    // applies although the first two do not match).
    const std::map<QString, QString> moved{
        {"A-WALL", "B-WALL"},   {"A-DOOR", "B-DOOR"},       {"A-Furn", "B-FURN"},  {"A-WIND", "B-WIND"},
        {"A-通り芯", "B-通り芯"}, {"A-GRID", "B-GRID"},       {"A-ANNO-TEXT", "B-ANNO-TEXT"},
        {"TMP_WALL", "T-WALL"}, {"TMP_GRID", "T-GRID"},     {"旧壁", "既存壁"},    {"旧建具", "既存建具"}};
    for (int k = 0; k < paths.size(); ++k) {
        SCOPED_TRACE(samples[k].toStdString());
        const DiskDrawing after = readWithEzdxf(paths[k]);
        EXPECT_EQ(after.auditErrors, 0);
        EXPECT_EQ(after.currentLayer, "0");
        for (const char* kept : {"0", "SITE|C-TOPO", "S-COLS", "壁", "通り芯", "T-WALL", "T-GRID", "B-FURN"})
            EXPECT_TRUE(after.has(QString::fromUtf8(kept))) << kept;
        // Every object is on the layer its old layer went to; none is lost or
        // strays to a third layer. Objects a merge does not reach yet (inside
        // nested block definitions, R12 paper space) stay on their old layer,
        // which is then kept; they are counted and printed, not hidden.
        std::map<QString, int> expected;
        int total = 0;
        for (const auto& [name, n] : before[k].counts) {
            const auto m = moved.find(name);
            expected[m == moved.end() ? name : m->second] += n;
            total += n;
        }
        int left = 0, seen = 0;
        for (const auto& [name, n] : after.counts) {
            seen += n;
            if (moved.count(name)) {
                left += n;
                EXPECT_TRUE(after.has(name)) << name.toStdString();  // kept while it holds objects
                expected[moved.at(name)] -= n;
                expected[name] += n;
            }
        }
        EXPECT_EQ(seen, total);
        std::erase_if(expected, [](const auto& e) { return e.second == 0; });
        EXPECT_EQ(after.counts, expected);
        std::printf("%s: %d of %d objects left on an old layer\n", qPrintable(samples[k]), left, total);
        for (const char* gone : {"A-WALL", "A-DOOR", "TMP_WALL", "旧壁", "旧建具"})
            if (!after.counts.count(QString::fromUtf8(gone))) EXPECT_FALSE(after.has(QString::fromUtf8(gone))) << gone;
        // A merge keeps the target's own settings.
        EXPECT_EQ(after.layer("B-WALL").value("color"), before[k].layer("B-WALL").value("color"));
    }
}

TEST_F(DrawhostRunTest, StateRunRestylesTheWholeNameMatchesInTheSavedFiles) {
    const QStringList samples{"floor-plan.dxf", "details-R2018.dxf"};
    QStringList paths;
    std::vector<DiskDrawing> before;
    for (const QString& s : samples) {
        paths << copySample(s, s);
        before.push_back(readWithEzdxf(paths.last()));
    }
    frmMain& w = openWired();
    w.subSetMode(2);
    appendRow(*w.LstvLayerState,
              {"壁", "しない", "(変更なし)", "する", "1", "(変更なし)", "0.30 mm", "(変更なし)", "(変更なし)"});
    appendRow(*w.LstvLayerState,
              {"通り芯", "(変更なし)", "する", "(変更なし)", "3", "(変更なし)", "(変更なし)", "(変更なし)", "(変更なし)"});
    w.CmdSelectAllLayerNameState->click();
    w.subAddFiles(paths);
    w.CmdSelectAllDWGs->click();

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "2 件のファイルについて画層状態変更が正常終了しました。");
    EXPECT_EQ(messages.last().icon(), support::vbInformation);
    for (int k = 0; k < paths.size(); ++k) {
        SCOPED_TRACE(samples[k].toStdString());
        const DiskDrawing after = readWithEzdxf(paths[k]);
        EXPECT_EQ(after.auditErrors, 0);
        const QJsonObject wall = after.layer("壁");
        EXPECT_FALSE(wall.value("on").toBool());
        EXPECT_TRUE(wall.value("locked").toBool());
        EXPECT_EQ(wall.value("color").toInt(), 1);
        EXPECT_EQ(wall.value("lineweight").toInt(), 30);
        EXPECT_EQ(wall.value("frozen"), before[k].layer("壁").value("frozen"));
        const QJsonObject grid = after.layer("通り芯");
        EXPECT_TRUE(grid.value("frozen").toBool());
        EXPECT_EQ(grid.value("color").toInt(), 3);
        EXPECT_EQ(grid.value("locked"), before[k].layer("通り芯").value("locked"));
        // Whole names only: 既存壁 and A-通り芯 keep everything.
        EXPECT_EQ(after.layer("既存壁"), before[k].layer("既存壁"));
        EXPECT_EQ(after.layer("A-通り芯"), before[k].layer("A-通り芯"));
        EXPECT_EQ(after.counts, before[k].counts);
    }
}

// drawhost killed during a run: the run stops at once with one message that
// says so, then the report counts the drawings left as not converted.
TEST_F(DrawhostRunTest, AHostKilledDuringARunStopsItWithOneMessage) {
    const QStringList paths{copySample("site-R12.dxf", "a.dxf"), copySample("site-R12.dxf", "b.dxf"),
                            copySample("site-R12.dxf", "c.dxf")};
    QFile original(paths[1]);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray untouched = original.readAll();
    frmMain& w = open();
    int calls = 0;
    w.operations.applyLayerNameRules = [&](host::ApplicationPtr app, const QString& name, const QString& path,
                                           const support::ListTable& rules, bool& bNoChange,
                                           support::StatusLabel& label) {
        ++calls;
        const bool ok = host::fun_bApplyLayerNameRules(app, name, path, rules, bNoChange, label);
        if (calls == 1) ::kill(pid_t(provider->lastStartedPid()), SIGKILL);
        return ok;
    };
    w.show();
    w.subAddFiles(paths);
    w.CmdSelectAllDWGs->click();
    appendRow(*w.LstvLayerName, {"^TMP_", "T-"});
    w.CmdSelectAllLayerName->click();

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    EXPECT_EQ(calls, 2);
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.messages[0].text, hostLostMessage());
    EXPECT_EQ(messages.last().text,
              "1 件のファイルについて画層名変更が正常終了しました。\r\n2 件変換できなかったファイルが存在します。");
    EXPECT_TRUE(readWithEzdxf(paths[0]).has("T-WALL"));
    QFile b(paths[1]);
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), untouched);
}

// DWG copies through a real drawhost, read back with the engine (which checks
// every CRC and checksum): renamed and merged, or restyled, and saved in
// their own version; an R14 drawing cannot be saved with changes, so it
// fails and keeps its bytes.
struct DwgLayer {
    bool on, frozen, locked;
    int color, lineweight;
    std::size_t objects;
    bool operator==(const DwgLayer&) const = default;
};

std::map<std::string, DwgLayer> readDwg(const QString& path) {
    std::map<std::string, DwgLayer> out;
    auto d = dxf::Drawing::open(path.toStdString());
    for (const dxf::Layer& l : d->layers())
        out[l.name()] = DwgLayer{l.layerOn(), l.freeze(), l.lock(), l.color(), l.lineweight(), d->layerUsage(l).objects};
    return out;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DwgRunTest : public DrawhostRunTest {
protected:
    QString copyDwg(const char* corpusName) {
        const QString path = folder.filePath(QStringLiteral("図面 ") + QString::fromUtf8(corpusName));
        EXPECT_TRUE(QFile::copy(QStringLiteral(LAMINOR_CORPUS_DIR "/") + QString::fromUtf8(corpusName), path));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    }
    const std::vector<const char*> saved{"acadsharp_sample_AC1015.dwg", "acadsharp_sample_AC1018.dwg",
                                         "acadsharp_sample_AC1032.dwg", "libredwg_example_2018.dwg"};
};

TEST_F(DwgRunTest, RenameRunSavesEveryDwgInItsVersionAndFailsTheR14One) {
    QStringList paths;
    std::vector<std::map<std::string, DwgLayer>> before;
    for (const char* name : saved) {
        paths << copyDwg(name);
        before.push_back(readDwg(paths.last()));
    }
    const QString r14 = copyDwg("acadsharp_sample_AC1014.dwg");
    const QByteArray r14Bytes = bytesOf(r14);
    frmMain& w = openWired();
    w.subAddFiles(paths + QStringList{r14});
    w.CmdSelectAllDWGs->click();
    appendRow(*w.LstvLayerName, {"^Layer_", "L-"});
    appendRow(*w.LstvLayerName, {"^Layer1$", "Layer2"});      // merges: Layer2 exists
    appendRow(*w.LstvLayerName, {"^Tavolo 2$", "Tavolo 3"});  // merges
    appendRow(*w.LstvLayerName, {"^Tavolo 3$", "机"});
    appendRow(*w.LstvLayerName, {"^LAYER_OFF$", "消灯"});  // only the R14 drawing's names are upper case
    for (int i = 0; i < 5; ++i) w.LstvLayerName->topLevelItem(i)->setSelected(true);

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    // The R14 drawing's failed save says why, then the report counts it.
    ASSERT_EQ(messages.count(), 2);
    EXPECT_TRUE(messages.messages[0].text.startsWith("図面を保存できませんでした。\r\n")) << messages.messages[0].text.toStdString();
    EXPECT_TRUE(messages.messages[0].text.contains("R14")) << messages.messages[0].text.toStdString();
    EXPECT_EQ(messages.last().text,
              "4 件のファイルについて画層名変更が正常終了しました。\r\n1 件変換できなかったファイルが存在します。");
    EXPECT_EQ(bytesOf(r14), r14Bytes);
    for (std::size_t k = 0; k < saved.size(); ++k) {
        SCOPED_TRACE(saved[k]);
        // Layer1 merges into Layer2, Tavolo 2 into Tavolo 3, which is then
        // renamed: a merge keeps the target's settings and adds the objects.
        std::map<std::string, DwgLayer> expected;
        for (const auto& [name, layer] : before[k]) {
            if (name == "Layer1" || name == "Tavolo 2") continue;
            std::string to = name;
            if (name.rfind("Layer_", 0) == 0) to = "L-" + name.substr(6);
            if (name == "Tavolo 3") to = "机";
            expected[to] = layer;
        }
        if (before[k].count("Layer1")) expected.at("Layer2").objects += before[k].at("Layer1").objects;
        if (before[k].count("Tavolo 2")) expected.at("机").objects += before[k].at("Tavolo 2").objects;
        // The run purges what is left unused.
        std::erase_if(expected, [](const auto& e) { return !e.second.objects && e.first != "0" && e.first != "Defpoints"; });
        std::map<std::string, DwgLayer> after;
        ASSERT_NO_THROW(after = readDwg(paths[static_cast<int>(k)]));
        EXPECT_EQ(after, expected);
        auto d = dxf::Drawing::open(paths[static_cast<int>(k)].toStdString());
        EXPECT_EQ(d->activeLayer().name(), "0");
        EXPECT_EQ(bytesOf(paths[static_cast<int>(k)]).left(6),
                  bytesOf(QStringLiteral(LAMINOR_CORPUS_DIR "/") + QString::fromUtf8(saved[k])).left(6));
    }
}

TEST_F(DwgRunTest, StateRunRestylesDwgLayersAndKeepsTheirObjects) {
    QStringList paths;
    std::vector<std::map<std::string, DwgLayer>> before;
    for (const char* name : saved) {
        paths << copyDwg(name);
        before.push_back(readDwg(paths.last()));
    }
    frmMain& w = openWired();
    w.subSetMode(2);
    appendRow(*w.LstvLayerState,
              {"Layer1|Tavolo 2", "しない", "(変更なし)", "する", "1", "(変更なし)", "0.30 mm", "(変更なし)", "(変更なし)"});
    appendRow(*w.LstvLayerState,
              {"Layer2", "(変更なし)", "する", "(変更なし)", "3", "(変更なし)", "(変更なし)", "(変更なし)", "(変更なし)"});
    w.CmdSelectAllLayerNameState->click();
    w.subAddFiles(paths);
    w.CmdSelectAllDWGs->click();

    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "4 件のファイルについて画層状態変更が正常終了しました。");
    for (std::size_t k = 0; k < saved.size(); ++k) {
        SCOPED_TRACE(saved[k]);
        std::map<std::string, DwgLayer> expected = before[k];
        for (const char* name : {"Layer1", "Tavolo 2"})
            if (expected.count(name)) {
                DwgLayer& l = expected.at(name);
                l.on = false, l.locked = true, l.color = 1, l.lineweight = 30;
            }
        if (expected.count("Layer2")) expected.at("Layer2").frozen = true, expected.at("Layer2").color = 3;
        EXPECT_EQ(readDwg(paths[static_cast<int>(k)]), expected);
    }
}

}  // namespace
}  // namespace mainwin
