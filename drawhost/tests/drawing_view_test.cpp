// The view's zoom: a zoom asked for before the view is on screen, or before
// its drawing is built, is carried out once it can be and is not lost to the
// first fit to extents.
#include <gtest/gtest.h>

#include <QApplication>

#include "drawhost/DrawingView.h"

namespace drawhost {
namespace {

std::shared_ptr<const Scene> squareScene() {
    auto s = std::make_shared<Scene>();
    Item item;
    item.kind = Item::Polyline;
    item.flags = Item::Closed;
    item.count = 4;
    item.bounds = QRectF(0, 0, 1000, 1000);
    s->space.points = {QPointF(0, 0), QPointF(1000, 0), QPointF(1000, 1000), QPointF(0, 1000)};
    s->space.items.push_back(item);
    s->space.bounds = s->extents = QRectF(0, 0, 1000, 1000);
    return s;
}

void expectRect(const QRectF& got, const QRectF& want) {
    EXPECT_NEAR(got.center().x(), want.center().x(), 1e-6);
    EXPECT_NEAR(got.center().y(), want.center().y(), 1e-6);
    EXPECT_NEAR(got.width(), want.width(), 1e-6);
    EXPECT_NEAR(got.height(), want.height(), 1e-6);
}

TEST(DrawingViewTest, AWindowAskedForBeforeTheViewIsShownOrBuiltIsWhatItShows) {
    DrawingView view;
    view.resize(400, 200);
    view.zoomWindow(QRectF(100, 100, 20, 20));  // not on screen yet
    view.zoomScaled(0.5, true);
    expectRect(view.visibleWorld(), QRectF(90, 90, 40, 40));
    view.show();
    view.setScene(squareScene());  // the drawing is built later: the zoom stays
    // The 40 × 40 window fills the view's height; the width shows more.
    expectRect(view.visibleWorld(), QRectF(70, 90, 80, 40));

    view.zoomScaled(0.5, true);
    expectRect(view.visibleWorld(), QRectF(30, 70, 160, 80));
}

TEST(DrawingViewTest, ExtentsWaitForTheDrawingAndAPointKeepsTheScale) {
    DrawingView view;
    view.resize(300, 300);
    view.show();
    view.zoomScaled(0.5, true);  // asked before the drawing is built: applied after the fit
    view.setScene(squareScene());
    expectRect(view.visibleWorld(), QRectF(500 - 1060, 500 - 1060, 2120, 2120));

    view.zoomWindow(QRectF(700, 700, 0, 0));  // an object without area: centred, same scale
    expectRect(view.visibleWorld(), QRectF(700 - 1060, 700 - 1060, 2120, 2120));
    view.zoomScaled(2, false);  // of the whole drawing
    expectRect(view.visibleWorld(), QRectF(500 - 265, 500 - 265, 530, 530));
}

}  // namespace
}  // namespace drawhost

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
