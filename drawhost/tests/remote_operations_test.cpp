// The batch operations written against the host interface give the same
// drawing through drawhost's socket as in-process: batching and posting in
// the remote client change nothing the operations can observe.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include "TestDrawings.h"
#include "host/client/InProcessHost.h"
#include "host/LayerNameRules.h"
#include "host/LayerStateRules.h"
#include "host/client/RemoteHost.h"
#include "support/StatusLabel.h"

using namespace host;
using testdrawings::bytesOf;
using testdrawings::copySample;

namespace {

support::ListTable renameRules() {
    const std::vector<QStringList> rows = {{"1", "^A-", "B-"}, {"2", "^TMP_", "A-"}, {"3", "^旧", "既存"}, {"4", "通り芯", "GRID"}};
    support::ListTable t(int(rows.size()), 3);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < 3; ++c) t.set(r, c, rows[size_t(r)][c]);
    return t;
}

// Gives A-F layers index colour 7, which drops a true colour even where the
// index was 7 already (A-Furn of the R2018 sample); locks and recolours the
// other A- layers, turns the E- layers off, gives the rest colour 3.
support::ListTable stateRules() {
    const QString same = QStringLiteral("(変更なし)");
    const std::vector<QStringList> rows = {
        {"1", "A-F.*", same, same, same, "7", same, same, same, same},
        {"2", "A-[^F].*", same, same, QStringLiteral("する"), "1", same, "0.35 mm", same, same},
        {"3", "E-.*", QStringLiteral("しない"), same, same, same, "DASHED", same, same, QStringLiteral("しない")},
        {"4", "[^A].*", same, same, same, "3", same, same, same, same}};
    support::ListTable t(int(rows.size()), 10);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < 10; ++c) t.set(r, c, rows[size_t(r)][c]);
    return t;
}

TEST(RemoteOperationsTest, RenameMergeAndStateRulesGiveTheSameFileAsInProcess) {
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("drawhost.sock"));
    QProcess drawhost;
    drawhost.start(QStringLiteral(DRAWHOST_EXE), {QStringLiteral("--socket"), socket});
    ASSERT_TRUE(drawhost.waitForStarted());
    ApplicationPtr remote;
    QElapsedTimer t;
    t.start();
    while (!remote && t.elapsed() < 10000) {
        try {
            remote = connectRemoteHost(socket, 200);
        } catch (const HostError&) {
            QThread::msleep(50);
        }
    }
    ASSERT_TRUE(remote);

    const QString samples[] = {QStringLiteral("floor-plan.dxf"), QStringLiteral("site-R12.dxf"),
                               QStringLiteral("details-R2018.dxf")};
    for (const bool rename : {true, false}) {
        for (const QString& sample : samples) {
            const QString kind = rename ? QStringLiteral("rename/") : QStringLiteral("state/");
            const QString local = copySample(dir, sample, kind + QStringLiteral("local/") + sample);
            const QString viaSocket = copySample(dir, sample, kind + QStringLiteral("socket/") + sample);
            support::PlainStatusLabel label;
            bool localNoChange = true, remoteNoChange = true;
            ApplicationPtr inProcess = InProcessHost::create()->application();
            if (rename) {
                ASSERT_TRUE(fun_bApplyLayerNameRules(inProcess, sample, local, renameRules(), localNoChange, label));
                ASSERT_TRUE(fun_bApplyLayerNameRules(remote, sample, viaSocket, renameRules(), remoteNoChange, label));
            } else {
                ASSERT_TRUE(fun_bApplyLayerStateRules(inProcess, sample, local, stateRules(), localNoChange, label));
                ASSERT_TRUE(fun_bApplyLayerStateRules(remote, sample, viaSocket, stateRules(), remoteNoChange, label));
            }
            EXPECT_FALSE(localNoChange);
            EXPECT_EQ(remoteNoChange, localNoChange);
            EXPECT_EQ(bytesOf(viaSocket), bytesOf(local)) << (kind + sample).toStdString();
            EXPECT_NE(bytesOf(viaSocket), bytesOf(QStringLiteral(LAMINOR_SAMPLES_DIR "/") + sample));
        }
    }
    EXPECT_EQ(remote->documents()->count(), 0);
    remote.reset();
    drawhost.kill();
    drawhost.waitForFinished();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
