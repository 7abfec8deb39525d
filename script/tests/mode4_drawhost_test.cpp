// Mode 4 end to end against a real drawhost (started offscreen on a private
// socket): "実行" expands the base script through drawhost, the editor's
// "実行" types the script into drawhost's command line, drawhost plots every
// layout to a PDF beside its drawing and saves the drawing as ChkDWGSave
// says, and OK in the wait dialog switches file dialogs back on. The PDFs are
// read with pdfinfo, the drawings with ezdxf.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <csignal>

#include "host/client/RemoteProvider.h"
#include "host/frmDialogModal.h"
#include "main/tests/DrawhostWindowFixture.h"
#include "rules/tests/DialogDriver.h"
#include "script/ScriptOperation.h"
#include "script/frmScript.h"
#include "support/TextFile.h"

namespace {

using mainwin::frmMain;
using rulestest::whenShown;

const char* kBase =
    "; paint the walls red, then plot every layout\r\n-LAYER\r\nC\r\n1\r\n壁\r\n\r\n"
    "-PLOT\r\nY\r\n<LAYOUT>\r\n<PRINTER>\r\n<PAPERSIZE>\r\nM\r\nL\r\nN\r\nL\r\nF\r\nC\r\nY\r\nmonochrome.ctb\r\nY\r\n"
    "N\r\nN\r\nN\r\n\r\nN\r\nY\r\n";

class Mode4DrawhostTest : public mainwin::testing::DrawhostWindowTest {
protected:
    QString copySample(const QString& sample) {
        const QString path = folder.filePath(QStringLiteral("dwg/") + sample);
        QDir().mkpath(folder.filePath(QStringLiteral("dwg")));
        EXPECT_TRUE(QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/") + sample, path));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    }
    QStringList pdfs() const {
        return QDir(folder.filePath(QStringLiteral("dwg"))).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    }
    static QString wallColour(const QString& drawing) {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QStringLiteral("import ezdxf,sys; print(ezdxf.readfile(sys.argv[1]).layers.get('壁').color)"),
                 drawing});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
};

TEST_F(Mode4DrawhostTest, TheScriptRunsInDrawhostPlotsEveryLayoutAndSavesAsAsked) {
    QString error;
    ASSERT_TRUE(support::writeTextFile(folder.filePath(QStringLiteral("base.scr")), QString::fromUtf8(kBase), &error));
    ASSERT_TRUE(support::writeTextFile(iniPath(),
                                       QStringLiteral("[ScriptEnv]\r\nCboScriptFilterLayout=(全てを対象)\r\n"
                                                      "CboKeyPtinter=DWG To PDF.pc3\r\nCboKeyPaperSize=A3\r\n"),
                                       &error));
    const QString plan = copySample(QStringLiteral("floor-plan.dxf"));
    const QString site = copySample(QStringLiteral("site-R12.dxf"));

    frmMain& w = open();
    w.operations.makeDWGScript = script::makeDWGScript;
    w.operations.showScriptEditor = [](const QString& merged) { script::frmScript::pu_fun_bShow(merged); };
    w.subSetMode(4);
    w.TxtBaseFile->setText(folder.filePath(QStringLiteral("base.scr")));
    w.subAddFiles({plan, site});
    w.CmdSelectAllDWGs->click();
    w.ChkDWGSave->setChecked(true);
    w.show();

    QString shownScript;
    bool finishedBeforeOk = false;
    whenShown<script::frmScript>([&](script::frmScript* editor) {
        shownScript = editor->TxtScript->toPlainText();
        whenShown<host::frmDialogModal>([&](host::frmDialogModal* wait) {
            EXPECT_TRUE(wait->windowFlags() & Qt::WindowStaysOnTopHint);
            // drawhost runs the script meanwhile; OK once the last drawing is saved and closed.
            finishedBeforeOk = QTest::qWaitFor(
                [&] { return pdfs().size() == 4 && wallColour(site) == QStringLiteral("1"); }, 120000);
            QTest::mouseClick(wait->OKButton, Qt::LeftButton);
        });
        QTest::mouseClick(editor->CmdExecute, Qt::LeftButton);
    });
    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    EXPECT_TRUE(messages.messages.empty()) << messages.messages.front().text.toStdString();
    EXPECT_EQ(shownScript.count(QStringLiteral("-PLOT\n")), 4);
    ASSERT_TRUE(finishedBeforeOk);
    EXPECT_EQ(pdfs(), (QStringList{QStringLiteral("floor-plan-Layout1.pdf"), QStringLiteral("floor-plan-Layout2.pdf"),
                                   QStringLiteral("floor-plan-配置3.pdf"), QStringLiteral("site-R12-Layout1.pdf")}));
    for (const QString& pdf : pdfs()) {
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {folder.filePath(QStringLiteral("dwg/") + pdf)});
        info.waitForFinished(60000);
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("Pages:           1\n"))) << pdf.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("Page size:       1191 x 842 pts (A3)"))) << pdf.toStdString();
    }
    // "close" was answered "n": both drawings were saved with the red walls.
    EXPECT_EQ(wallColour(plan), QStringLiteral("1"));
}

}  // namespace
