// drawhost's window driven as a user drives it: clicks in the layer panel and
// menu items run the host's own commands, which change the drawing and show
// on the command line like typed commands.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "drawhost/DrawingPage.h"
#include "drawhost/DrawingView.h"
#include "drawhost/LayerPanel.h"
#include "drawhost/MainWindow.h"

namespace drawhost {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("floor-plan.dxf"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/floor-plan.dxf"), path));
        shell = std::make_shared<WindowShell>();
        host = host::InProcessHost::create(shell);
        window = std::make_unique<MainWindow>(host);
        shell->setWindow(window.get());
        host->open(path);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->viewsReady(); }, 20000));
    }
    void TearDown() override {
        shell->setWindow(nullptr);
        window.reset();
    }

    QString history() const { return window->findChild<QPlainTextEdit*>()->toPlainText(); }
    dxf::Layer layer(const char* name) const { return host->activeDocument()->drawing->layer(name); }
    QAction* action(const QString& text) const {
        for (QAction* a : window->findChildren<QAction*>())
            if (QString(a->text()).remove(u'&') == text) return a;
        return nullptr;
    }
    // Clicks a layer's cell in the panel.
    void click(const QString& layerName, LayerPanel::Column column) {
        auto* panel = window->findChild<LayerPanel*>();
        const auto found = panel->findItems(layerName, Qt::MatchExactly, LayerPanel::Name);
        ASSERT_EQ(found.size(), 1);
        const QRect row = panel->visualItemRect(found.front());
        const int x = panel->header()->sectionViewportPosition(column) + panel->header()->sectionSize(column) / 2;
        QTest::mouseClick(panel->viewport(), Qt::LeftButton, {}, QPoint(x, row.center().y()));
    }

    QTemporaryDir dir;
    QString path;
    std::shared_ptr<WindowShell> shell;
    std::shared_ptr<host::InProcessHost> host;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, LayerPanelClicksChangeTheDrawingThroughTheLayerCommand) {
    ASSERT_TRUE(layer("壁").layerOn());
    click(QStringLiteral("壁"), LayerPanel::On);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !layer("壁").layerOn(); }, 5000)) << history().toStdString();
    EXPECT_TRUE(history().contains(QStringLiteral("-LAYER"))) << history().toStdString();

    click(QStringLiteral("壁"), LayerPanel::Lock);
    ASSERT_TRUE(QTest::qWaitFor([&] { return layer("壁").lock(); }, 5000));
    click(QStringLiteral("壁"), LayerPanel::Freeze);
    ASSERT_TRUE(QTest::qWaitFor([&] { return layer("壁").freeze(); }, 5000));
    // The panel follows: clicking On again turns it back on.
    click(QStringLiteral("壁"), LayerPanel::On);
    ASSERT_TRUE(QTest::qWaitFor([&] { return layer("壁").layerOn(); }, 5000)) << history().toStdString();
}

TEST_F(MainWindowTest, MenuItemsTypeTheirCommands) {
    DrawingView* view = window->activePage()->currentView();
    ASSERT_NE(view, nullptr);
    const QRectF whole = view->visibleWorld();
    view->zoomScaled(4, true);
    ASSERT_LT(view->visibleWorld().width(), whole.width() / 2);

    QAction* extents = action(QStringLiteral("Zoom Extents"));
    ASSERT_NE(extents, nullptr);
    extents->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::abs(view->visibleWorld().width() - whole.width()) < 1e-6 * whole.width(); }, 5000));
    EXPECT_TRUE(history().contains(QStringLiteral("Command: ZOOM"))) << history().toStdString();

    QAction* lineweights = action(QStringLiteral("Lineweights"));
    ASSERT_NE(lineweights, nullptr);
    lineweights->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->lineweights(); }, 5000));
    EXPECT_TRUE(lineweights->isChecked());
    EXPECT_TRUE(history().contains(QStringLiteral("LWDISPLAY")));

    QAction* close = action(QStringLiteral("Close"));
    ASSERT_NE(close, nullptr);
    close->trigger();
    // CLOSE asks whether to discard the changes; "y" typed at the prompt does.
    auto* input = window->findChild<QLineEdit*>();
    QTest::keyClicks(input, QStringLiteral("y"));
    QTest::keyClick(input, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->documents().empty(); }, 5000)) << history().toStdString();
}

}  // namespace
}  // namespace drawhost

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
