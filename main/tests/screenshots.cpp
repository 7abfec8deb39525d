// Pictures of the main window for the documentation, taken of the whole X
// screen with ImageMagick's import (run under xvfb-run): the window as it
// opens, the four modes with rules, keywords and drawings listed, the
// drawing file dialog (Qt's own, in Japanese), then the report of a rename
// run against a real drawhost.
//
//   laminor_screenshots OUTPUT_FOLDER DRAWING...
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
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
#include "support/QtTranslation.h"

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

// Takes the picture of the next modal window once it shows, then closes it.
void snapModal(QTimer& poll, const QString& file) {
    poll.disconnect();
    QObject::connect(&poll, &QTimer::timeout, [&poll, file] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            poll.stop();
            snap(file);
            box->close();
        }
    });
    poll.start(200);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QStringList drawings;
    for (int i = 2; i < argc; ++i) drawings << QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();

    support::setProgramFolder(QDir::tempPath());
    support::installQtJapaneseTranslation();
    support::installQtMessageBoxService();
    auto provider = std::make_shared<host::RemoteHostProvider>(QStringLiteral(DRAWHOST_EXE));
    host::setHostProvider(provider);

    mainwin::frmMain w;
    w.operations.applyLayerNameRules = host::fun_bApplyLayerNameRules;
    w.operations.applyLayerStateRules = host::fun_bApplyLayerStateRules;
    w.move(0, 0);
    w.show();
    snap(out.filePath(QStringLiteral("laminor-main.png")));
    w.subSetMode(2);
    snap(out.filePath(QStringLiteral("laminor-mode2.png")));
    w.subSetMode(1);
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
    w.subSetMode(3);
    w.ChkOutputTextToCSV->setChecked(true);
    snap(out.filePath(QStringLiteral("laminor-mode3.png")));
    w.subSetMode(4);
    w.TxtBaseFile->setText(QDir(QDir::tempPath()).filePath(QStringLiteral("plot-base.scr")));
    snap(out.filePath(QStringLiteral("laminor-mode4.png")));

    // Modal windows: their pictures are taken from inside, then they are closed.
    QTimer poll;
    snapModal(poll, out.filePath(QStringLiteral("laminor-file-dialog.png")));
    w.CmdDWG->click();
    w.subSetMode(1);
    settle();
    snapModal(poll, out.filePath(QStringLiteral("laminor-report.png")));
    w.CmdExecute->click();
    if (provider->lastStartedPid() > 0) ::kill(pid_t(provider->lastStartedPid()), SIGTERM);
    return 0;
}
