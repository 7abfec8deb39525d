// The window over the in-process host and real drawings: start-up lists the
// drawings the host has open, and "実行" renames layers in the file on disk.
#include <QFile>
#include <QtTest/QTest>

#include "WindowFixture.h"
#include "host/client/InProcessHost.h"
#include "host/LayerNameRules.h"
#include "main/ListConversion.h"

namespace mainwin {
namespace {

using testing::WindowTest;

// The in-process host as the running one.
class InProcessRunning : public host::HostProvider {
public:
    explicit InProcessRunning(std::shared_ptr<host::InProcessHost> h) : host(std::move(h)) {}
    host::ApplicationPtr getRunning() override { return host->application(); }
    host::ApplicationPtr create() override { return host->application(); }
    std::shared_ptr<host::InProcessHost> host;
};

class InProcessRunTest : public WindowTest {
protected:
    QString copySample(const QString& name) {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/floor-plan.dxf"), path));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    }
    static QStringList layerNames(const host::DocumentPtr& doc) {
        QStringList names;
        auto layers = doc->layers();
        for (int i = 0; i < layers->count(); ++i) names << layers->item(i)->name();
        return names;
    }
    static QStringList layersOnDisk(const QString& path) {
        auto reader = host::InProcessHost::create();
        reader->open(path);
        return layerNames(reader->application()->activeDocument());
    }
    std::shared_ptr<host::InProcessHost> drawingHost = host::InProcessHost::create();
};

TEST_F(InProcessRunTest, OpenDrawingsAreListedAndRenamedOnDisk) {
    const QString plan = copySample("平面図.dxf");
    const QString other = copySample("other.DXF");
    drawingHost->open(plan);
    host::setHostProvider(std::make_shared<InProcessRunning>(drawingHost));

    frmMain& w = open();
    w.operations.applyLayerNameRules = host::fun_bApplyLayerNameRules;
    w.show();
    EXPECT_EQ(column(*w.LstvDWGs, 1), QStringList{"平面図.dxf"});
    EXPECT_EQ(w.Label2->text(), "対象DWGファイル - 1/1 件を実行");

    w.subAddFiles({other});
    w.CmdSelectAllDWGs->click();
    appendRow(*w.LstvLayerName, {"^TMP_", "ZZ_"});
    w.CmdSelectAllLayerName->click();
    QTest::mouseClick(w.CmdExecute, Qt::LeftButton);

    // The report says that one of them has its changes only in the host.
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, "2 件のファイルについて画層名変更が正常終了しました。\r\n"
                                    "（うち 1 件は AutoCAD で開いていた図面のため、変更を保存していません。）")
        << messages.last().text.toStdString();
    EXPECT_EQ(messages.last().style, support::vbExclamation);
    // The drawing the host had open stays open with the new names; the
    // other was opened, saved and closed.
    const QStringList open = layerNames(drawingHost->application()->documents()->item(QStringLiteral("平面図.dxf")));
    EXPECT_TRUE(open.contains("ZZ_WALL"));
    EXPECT_FALSE(open.contains("TMP_WALL"));
    const QStringList saved = layersOnDisk(other);
    EXPECT_TRUE(saved.contains("ZZ_WALL"));
    EXPECT_TRUE(saved.contains("ZZ_GRID"));
    EXPECT_FALSE(saved.contains("TMP_WALL"));
}

}  // namespace
}  // namespace mainwin
