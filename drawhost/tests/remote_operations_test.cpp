// The batch operations written against the host interface give the same
// drawing through drawhost's socket as in-process: batching and posting in
// the remote client change nothing the operations can observe.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include "TestDrawings.h"
#include "host/InProcessHost.h"
#include "host/LayerNameRules.h"
#include "host/RemoteHost.h"
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

TEST(RemoteOperationsTest, RenameAndMergeGiveTheSameFileAsInProcess) {
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

    for (const QString sample : {QStringLiteral("floor-plan.dxf"), QStringLiteral("site-R12.dxf"), QStringLiteral("details-R2018.dxf")}) {
        const QString local = copySample(dir, sample, QStringLiteral("local/") + sample);
        const QString viaSocket = copySample(dir, sample, QStringLiteral("socket/") + sample);
        support::PlainStatusLabel label;
        bool localNoChange = true, remoteNoChange = true;
        ApplicationPtr inProcess = InProcessHost::create()->application();
        ASSERT_TRUE(fun_bApplyLayerNameRules(inProcess, sample, local, renameRules(), localNoChange, label));
        ASSERT_TRUE(fun_bApplyLayerNameRules(remote, sample, viaSocket, renameRules(), remoteNoChange, label));
        EXPECT_FALSE(localNoChange);
        EXPECT_EQ(remoteNoChange, localNoChange);
        EXPECT_EQ(bytesOf(viaSocket), bytesOf(local)) << sample.toStdString();
        EXPECT_NE(bytesOf(viaSocket), bytesOf(QStringLiteral(LAMINOR_SAMPLES_DIR "/") + sample));
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
