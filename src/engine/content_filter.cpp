#include "engine/content_filter.h"

#include <cctype>
#include <cstring>

#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

struct Replacement {
    const char* found;    // lower case; matched in any case
    const char* written;  // exactly as long as `found`
    size_t length;
    bool script;  // switched by EnableJS, else by EnableActiveX
};

const Replacement Replacements[] = {
    {"<script", "<noscri", 7, true},
    {"</script>", "</noscri>", 9, true},
    {"<object", "<noobj ", 7, false},
    {"</object>", "</noobj> ", 9, false},
};

bool IsOn(const Replacement& r, FilterSwitches switches) {
    return r.script ? switches.scripts : switches.objects;
}

// Compares up to `length` bytes of text with the lower-case pattern.
bool MatchesIgnoringCase(const char* text, const char* pattern, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != pattern[i])
            return false;
    }
    return true;
}

}  // namespace

FilterSwitches ReadFilterSwitches() {
    FilterSwitches switches;
    switches.scripts = RegDwordValue(setting::EnableJS).IsOn();
    switches.objects = RegDwordValue(setting::EnableActiveX).IsOn();
    return switches;
}

void ContentFilter::Filter(const char* data, size_t length, FilterSwitches switches,
                           std::string& out) {
    size_t start = out.size();
    out += pending_;
    out.append(data, length);
    pending_.clear();
    if (!switches.scripts && !switches.objects)
        return;

    char* text = &out[0];
    size_t end = out.size();
    size_t position = start;
    while (position < end) {
        const void* found = std::memchr(text + position, '<', end - position);
        if (!found)
            return;
        position = static_cast<size_t>(static_cast<const char*>(found) - text);
        size_t left = end - position;
        size_t advance = 1;
        for (const Replacement& r : Replacements) {
            if (!IsOn(r, switches))
                continue;
            if (left >= r.length && MatchesIgnoringCase(text + position, r.found, r.length)) {
                std::memcpy(text + position, r.written, r.length);
                advance = r.length;
                break;
            }
            if (left < r.length && MatchesIgnoringCase(text + position, r.found, left)) {
                // The start of a tag whose end has not come yet: hold it back.
                pending_.assign(text + position, left);
                out.resize(position);
                return;
            }
        }
        position += advance;
    }
}

void ContentFilter::Finish(std::string& out) {
    out += pending_;
    pending_.clear();
}
