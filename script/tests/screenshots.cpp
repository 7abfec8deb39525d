// The pictures of mode 4 (run under xvfb-run, the whole screen taken with
// ImageMagick's import): the settings dialog listing the printers of a
// private CUPS server with two file queues, the editor with a script
// expanded over the sample drawings, and the wait dialog above a real
// drawhost that has just been handed the script.
//   script_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <functional>
#include <csignal>

#include "drawhost/tests/PrivateCups.h"
#include "host/HostConnection.h"
#include "host/ScriptDispatch.h"
#include "host/client/InProcessHost.h"
#include "host/client/RemoteProvider.h"
#include "host/frmDialogModal.h"
#include "main/BatchRun.h"
#include "script/ScriptOperation.h"
#include "script/frmScript.h"
#include "script/frmScriptEnv.h"
#include "support/ProgramFolder.h"
#include "support/TextFile.h"

namespace {

void settle(int rounds = 30) {
    for (int i = 0; i < rounds; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

void screenshot(const QString& file) {
    settle();
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
}

// Once a top-level widget of the class is up: arranges it, takes the
// picture, then closes it.
template <class W>
void whenUp(const QString& file, std::function<void(W*)> arrange, std::function<void(W*)> close) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, file, arrange, close] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<W*>(w);
            if (!dialog || !dialog->isVisible()) continue;
            poll->stop();
            poll->deleteLater();
            arrange(dialog);
            screenshot(file);
            close(dialog);
            return;
        }
    });
    poll->start(50);
}

const char* kBase =
    "; 各レイアウトを印刷\r\n-PLOT\r\nY\r\n<LAYOUT>\r\n<PRINTER>\r\n<PAPERSIZE>\r\nM\r\nL\r\nN\r\nL\r\nF\r\nC\r\nY\r\n"
    "monochrome.ctb\r\nY\r\nN\r\nN\r\nN\r\nN\r\nN\r\nY\r\n";

}  // namespace

int main(int argc, char** argv) {
    testcups::PrivateCups cups;
    if (!cups.start() || !cups.addFileQueue(QStringLiteral("LaminorA3"), true) ||
        !cups.addFileQueue(QStringLiteral("Office_Laser"))) {
        std::fprintf(stderr, "private CUPS: %s\n", qPrintable(cups.error()));
        return 1;
    }
    qputenv("CUPS_SERVER", cups.socket().toLocal8Bit());
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir work;
    support::setProgramFolder(work.path());
    QString error;
    support::writeTextFile(work.filePath(QStringLiteral("Laminor.ini")),
                           QStringLiteral("[ScriptEnv]\r\nCboScriptFilterLayout=(全てを対象)\r\n"
                                          "CboKeyPtinter=LaminorA3\r\nCboKeyPaperSize=A3\r\n"),
                           &error);

    // 1. The settings, with the private server's printers.
    whenUp<script::frmScriptEnv>(
        out + QStringLiteral("/script-env.png"), [](script::frmScriptEnv* d) { d->move(60, 40); },
        [](script::frmScriptEnv* d) { d->reject(); });
    mainwin::ScriptEnv env;
    script::frmScriptEnv::pu_subShow(env);

    // 2. The editor with the blocks of the sample drawings, made in this process.
    host::installInProcessHostProvider();
    support::writeTextFile(work.filePath(QStringLiteral("base.scr")), QString::fromUtf8(kBase), &error);
    support::writeTextFile(work.filePath(QStringLiteral("Laminor_script_Header.scr")), QStringLiteral("filedia\r\n0\r\n"), &error);
    support::writeTextFile(work.filePath(QStringLiteral("Laminor_script_Footer.scr")), QStringLiteral("filedia\r\n1\r\n"), &error);
    QStringList drawings;
    QDir().mkpath(work.filePath(QStringLiteral("図面")));
    for (const char* name : {"floor-plan.dxf", "details-R2018.dxf"}) {
        drawings << work.filePath(QStringLiteral("図面/") + QString::fromLatin1(name));
        QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/") + QString::fromLatin1(name), drawings.last());
    }
    mainwin::BatchInputs in;
    in.mode = 4;
    in.baseFile = work.filePath(QStringLiteral("base.scr"));
    in.env = mainwin::loadScriptEnv(QStringLiteral("Laminor.ini"));
    support::ListTable table(2, 2);
    for (int k = 0; k < drawings.size(); ++k) {
        table.set(0, k, QFileInfo(drawings[k]).fileName());
        table.set(1, k, drawings[k]);
    }
    in.drawingTable = table;
    mainwin::DrawingOperations ops;
    ops.makeDWGScript = script::makeDWGScript;
    ops.showScriptEditor = [&](const QString& merged) {
        whenUp<script::frmScript>(
            out + QStringLiteral("/script-editor.png"),
            [](script::frmScript* d) {
                d->move(60, 40);
                d->resize(640, 720);
            },
            [](script::frmScript* d) { d->reject(); });
        script::frmScript::pu_fun_bShow(merged);
    };
    support::PlainStatusLabel status;
    mainwin::subExecute(in, ops, {status, nullptr, nullptr, nullptr});

    // 3. The wait dialog above drawhost, which has the script.
    qputenv("DRAWHOST_SOCKET", work.filePath(QStringLiteral("drawhost.sock")).toLocal8Bit());
    auto provider = std::make_shared<host::RemoteHostProvider>(QStringLiteral(DRAWHOST_EXE));
    host::setHostProvider(provider);
    whenUp<host::frmDialogModal>(
        out + QStringLiteral("/script-wait.png"), [](host::frmDialogModal* d) { d->move(420, 300); },
        [](host::frmDialogModal* d) { d->hide(); });
    host::subSendScript(work.filePath(QStringLiteral("Laminor_script.scr")));
    settle(50);
    if (provider->lastStartedPid() > 0) ::kill(pid_t(provider->lastStartedPid()), SIGTERM);
    return 0;
}
