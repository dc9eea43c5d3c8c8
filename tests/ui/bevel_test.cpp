#include "ui/bevel.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ui::Grey G(int v) {
    return ui::Grey{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)};
}

// The greys one ring must have, outermost ring first; Any where a case does
// not look.
struct Ring {
    int topLeft;
    int bottomRight;
};
constexpr int Any = -1;

void ExpectRings(int depth, bool pressed, const std::vector<Ring>& expected) {
    auto rings = ui::BevelRings(depth, pressed);
    ASSERT_EQ(rings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].topLeft != Any)
            EXPECT_EQ(rings[i].topLeft, G(expected[i].topLeft)) << "ring " << i;
        EXPECT_EQ(rings[i].bottomRight, G(expected[i].bottomRight)) << "ring " << i;
    }
}

TEST(Bevel, DepthOneIsWhiteOverMidGrey) {
    ExpectRings(1, false, {{255, 128}});
}

TEST(Bevel, DepthTwoInnerRingFollowsTheIntegerRule) {
    ExpectRings(2, false, {{255, 128}, {192 + 63 / 2, 255 / 3}});  // 223, 85
}

TEST(Bevel, PressedReversesTheEdges) {
    ExpectRings(1, true, {{128, 255}});
}

TEST(Bevel, DeepPressedBevelEndsNearBlackInside) {
    ExpectRings(3, true, {{Any, 255}, {85, 223}, {255 / 4, 1}});
}

TEST(Bevel, NoRingsWithoutDepth) {
    EXPECT_TRUE(ui::BevelRings(0, false).empty());
}

}  // namespace
