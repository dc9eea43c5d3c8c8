// Fuzzes the tag filter: however a response is cut into blocks, the result is
// the same as for the whole response at once, just as long, and holds no tag
// that the switches block.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../filter_in_blocks.h"
#include "engine/content_filter.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    FilterSwitches switches;
    switches.scripts = (data[0] & 1) != 0;
    switches.objects = (data[0] & 2) != 0;
    size_t block = 1 + (data[0] >> 2);
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string whole = FilterInBlocks(text, text.size() + 1, switches);
    Require(whole.size() == text.size());
    Require(FilterInBlocks(text, block, switches) == whole);
    if (!switches.scripts && !switches.objects)
        Require(whole == text);
    std::string lower = whole;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (switches.scripts)
        Require(lower.find("<script") == std::string::npos);
    if (switches.objects)
        Require(lower.find("<object") == std::string::npos);
    return 0;
}
