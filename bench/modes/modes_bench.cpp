// Times one batch run of mode 1 (rename) or mode 2 (state) over drawings, the
// way laminor runs it: the batch driver with the per-drawing operations,
// against a drawhost it starts on a private socket. Prints one line:
//   mode=N files=F seconds=S done=D unchanged=U failed=X report="..."
//
//   modes_bench DRAWHOST_EXE MODE FILE...
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>

#include "host/client/InProcessHost.h"
#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"
#include "host/client/RemoteProvider.h"
#include "main/BatchRun.h"
#include "support/RecordingMessageBox.h"
#include "support/StatusLabel.h"

namespace {

// The rules of the ezdxf baseline, as the rule lists hold them.
support::ListTable renameRules() {
    const QStringList rows[] = {{"^A-", "B-"}, {"^TMP_", "A-"}, {"^旧", "既存"}, {"通り芯", "GRID"}};
    support::ListTable t(4, 3);
    for (int r = 0; r < 4; ++r) {
        t.set(r, 0, QString::number(r + 1));
        t.set(r, 1, rows[r][0]);
        t.set(r, 2, rows[r][1]);
    }
    return t;
}

support::ListTable stateRules() {
    const QString same = QStringLiteral("(変更なし)");
    const QString yes = QStringLiteral("する");
    const QString no = QStringLiteral("しない");
    // pattern, on, freeze, lock, colour, linetype, lineweight, plot style, plot
    const QStringList rows[] = {
        {"A-.*", same, same, yes, "1", same, "0.35 mm", same, same},
        {".*(寸法|DIMS).*", same, yes, same, "3", same, same, same, same},
        {"E-.*", no, same, same, same, "DASHED", same, same, no},
        {"S-COLS|柱.*", yes, no, no, "250", same, same, same, same}};
    support::ListTable t(4, 10);
    for (int r = 0; r < 4; ++r) {
        t.set(r, 0, QString::number(r + 1));
        for (int c = 0; c < 9; ++c) t.set(r, c + 1, rows[r][c]);
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: modes_bench DRAWHOST_EXE|- MODE FILE...\n");
        return 2;
    }
    const int mode = QString::fromLocal8Bit(argv[2]).toInt();
    QStringList files;
    for (int i = 3; i < argc; ++i) files << QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();

    QTemporaryDir dir;
    // "-" for the drawhost runs the same job through the in-process host,
    // for comparing outputs and timings.
    std::shared_ptr<host::RemoteHostProvider> provider;
    if (qstrcmp(argv[1], "-") == 0) {
        host::installInProcessHostProvider();
    } else {
        // DRAWHOST_SOCKET: a drawhost already running there (one with its window shown, say).
        const QString socket = qEnvironmentVariableIsSet("DRAWHOST_SOCKET") ? qEnvironmentVariable("DRAWHOST_SOCKET")
                                                                          : dir.filePath(QStringLiteral("drawhost.sock"));
        provider = std::make_shared<host::RemoteHostProvider>(QString::fromLocal8Bit(argv[1]), socket, 30000);
        host::setHostProvider(provider);
    }
    support::RecordingMessageBox messages;

    mainwin::BatchInputs in;
    in.mode = mode;
    in.ruleTable = mode == 1 ? renameRules() : stateRules();
    support::ListTable drawings(2, int(files.size()));
    for (int k = 0; k < files.size(); ++k) {
        drawings.set(0, k, QFileInfo(files[k]).fileName());
        drawings.set(1, k, files[k]);
    }
    in.drawingTable = drawings;
    mainwin::DrawingOperations ops;
    ops.applyLayerNameRules = host::fun_bApplyLayerNameRules;
    ops.applyLayerStateRules = host::fun_bApplyLayerStateRules;
    support::PlainStatusLabel status;

    QElapsedTimer timer;
    timer.start();
    const mainwin::BatchResult r = mainwin::subExecute(
        in, ops, mainwin::BatchContext{status, [] { QCoreApplication::processEvents(); }, [] { return false; }, {}});
    const double seconds = timer.nsecsElapsed() / 1e9;

    if (provider && provider->lastStartedPid() > 0) ::kill(pid_t(provider->lastStartedPid()), SIGTERM);
    QString report = messages.count() ? messages.last().text : QString();
    report.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    std::printf("mode=%d files=%d seconds=%.3f done=%d unchanged=%d failed=%d report=\"%s\"\n", mode,
                int(files.size()), seconds, r.done, r.unchanged, r.failed, report.toUtf8().constData());
    return r.completed && r.failed == 0 ? 0 : 1;
}
