#include "ui/bevel.h"

#include <gtest/gtest.h>

namespace {

ui::Grey G(int v) {
    return ui::Grey{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)};
}

TEST(Bevel, DepthOneIsWhiteOverMidGrey) {
    auto rings = ui::BevelRings(1, false);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].topLeft, G(255));
    EXPECT_EQ(rings[0].bottomRight, G(128));
}

TEST(Bevel, DepthTwoInnerRingFollowsTheIntegerRule) {
    auto rings = ui::BevelRings(2, false);
    ASSERT_EQ(rings.size(), 2u);
    EXPECT_EQ(rings[0].topLeft, G(255));
    EXPECT_EQ(rings[0].bottomRight, G(128));
    EXPECT_EQ(rings[1].topLeft, G(192 + 63 / 2));  // 223
    EXPECT_EQ(rings[1].bottomRight, G(255 / 3));   // 85
}

TEST(Bevel, PressedReversesTheEdges) {
    auto rings = ui::BevelRings(1, true);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].topLeft, G(128));
    EXPECT_EQ(rings[0].bottomRight, G(255));
}

TEST(Bevel, DeepPressedBevelEndsNearBlackInside) {
    auto rings = ui::BevelRings(3, true);
    ASSERT_EQ(rings.size(), 3u);
    EXPECT_EQ(rings[0].bottomRight, G(255));
    EXPECT_EQ(rings[1].bottomRight, G(223));
    EXPECT_EQ(rings[1].topLeft, G(85));
    EXPECT_EQ(rings[2].bottomRight, G(1));
    EXPECT_EQ(rings[2].topLeft, G(255 / 4));
}

TEST(Bevel, NoRingsWithoutDepth) {
    EXPECT_TRUE(ui::BevelRings(0, false).empty());
}

}  // namespace
