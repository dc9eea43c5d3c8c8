#include "ui/bevel.h"

namespace ui {

namespace {

Grey GreyOf(int level) {
    uint8_t v = static_cast<uint8_t>(level);
    return Grey{v, v, v};
}

}  // namespace

Grey BevelLight(int ring) {
    return GreyOf(192 + 63 / (ring + 1));
}

Grey BevelDark(int ring) {
    // The outer shadow is the system's own mid grey, 128, so that a one-pixel
    // bevel matches the standard button edge; the inner rings darken by the
    // integer rule 255 / (c + 2).
    if (ring == 0)
        return GreyOf(128);
    return GreyOf(255 / (ring + 2));
}

std::vector<BevelRing> BevelRings(int depth, bool pressed) {
    std::vector<BevelRing> rings;
    for (int c = 0; c < depth; ++c) {
        BevelRing ring{BevelLight(c), BevelDark(c)};
        if (pressed) {
            ring = BevelRing{ring.bottomRight, ring.topLeft};
            if (depth > 1 && c == depth - 1)
                ring.bottomRight = Grey{1, 1, 1};
        }
        rings.push_back(ring);
    }
    return rings;
}

}  // namespace ui
