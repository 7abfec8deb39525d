// "laminor-batch script" as a scheduler runs it: from a program folder of its
// own (the program, drawhost and Laminor.ini), over copies of the sample
// drawings; the final script, the PDFs the hosts plot (read with pdfinfo) and
// the drawings saved or left alone (read with ezdxf).
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "support/TextFile.h"

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// The base script that plots every layout to the PDF device, A3 landscape.
const char* kPlotBase =
    "; every layout\r\n-PLOT\r\nY\r\n<LAYOUT>\r\n<PRINTER>\r\n<PAPERSIZE>\r\nM\r\nL\r\nN\r\nL\r\nF\r\nC\r\nY\r\n"
    "monochrome.ctb\r\nY\r\nN\r\nN\r\nN\r\n\r\nN\r\nY\r\n";

class ScriptCommand : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        for (const char* sub : {"prog", "dwg"}) dir.mkdir(sub);
        // The program reads Laminor.ini beside itself and starts drawhost from there.
        ASSERT_TRUE(QFile::copy(LAMINOR_BATCH_EXE, dir.filePath("prog/laminor-batch")));
        ASSERT_TRUE(QFile::copy(DRAWHOST_EXE, dir.filePath("prog/drawhost")));
        for (const char* name : {"floor-plan.dxf", "site-R12.dxf", "details-R2018.dxf"})
            ASSERT_TRUE(QFile::copy(QDir(LAMINOR_SAMPLES_DIR).filePath(name), drawing(name)));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("CUPS_SERVER", "/nonexistent/laminor-test/cups.sock");
        env.insert("DRAWHOST_SOCKET", dir.filePath("run/drawhost.sock"));
    }
    QString drawing(const QString& name) const { return dir.filePath("dwg/" + name); }
    void write(const QString& name, const QString& text) {
        QString error;
        EXPECT_TRUE(support::writeTextFile(dir.filePath(name), text, &error)) << error.toStdString();
    }
    void settings(const QString& lines) { write("prog/Laminor.ini", "[ScriptEnv]\r\n" + lines); }
    Result run(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(dir.filePath("prog/laminor-batch"), QStringList{"script"} + args);
        Result r;
        if (!p.waitForFinished(300000)) {
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
    QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir tmp;
    QDir dir{tmp.path()};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

QString pdfInfo(const QString& path) {
    QProcess p;
    p.start("pdfinfo", {path});
    p.waitForFinished(60000);
    QString pages, size;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("Pages:")) pages = line.mid(6).trimmed();
        if (line.startsWith("Page size:")) size = line.mid(10).trimmed().section(' ', 0, 2);
    }
    return pages + " page, " + size;
}

TEST_F(ScriptCommand, EveryLayoutOfEveryDrawingIsPlottedByTwoConsoleHosts) {
    settings("CboScriptFilterLayout=(全てを対象)\r\nCboKeyPtinter=DWG To PDF.pc3\r\nCboKeyPaperSize=A3\r\n");
    write("base.scr", kPlotBase);
    write("head.scr", "filedia\r\n0\r\n");
    write("foot.scr", "filedia\r\n1\r\n");
    const Result r = run({"--base", dir.filePath("base.scr"), "--out", dir.filePath("final.scr"), "--header",
                          dir.filePath("head.scr"), "--footer", dir.filePath("foot.scr"), "--in-process", "--run",
                          "-j", "2", dir.filePath("dwg")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("[1] drawhost: ok") && r.out.contains("[2] drawhost: ok")) << r.out.toStdString();

    // The final script: header, one block per drawing in list order, footer.
    const QByteArray final = bytes(dir.filePath("final.scr"));
    EXPECT_TRUE(final.startsWith("filedia\r\n0\r\nopen\r\n\"" + drawing("details-R2018.dxf").toUtf8() + "\"\r\nzoom\r\na\r\n-PLOT\r\nY\r\n\"Layout1\"\r\nDWG To PDF.pc3\r\nA3\r\n"));
    EXPECT_TRUE(final.endsWith("\r\nclose\r\ny\r\nfiledia\r\n1\r\n"));
    EXPECT_EQ(final.count("\r\n-PLOT\r\n"), 7);

    QStringList pdfs = QDir(dir.filePath("dwg")).entryList({"*.pdf"}, QDir::Files, QDir::Name);
    EXPECT_EQ(pdfs, (QStringList{"details-R2018-Layout1.pdf", "details-R2018-Layout2.pdf", "details-R2018-配置3.pdf",
                                 "floor-plan-Layout1.pdf", "floor-plan-Layout2.pdf", "floor-plan-配置3.pdf",
                                 "site-R12-Layout1.pdf"}));
    for (const QString& pdf : pdfs) EXPECT_EQ(pdfInfo(dir.filePath("dwg/" + pdf)), "1 page, 1191 x 842") << pdf.toStdString();
}

TEST_F(ScriptCommand, ThroughARunningDrawhostSaveDecidesWhetherTheDrawingKeepsTheChange) {
    settings("CboScriptFilterLayer=壁\r\nCboScriptFilterLayerClass=0\r\n");
    // The empty line ends -LAYER; empty lines at the very end would be trimmed away.
    write("base.scr", "-LAYER\r\nC\r\n1\r\n<LAYERNAME>\r\n\r\nREGEN\r\n");
    QDir().mkpath(dir.filePath("run"));
    QProcess host;
    host.setProcessEnvironment(env);
    host.start(DRAWHOST_EXE, {"--socket", env.value("DRAWHOST_SOCKET")});
    ASSERT_TRUE(host.waitForStarted());
    for (int i = 0; i < 200 && !QFileInfo::exists(env.value("DRAWHOST_SOCKET")); ++i) QThread::msleep(50);

    const QString plan = drawing("floor-plan.dxf");
    const QByteArray original = bytes(plan);
    const Result discard = run({"--base", dir.filePath("base.scr"), "--run", plan});
    EXPECT_EQ(discard.exitCode, 0) << discard.out.toStdString() << discard.err.toStdString();
    EXPECT_TRUE(bytes(dir.filePath("prog/Laminor_script.scr")).endsWith("\r\n-LAYER\r\nC\r\n1\r\n\"\x95\xc7\"\r\n\r\nREGEN\r\nclose\r\ny\r\n"));
    EXPECT_EQ(bytes(plan), original);

    const Result save = run({"--base", dir.filePath("base.scr"), "--save", "--run", plan});
    host.kill();
    host.waitForFinished();
    EXPECT_EQ(save.exitCode, 0) << save.err.toStdString();
    QProcess check;
    check.start("/usr/bin/python3", {LAYER_CHECK_PY, plan});
    ASSERT_TRUE(check.waitForFinished(120000));
    const QJsonObject file = QJsonDocument::fromJson(check.readAllStandardOutput()).object()[plan].toObject();
    EXPECT_EQ(file["audit_errors"].toInt(), 0);
    for (const QJsonValue& v : file["layers"].toArray())
        if (v.toObject()["name"] == "壁") EXPECT_EQ(v.toObject()["color"].toInt(), 1);
}

TEST_F(ScriptCommand, ADrawingWhosePathHoldsADoubleQuoteFailsAlone) {
    const QString quoted = drawing("a\"b.dxf");
    ASSERT_TRUE(QFile::copy(drawing("site-R12.dxf"), quoted));
    write("base.scr", "REGEN\r\n");
    const Result r = run({"--base", dir.filePath("base.scr"), "--in-process", quoted, drawing("site-R12.dxf")});
    EXPECT_EQ(r.exitCode, 1);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("failed\t" + quoted + "\tファイルのパスに")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "done\t" + drawing("site-R12.dxf"));
    EXPECT_FALSE(bytes(dir.filePath("prog/Laminor_script.scr")).contains("a\"b"));
}

TEST_F(ScriptCommand, UsageErrorsEndWithStatusTwo) {
    write("base.scr", "REGEN\r\n");
    const QList<QStringList> cases = {
        {drawing("site-R12.dxf")},
        {"--base", dir.filePath("none.scr"), drawing("site-R12.dxf")},
        {"--base", dir.filePath("base.scr"), "-j", "2", drawing("site-R12.dxf")},
        {"--base", dir.filePath("base.scr"), "--header", dir.filePath("none.scr"), drawing("site-R12.dxf")},
        {"--base", dir.filePath("base.scr"), dir.filePath("dwg/none")},
    };
    for (const QStringList& args : cases) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("prog/Laminor_script.scr")));
}

}  // namespace
