// The whole text through one filter, `block` bytes at a time, as a relayed
// answer arrives.
#pragma once

#include <algorithm>
#include <string>

#include "engine/content_filter.h"

inline std::string FilterInBlocks(const std::string& text, size_t block, FilterSwitches switches) {
    ContentFilter filter;
    std::string out;
    for (size_t at = 0; at < text.size(); at += block)
        filter.Filter(text.data() + at, std::min(block, text.size() - at), switches, out);
    filter.Finish(out);
    return out;
}
