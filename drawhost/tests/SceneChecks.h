#pragma once
// What the scene tests share: a small drawing with the scene of its model
// space, and a point comparison.
#include <gtest/gtest.h>

#include "SceneDrawings.h"
#include "drawhost/DrawingScene.h"

namespace scenetest {

struct Built {
    std::unique_ptr<dxf::Drawing> drawing;
    drawhost::Scene scene;
    explicit Built(const Spec& spec) : drawing(scenetest::drawing(spec)), scene(drawhost::buildScene(*drawing)) {}
    const drawhost::Item& item(std::size_t i) const { return scene.space.items.at(i); }
    const drawhost::TextRun& text(std::size_t i) const { return scene.space.texts.at(item(i).first); }
};

inline void expectPoint(const QPointF& got, double x, double y, double tolerance = 1e-6) {
    EXPECT_NEAR(got.x(), x, tolerance);
    EXPECT_NEAR(got.y(), y, tolerance);
}

}  // namespace scenetest
