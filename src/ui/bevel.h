// The colours of a ColorButton's bevel, apart from any drawing, so that the
// rule can be checked on its own.
#pragma once

#include <cstdint>
#include <vector>

namespace ui {

struct Grey {
    uint8_t r, g, b;
    bool operator==(const Grey& other) const {
        return r == other.r && g == other.g && b == other.b;
    }
};

// One ring of the bevel, from the outside in: the colour of its top and left
// edges and that of its bottom and right edges.
struct BevelRing {
    Grey topLeft;
    Grey bottomRight;
};

// The light and dark greys of ring c (0 is the outermost).
Grey BevelLight(int ring);
Grey BevelDark(int ring);

// The rings of a bevel of `depth` pixels; a raised bevel is light at the top
// and left, a pressed one the reverse. A pressed bevel deeper than one pixel
// ends in a near-black inner bottom and right edge.
std::vector<BevelRing> BevelRings(int depth, bool pressed);

}  // namespace ui
