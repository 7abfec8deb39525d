// Pictures of the main window for the documentation, taken of the whole X
// screen with ImageMagick's import (run under xvfb-run): mode 1 and mode 2
// with rules and drawings listed, then the report of a rename run against a
// real drawhost.
//
//   laminor_screenshots OUTPUT_FOLDER DRAWING...
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <csignal>

#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"
#include "host/client/RemoteProvider.h"
#include "main/ListConversion.h"
#include "main/frmMain.h"
#include "support/MessageBoxQt.h"
#include "support/ProgramFolder.h"

namespace {

void settle() {
    for (int i = 0; i < 30; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

void snap(const QString& file) {
    settle();
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QStringList drawings;
    for (int i = 2; i < argc; ++i) drawings << QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();

    support::setProgramFolder(QDir::tempPath());
    support::installQtMessageBoxService();
    auto provider = std::make_shared<host::RemoteHostProvider>(QStringLiteral(DRAWHOST_EXE));
    host::setHostProvider(provider);

    mainwin::frmMain w;
    w.operations.applyLayerNameRules = host::fun_bApplyLayerNameRules;
    w.operations.applyLayerStateRules = host::fun_bApplyLayerStateRules;
    w.move(0, 0);
    w.show();
    w.subAddFiles(drawings);
    w.CmdSelectAllDWGs->click();
    mainwin::appendRow(*w.LstvLayerName, {"^A-", "B-"});
    mainwin::appendRow(*w.LstvLayerName, {"^TMP_", "A-"});
    mainwin::appendRow(*w.LstvLayerName, {"^旧", "既存"});
    mainwin::appendRow(*w.LstvLayerName, {"通り芯", "GRID"});
    w.CmdSelectAllLayerName->click();
    const QString same = QStringLiteral("(変更なし)");
    mainwin::appendRow(*w.LstvLayerState, {"A-.*", same, same, "する", "1", same, "0.35 mm", same, same});
    mainwin::appendRow(*w.LstvLayerState, {".*寸法.*", same, "する", same, "3", same, same, same, same});
    mainwin::appendRow(*w.LstvLayerState, {"E-.*", "しない", same, same, same, "DASHED", same, same, "しない"});
    w.CmdSelectAllLayerNameState->click();

    w.subSetMode(1);
    snap(out.filePath(QStringLiteral("laminor-mode1-run.png")));
    w.subSetMode(2);
    snap(out.filePath(QStringLiteral("laminor-mode2-run.png")));
    w.subSetMode(1);
    settle();

    // The report box is modal: take its picture from inside, then close it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            poll.stop();
            snap(out.filePath(QStringLiteral("laminor-report.png")));
            box->close();
        }
    });
    poll.start(200);
    w.CmdExecute->click();
    if (provider->lastStartedPid() > 0) ::kill(pid_t(provider->lastStartedPid()), SIGTERM);
    return 0;
}
