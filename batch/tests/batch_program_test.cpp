// laminor-batch as a user runs it: over copies of the sample drawings, in
// this process's engine and through a real drawhost, with the drawings it
// writes read back by ezdxf, and with the report, the per-drawing lines and
// the exit status checked; bad inputs end with status 2 and touch nothing.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include "engine/Drawing.h"
#include "host/HostApi.h"
#include "host/client/RemoteHost.h"
#include "support/TextFile.h"

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList outLines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

const QString kRenameRules =
    "\"No\",\"検索文字\",\"置換文字\"\r\n\"1\",\"^A-\",\"B-\"\r\n\"2\",\"^TMP_\",\"A-\"\r\n\"3\",\"^旧\",\"既存\"\r\n";
// Layers named A-... get colour 1 and are locked; 寸法 is frozen.
const QString kStateRules =
    "\"No\",\"画層名規則\",\"表示\",\"ﾌﾘｰｽﾞ\",\"ﾛｯｸ\",\"色\",\"線種\",\"線の太さ\",\"印刷ｽﾀｲﾙ\",\"印刷\"\r\n"
    "\"1\",\"A-.*\",\"(変更なし)\",\"(変更なし)\",\"する\",\"1\",\"(変更なし)\",\"(変更なし)\",\"(変更なし)\",\"("
    "変更なし)\"\r\n"
    "\"2\",\"寸法\",\"(変更なし)\",\"する\",\"(変更なし)\",\"(変更なし)\",\"(変更なし)\",\"(変更なし)\",\"("
    "変更なし)\",\"(変更なし)\"\r\n";

class BatchProgram : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        dir.mkdir("dwg");
        for (const char* name : {"floor-plan.dxf", "site-R12.dxf", "details-R2018.dxf"})
            ASSERT_TRUE(QFile::copy(QDir(LAMINOR_SAMPLES_DIR).filePath(name), drawing(name)));
        rename = writeRules("rename.csv", kRenameRules);
        state = writeRules("state.csv", kStateRules);
    }
    QString drawing(const QString& name) const { return dir.filePath("dwg/" + name); }
    QString writeRules(const QString& name, const QString& text) {
        const QString path = dir.filePath(name);
        QString error;
        EXPECT_TRUE(support::writeTextFile(path, text, &error)) << error.toStdString();
        return path;
    }
    Result run(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(LAMINOR_BATCH_EXE, args);
        Result r;
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "laminor-batch did not finish";
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    // Layers of drawings as ezdxf reads them: path -> {name -> layer object}, and the audit.
    QJsonObject check(const QStringList& paths) {
        QProcess p;
        p.start("/usr/bin/python3", QStringList{LAYER_CHECK_PY} + paths);
        EXPECT_TRUE(p.waitForFinished(120000));
        const QJsonObject all = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        EXPECT_FALSE(all.isEmpty()) << p.readAllStandardError().toStdString();
        return all;
    }
    static QJsonObject layer(const QJsonObject& file, const QString& name) {
        for (const QJsonValue& v : file["layers"].toArray())
            if (v.toObject()["name"].toString() == name) return v.toObject();
        return {};
    }
    static QStringList layerNames(const QJsonObject& file) {
        QStringList names;
        for (const QJsonValue& v : file["layers"].toArray()) names << v.toObject()["name"].toString();
        return names;
    }
    QByteArray hashOf(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }
    // Headless, with the drawhost socket at `socket` (its folder made).
    static QProcessEnvironment hostEnvironment(const QString& socket) {
        QDir().mkpath(QFileInfo(socket).path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("DRAWHOST_SOCKET", socket);
        return env;
    }
    QStringList drawings() const {
        return {drawing("details-R2018.dxf"), drawing("floor-plan.dxf"), drawing("site-R12.dxf")};
    }

    QTemporaryDir tmp;
    QDir dir{tmp.path()};
    QString rename, state;
};

// After the rename rules no entity of a layout stays on a layer they rename
// (a layer that block definitions still use may stay in the table), and no
// entity points to a layer the table lacks that did not before.
void expectRenamed(const QJsonObject& file, const QJsonObject& original) {
    EXPECT_EQ(file["audit_errors"].toInt(), 0);
    EXPECT_EQ(file["missing_layers"].toInt(), original["missing_layers"].toInt());
    for (const QJsonValue& v : file["layers"].toArray()) {
        const QString name = v.toObject()["name"].toString();
        const bool renamed = (name.startsWith("A-") && name != "A-WALL" && name != "A-GRID") ||
                             name.startsWith("TMP_") || name.startsWith("旧");
        if (renamed) EXPECT_EQ(v.toObject()["used"].toInt(), 0) << name.toStdString();
    }
}

TEST_F(BatchProgram, RenameInProcessChangesEveryDrawingAndReportsLikeTheWindow) {
    const QJsonObject original = check(drawings());
    const Result r = run({"rename", "--in-process", "--rules", rename, dir.filePath("dwg")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.outLines();
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString();
    EXPECT_EQ(lines[0], "done\t" + drawing("details-R2018.dxf"));
    EXPECT_EQ(lines[2], "done\t" + drawing("site-R12.dxf"));
    EXPECT_EQ(lines[3], "3 件のファイルについて画層名変更が正常終了しました。");

    const QJsonObject all = check(drawings());
    const QJsonObject plan = all[drawing("floor-plan.dxf")].toObject();
    // A-WALL merges into B-WALL, and TMP_WALL then takes the freed name A-WALL.
    EXPECT_GT(layer(plan, "B-WALL")["used"].toInt(), 0);
    EXPECT_GT(layer(plan, "A-WALL")["used"].toInt(), 0);
    EXPECT_FALSE(layer(plan, "A-DOOR").contains("name"));
    EXPECT_GT(layer(plan, "B-DOOR")["used"].toInt(), 0);
    for (const QString& path : drawings()) expectRenamed(all[path].toObject(), original[path].toObject());
}

TEST_F(BatchProgram, StateInProcessWritesTheRuleSettingsAndLeavesTheRestAlone) {
    const QJsonObject before = check({drawing("floor-plan.dxf")})[drawing("floor-plan.dxf")].toObject();
    const Result r = run({"state", "--in-process", "--rules", state, drawing("floor-plan.dxf")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.outLines().last(), "1 件のファイルについて画層状態変更が正常終了しました。");
    const QJsonObject after = check({drawing("floor-plan.dxf")})[drawing("floor-plan.dxf")].toObject();
    EXPECT_EQ(after["audit_errors"].toInt(), 0);
    for (const QString& name : layerNames(before)) {
        const QJsonObject a = layer(before, name), b = layer(after, name);
        if (name.startsWith("A-")) {
            EXPECT_EQ(b["color"].toInt(), 1) << name.toStdString();
            EXPECT_TRUE(b["locked"].toBool()) << name.toStdString();
            EXPECT_EQ(b["frozen"], a["frozen"]) << name.toStdString();
        } else if (name == "寸法") {
            EXPECT_TRUE(b["frozen"].toBool());
            EXPECT_EQ(b["color"], a["color"]);
        } else {
            EXPECT_EQ(a, b) << name.toStdString();
        }
    }
}

TEST_F(BatchProgram, SeveralAtOnceGiveTheSameLinesReportAndDrawingsAsOneAtATime) {
    QDir().mkpath(dir.filePath("serial"));
    QStringList serial;
    for (const QString& path : drawings()) {
        serial << dir.filePath("serial/" + QFileInfo(path).fileName());
        ASSERT_TRUE(QFile::copy(path, serial.last()));
    }
    // A drawing listed twice: its second turn works on what the first one
    // saved (the rules rename TMP_WALL to A-WALL, which a second pass merges
    // into B-WALL), so the drawing only matches the serial run's when the two
    // turns did not overlap.
    const Result one = run({"rename", "--in-process", "-j", "1", "--rules", rename, dir.filePath("serial"),
                            dir.filePath("serial/site-R12.dxf")});
    const Result two = run({"rename", "--in-process", "-j", "2", "--rules", rename, dir.filePath("dwg"),
                            drawing("site-R12.dxf")});
    ASSERT_EQ(one.exitCode, 0);
    ASSERT_EQ(two.exitCode, 0);
    EXPECT_EQ(QString(one.out).replace("/serial/", "/dwg/"), two.out);
    for (int i = 0; i < serial.size(); ++i) EXPECT_EQ(hashOf(serial[i]), hashOf(drawings()[i])) << i;
}

TEST_F(BatchProgram, DryRunTellsTheChangesAndSavesNothing) {
    QList<QByteArray> before;
    for (const QString& path : drawings()) before << hashOf(path);
    const Result r = run({"rename", "--dry-run", "-j", "2", "--rules", rename, dir.filePath("dwg")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\trename TMP_GRID -> A-GRID") || r.out.contains("\tmerge TMP_GRID -> A-GRID"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\tmerge 旧壁 -> 既存壁")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\trename A-DOOR -> B-DOOR")) << r.out.toStdString();
    const Result s = run({"state", "--dry-run", "--rules", state, drawing("floor-plan.dxf")});
    ASSERT_EQ(s.exitCode, 0) << s.err.toStdString();
    EXPECT_TRUE(s.out.contains("\tstate 寸法: ﾌﾘｰｽﾞ しない -> する")) << s.out.toStdString();
    for (int i = 0; i < before.size(); ++i) EXPECT_EQ(hashOf(drawings()[i]), before[i]) << i;
    EXPECT_EQ(QDir(dir.filePath("dwg")).entryList(QDir::Files).size(), 3);
}

TEST_F(BatchProgram, UnchangedAndFailedDrawingsAreCountedAndSetTheStatus) {
    const QString none = writeRules("none.csv", "1,^NOSUCHLAYER,X\r\n");
    const Result u = run({"rename", "--in-process", "--rules", none, drawing("site-R12.dxf"), drawing("floor-plan.dxf")});
    EXPECT_EQ(u.exitCode, 0);
    EXPECT_EQ(u.outLines(), (QStringList{"unchanged\t" + drawing("site-R12.dxf"), "unchanged\t" + drawing("floor-plan.dxf"),
                                         "2 件のファイルは画層名変更対象外でした。"}));

    QFile broken(drawing("broken.dxf"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("  0\nSECTION\n  2\nHEADER\n  9\n");
    broken.close();
    const Result f = run({"rename", "--in-process", "-j", "2", "--rules", rename, drawing("broken.dxf"),
                          drawing("site-R12.dxf")});
    EXPECT_EQ(f.exitCode, 1);
    const QStringList lines = f.outLines();
    ASSERT_EQ(lines.size(), 4) << f.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("failed\t" + drawing("broken.dxf") + "\t")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "done\t" + drawing("site-R12.dxf"));
    EXPECT_EQ(lines[2], "1 件のファイルについて画層名変更が正常終了しました。");
    EXPECT_EQ(lines[3], "1 件変換できなかったファイルが存在します。");
    // The drawing's message box went to standard error, with the program's title.
    EXPECT_TRUE(f.err.contains("[Stratakit Ver1.00]")) << f.err.toStdString();
}

TEST_F(BatchProgram, BadInputsEndWithStatusTwoAndTouchNothing) {
    const QByteArray before = hashOf(drawing("floor-plan.dxf"));
    struct Case {
        QStringList args;
        QString says;
    };
    const QList<Case> cases = {
        {{"rename", "--in-process", "--rules", dir.filePath("missing.csv"), drawing("floor-plan.dxf")}, "missing.csv"},
        {{"state", "--in-process", "--rules", rename, drawing("floor-plan.dxf")}, "10"},
        {{"rename", "--in-process", "--rules", rename, dir.filePath("nothing-here")}, "処理するDWGファイルが見つかりません。"},
        {{"rename", "--in-process", "--rules", rename}, "処理するDWGファイルが見つかりません。"},
        {{"--rules", rename, drawing("floor-plan.dxf")}, "rename"},
        {{"rename", "-j", "2", "--rules", rename, drawing("floor-plan.dxf")}, "--in-process"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(hashOf(drawing("floor-plan.dxf")), before);
    const Result help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("使い方") && help.out.contains("Usage:"));
}

#ifdef DRAWHOST_EXE
// A drawing whose file name is not UTF-8 cannot be named by the run's text
// paths: it gets a failed line that shows its name, and is counted.
TEST_F(BatchProgram, DrawingsWhoseNamesAreNotUtf8AreReportedAndCounted) {
    const QByteArray odd = QFile::encodeName(dir.filePath("dwg")) + "/\xff\xfe.dxf";
    {
        QFile source(drawing("site-R12.dxf"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
    }
    const Result r = run({"rename", "--in-process", "--rules", rename, dir.filePath("dwg")});
    ::unlink(odd.constData());
    EXPECT_EQ(r.exitCode, 1);
    const QStringList lines = r.outLines();
    ASSERT_EQ(lines.size(), 6) << r.out.toStdString();
    EXPECT_TRUE(lines[3].startsWith("failed\t" + dir.filePath("dwg") + "/\\xFF\\xFE.dxf\tファイル名が UTF-8 ではない"))
        << lines[3].toStdString();
    EXPECT_EQ(lines[4], "3 件のファイルについて画層名変更が正常終了しました。");
    EXPECT_EQ(lines[5], "1 件変換できなかったファイルが存在します。");
}

// A full disk: the save fails, the line says why and names the file, and
// the drawing keeps its bytes. The disk is a small tmpfs mounted for the test.
TEST_F(BatchProgram, AFailedSaveTellsItsCause) {
    const QString full = dir.filePath("full");
    QDir().mkpath(full);
    const QByteArray mountPoint = QFile::encodeName(full);
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=320k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const QString plan = full + "/floor-plan.dxf";
    const bool copied = QFile::copy(drawing("floor-plan.dxf"), plan);
    const QByteArray before = copied ? hashOf(plan) : QByteArray();
    const Result r = copied ? run({"rename", "--in-process", "--rules", rename, plan}) : Result{};
    const QByteArray after = copied ? hashOf(plan) : QByteArray();
    const QStringList entries = QDir(full).entryList(QDir::Files | QDir::Hidden);
    ::umount(mountPoint.constData());
    ASSERT_TRUE(copied);
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_FALSE(r.outLines().isEmpty()) << r.err.toStdString();
    const QString line = r.outLines().first();
    EXPECT_TRUE(line.startsWith("failed\t" + plan + "\t図面を保存できませんでした。")) << line.toStdString();
    EXPECT_TRUE(line.contains("No space left on device")) << line.toStdString();
    EXPECT_TRUE(line.contains(plan)) << line.toStdString();
    EXPECT_EQ(after, before);
    EXPECT_EQ(entries, QStringList{"floor-plan.dxf"});
}

// Through a drawhost started for the test on a private socket, as laminor
// reaches the user's host.
TEST_F(BatchProgram, BothModesThroughARunningDrawhost) {
    const QJsonObject original = check(drawings());
    const QString socket = dir.filePath("run/drawhost.sock");
    const QProcessEnvironment env = hostEnvironment(socket);
    QProcess host;
    host.setProcessEnvironment(env);
    host.start(DRAWHOST_EXE, {"--socket", socket});
    ASSERT_TRUE(host.waitForStarted());
    for (int i = 0; i < 200 && !QFileInfo::exists(socket); ++i) QThread::msleep(50);

    const Result r = run({"rename", "--rules", rename, dir.filePath("dwg")}, env);
    const Result s = run({"state", "--rules", state, drawing("floor-plan.dxf")}, env);
    host.kill();
    host.waitForFinished();
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.outLines().last(), "3 件のファイルについて画層名変更が正常終了しました。");
    ASSERT_EQ(s.exitCode, 0) << s.err.toStdString();
    EXPECT_EQ(s.outLines().last(), "1 件のファイルについて画層状態変更が正常終了しました。");
    const QJsonObject all = check(drawings());
    for (const QString& path : drawings()) expectRenamed(all[path].toObject(), original[path].toObject());
    const QJsonObject plan = all[drawing("floor-plan.dxf")].toObject();
    EXPECT_EQ(layer(plan, "A-WALL")["color"].toInt(), 1);
    EXPECT_TRUE(layer(plan, "A-WALL")["locked"].toBool());
    EXPECT_TRUE(layer(plan, "寸法")["frozen"].toBool());
}

class BatchThroughDrawhost : public BatchProgram {
protected:
    void SetUp() override {
        BatchProgram::SetUp();
        socket = dir.filePath("run/drawhost.sock");
        env = hostEnvironment(socket);
    }
    void TearDown() override {
        host.kill();
        host.waitForFinished();
    }
    // drawhost, with the drawings the user opened in it.
    void startHost(const QStringList& opened = {}) {
        host.setProcessEnvironment(env);
        host.start(DRAWHOST_EXE, QStringList{"--socket", socket} + opened);
        ASSERT_TRUE(host.waitForStarted());
        for (int i = 0; i < 200 && !QFileInfo::exists(socket); ++i) QThread::msleep(50);
    }
    int openInHost() {
        host::ApplicationPtr app = host::connectRemoteHost(socket);
        return app->documents()->count();
    }
    QString socket;
    QProcessEnvironment env;
    QProcess host;
};

TEST_F(BatchThroughDrawhost, ReadOnlyDrawingsFailAndDrawingsOpenInTheHostAreToldUnsaved) {
    startHost({drawing("floor-plan.dxf")});
    QFile::setPermissions(drawing("site-R12.dxf"), QFile::ReadOwner | QFile::ReadGroup);
    QList<QByteArray> before;
    for (const QString& path : drawings()) before << hashOf(path);
    const Result r = run({"rename", "--rules", rename, dir.filePath("dwg")}, env);
    EXPECT_EQ(r.exitCode, 1);
    const QStringList lines = r.outLines();
    ASSERT_EQ(lines.size(), 6) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(lines[0], "done\t" + drawing("details-R2018.dxf"));
    EXPECT_TRUE(lines[1].startsWith("done\t" + drawing("floor-plan.dxf") + "\t保存していません")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("failed\t" + drawing("site-R12.dxf") + "\t図面ファイルを保存できないため"))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains("read-only")) << lines[2].toStdString();
    EXPECT_EQ(lines[3], "2 件のファイルについて画層名変更が正常終了しました。");
    EXPECT_EQ(lines[4], "1 件変換できなかったファイルが存在します。");
    EXPECT_EQ(lines[5], "（うち 1 件は AutoCAD で開いていた図面のため、変更を保存していません。）");
    EXPECT_NE(hashOf(drawing("details-R2018.dxf")), before[0]);
    EXPECT_EQ(hashOf(drawing("floor-plan.dxf")), before[1]);  // changed in the host only
    EXPECT_EQ(hashOf(drawing("site-R12.dxf")), before[2]);
}

// A client that opened a drawing and vanished half-way (killed) leaves it
// half-changed; drawhost closes it unsaved, and the next run works on the file.
TEST_F(BatchThroughDrawhost, ADrawingAVanishedClientHalfChangedIsNotTakenForTheUsers) {
    startHost();
    {
        host::ApplicationPtr app = host::connectRemoteHost(socket);
        host::DocumentPtr doc = app->documents()->open(drawing("site-R12.dxf"));
        doc->layers()->item("A-WALL")->setName("HALF-DONE");
        ASSERT_EQ(app->documents()->count(), 1);
    }  // gone without closing it
    for (int i = 0; i < 200 && openInHost() != 0; ++i) QThread::msleep(50);
    EXPECT_EQ(openInHost(), 0);
    const Result r = run({"rename", "--rules", rename, drawing("site-R12.dxf")}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.outLines().first(), "done\t" + drawing("site-R12.dxf"));
    const QJsonObject saved = check({drawing("site-R12.dxf")})[drawing("site-R12.dxf")].toObject();
    EXPECT_FALSE(layer(saved, "HALF-DONE").contains("name"));
    EXPECT_TRUE(layer(saved, "B-WALL").contains("name"));
}

// The drawhost that a run starts stays open for the user; it must not keep
// the run's output open, or a pipeline reading that output never ends.
TEST_F(BatchProgram, AStartedDrawhostLeavesTheOutputToEnd) {
    const QString socket = dir.filePath("started/drawhost.sock");
    const QProcessEnvironment env = hostEnvironment(socket);
    QProcess pipeline;
    pipeline.setProcessEnvironment(env);
    pipeline.start("/bin/sh", {"-c", "\"$0\" state --rules \"$1\" \"$2\" | cat", LAMINOR_BATCH_EXE, state,
                               drawing("floor-plan.dxf")});
    const bool ended = pipeline.waitForFinished(60000);
    QProcess::execute("/usr/bin/pkill", {"-f", socket});
    ASSERT_TRUE(ended);
    EXPECT_TRUE(QString::fromUtf8(pipeline.readAllStandardOutput())
                    .contains("1 件のファイルについて画層状態変更が正常終了しました。"));
}
#endif

}  // namespace

// Mode 3 headless: every layer of every drawing in a saved workbook, read back by openpyxl.
TEST_F(BatchProgram, SurveyWritesEveryLayerOfEveryDrawingToTheWorkbook) {
    const QString out = dir.filePath("survey.xlsx");
    const Result r = run({"survey", "--out", out, "--count", "--text", drawing("floor-plan.dxf"), drawing("site-R12.dxf")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_TRUE(QFile::exists(out));

    QProcess p;
    p.start("/usr/bin/python3",
            {"-c",
             "import openpyxl,sys\n"
             "wb=openpyxl.load_workbook(sys.argv[1])\n"
             "print('|'.join(wb.sheetnames))\n"
             "ws=wb['画層情報']\n"
             "rows=list(ws.iter_rows(values_only=True))\n"
             "print(len(rows[0]), rows[0][0], rows[0][13])\n"
             "print(sorted(set(r[1].rsplit('/',1)[-1] for r in rows[1:])))\n"
             "print(type(rows[1][0]).__name__, type(rows[1][6]).__name__)\n"
             "t=list(wb['文字出力'].iter_rows(values_only=True))\n"
             "print(t[0][4], all(isinstance(r[4], str) and not r[4].startswith(\"'\") for r in t[1:]), len(t) > 1)\n",
             out});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 5) << p.readAllStandardError().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("画層情報|文字出力|画層名変更規則|画層状態変更規則|list_source"));
    EXPECT_EQ(lines[1], QStringLiteral("14 No ダイナミックテキスト総数"));
    EXPECT_EQ(lines[2], QStringLiteral("['floor-plan.dxf', 'site-R12.dxf']"));
    EXPECT_EQ(lines[3], QStringLiteral("int int"));  // No and colour stay numbers
    EXPECT_EQ(lines[4], QStringLiteral("ハンドル値 True True"));  // handles are texts, without the apostrophe
}

// The workbook is written whole or not at all; only .xlsx is written.
TEST_F(BatchProgram, SurveyThatCannotWriteItsWorkbookSaysSoAndLeavesNothing) {
    const QString blocked = dir.filePath("no-such-folder/survey.xlsx");
    Result r = run({"survey", "--out", blocked, drawing("floor-plan.dxf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("保存できませんでした。"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(blocked + ".partial.xlsx"));

    r = run({"survey", "--out", dir.filePath("survey.ods"), drawing("floor-plan.dxf")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(QFile::exists(dir.filePath("survey.ods")));
}

// The recipe of the README: GNU Parallel runs laminor-batch over a drawing
// list in shards; the drawings come out as one -j run writes them.
TEST_F(BatchProgram, ShardsRunByGnuParallelWriteWhatOneRunWrites) {
    const QString parallel = QStandardPaths::findExecutable("parallel");
    ASSERT_FALSE(parallel.isEmpty()) << "GNU Parallel is missing (tools/install-deps.sh installs it)";
    QStringList sources;
    for (const char* name : {"floor-plan.dxf", "site-R12.dxf", "english-R2004.dxf", "details-R2018.dxf"})
        sources << QDir(LAMINOR_SAMPLES_DIR).filePath(name);
    QStringList together, sharded;
    for (const QString& folder : {QStringLiteral("together"), QStringLiteral("sharded")}) {
        ASSERT_TRUE(dir.mkdir(folder));
        for (int copy = 0; copy < 2; ++copy)
            for (const QString& source : sources) {
                const QString target = dir.filePath(QStringLiteral("%1/%2-%3").arg(folder).arg(copy).arg(QFileInfo(source).fileName()));
                ASSERT_TRUE(QFile::copy(source, target));
                (folder == "together" ? together : sharded) << target;
            }
    }

    Result one = run({"rename", "--in-process", "-j", "2", "--rules", rename, dir.filePath("together")});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();

    // Two shards at a time, three drawings per laminor-batch call.
    QProcess shards;
    shards.start(parallel, QStringList{"--will-cite", "--jobs", "2", "-n", "3", LAMINOR_BATCH_EXE, "rename", "--in-process",
                                       "--rules", rename, ":::"} + sharded);
    ASSERT_TRUE(shards.waitForFinished(120000));
    ASSERT_EQ(shards.exitCode(), 0) << shards.readAllStandardError().toStdString();

    int changed = 0;
    for (int i = 0; i < together.size(); ++i) {
        QFile a(together[i]), b(sharded[i]), source(sources[i % sources.size()]);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
        const QByteArray bytes = a.readAll();
        EXPECT_EQ(bytes, b.readAll()) << together[i].toStdString();
        changed += bytes != source.readAll();
    }
    EXPECT_GE(changed, 2);  // the rules renamed layers, so the comparison means something
}

// DWG drawings are changed and saved in their own version like DXF ones; an
// R14 drawing, which is read but not saved with changes, fails with the
// reason and keeps its bytes.
TEST_F(BatchProgram, RenameAndStateInProcessSaveDwgDrawings) {
    dir.mkdir("cad");
    const QString r2004 = dir.filePath("cad/plan 2004.dwg"), r14 = dir.filePath("cad/plan r14.dwg");
    ASSERT_TRUE(QFile::copy(LAMINOR_CORPUS_DIR "/acadsharp_sample_AC1018.dwg", r2004));
    ASSERT_TRUE(QFile::copy(LAMINOR_CORPUS_DIR "/acadsharp_sample_AC1014.dwg", r14));
    for (const QString& p : {r2004, r14}) QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
    QFile f(r14);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray r14Bytes = f.readAll();
    f.close();

    const QString rules = writeRules("cad-rename.csv", "\"1\",\"^(Layer1|LAYER1)$\",\"壁\"\r\n");
    Result r = run({"rename", "--in-process", "--rules", rules, dir.filePath("cad")});
    EXPECT_EQ(r.exitCode, 1);
    QStringList lines = r.outLines();
    ASSERT_GE(lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(lines[0], "done\t" + r2004);
    EXPECT_TRUE(lines[1].startsWith("failed\t" + r14) && lines[1].contains("R14")) << lines[1].toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), r14Bytes);

    const QString state = writeRules("cad-state.csv", "\"1\",\"壁\",\"しない\",\"(変更なし)\",\"する\",\"5\",\"(変更なし)\","
                                                      "\"(変更なし)\",\"(変更なし)\",\"(変更なし)\"\r\n");
    r = run({"state", "--in-process", "--rules", state, r2004});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    auto d = dxf::Drawing::open(QFile::encodeName(r2004).toStdString());
    EXPECT_EQ(d->version(), "AC1018");
    const dxf::Layer wall = d->layer("壁");
    EXPECT_FALSE(wall.layerOn());
    EXPECT_TRUE(wall.lock());
    EXPECT_EQ(wall.color(), 5);
    EXPECT_EQ(d->layerUsage(wall).objects, 12u);  // Layer1's objects
}
