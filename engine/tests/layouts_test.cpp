// The objects and plot settings of each layout, in drawings made by other
// programs and in our own test drawings.
#include <gtest/gtest.h>

#include "engine/Drawing.h"

namespace {

std::size_t countOf(const std::vector<dxf::Entity>& objects, const char* type) {
    std::size_t n = 0;
    for (const dxf::Entity& e : objects) n += e.type() == type;
    return n;
}

TEST(Layouts, EachLayoutHasItsOwnObjectsAndSettings) {
    const auto d = dxf::Drawing::open(LAMINOR_SAMPLES_DIR "/floor-plan.dxf");
    std::size_t paper = 0;
    for (const std::string& layout : d->layouts()) {
        const auto objects = d->objectsOfLayout(layout);
        if (layout == "Model") {
            EXPECT_EQ(objects.size(), d->modelSpace().size());
            continue;
        }
        // The sheet's own viewport and one looking into model space.
        EXPECT_EQ(countOf(objects, "VIEWPORT"), 2u) << layout;
        for (const dxf::Entity& e : objects) EXPECT_TRUE(e.inPaperSpace()) << layout;
        paper += objects.size();
        const auto settings = d->layoutSettings(layout);
        ASSERT_TRUE(settings.has_value()) << layout;
        EXPECT_EQ(settings->type(), "LAYOUT");
    }
    // The layouts share out paper space between them.
    EXPECT_EQ(paper, d->paperSpace().size());
    EXPECT_EQ(d->objectsOfLayout("layout2").size(), d->objectsOfLayout("Layout2").size());
    EXPECT_THROW(d->objectsOfLayout("Sheet9"), dxf::EngineError);
}

TEST(Layouts, R12HasOnePaperSpaceAndNoLayoutObjects) {
    const auto d = dxf::Drawing::open(LAMINOR_SAMPLES_DIR "/site-R12.dxf");
    ASSERT_EQ(d->layouts(), (std::vector<std::string>{"Model", "Layout1"}));
    EXPECT_EQ(d->objectsOfLayout("Layout1").size(), d->paperSpace().size());
    EXPECT_FALSE(d->layoutSettings("Layout1").has_value());
}

TEST(Layouts, AnotherProgramsLayoutsAreFoundByTheirBlockRecords) {
    const auto d = dxf::Drawing::open(LAMINOR_CORPUS_DIR "/ezdxf_viewport_frozen_layers.dxf");
    std::size_t paper = 0;
    for (const std::string& layout : d->layouts())
        if (layout != "Model") paper += d->objectsOfLayout(layout).size();
    EXPECT_GT(paper, 0u);
    EXPECT_EQ(paper, d->paperSpace().size());
}

}  // namespace
