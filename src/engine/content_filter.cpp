#include "engine/content_filter.h"

#include <atomic>
#include <cctype>
#include <chrono>
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

// The switches are asked for on every relayed block, and reading them from
// the registry takes several calls into it each time; so the last reading is
// kept, with the settings change count it was made at. Any change this
// process makes to the settings (the program's own switches) is seen on the
// next block; one made by another program within a second.
constexpr long long SwitchesKeptMs = 1000;
// The change count shifted left by two, and the two switches.
std::atomic<uint64_t> keptSwitches{~0ull};
std::atomic<long long> keptAtMs{0};

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

FilterSwitches ReadFilterSwitches() {
    uint64_t changes = SettingsChangeCount();
    uint64_t kept = keptSwitches.load();
    long long now = NowMs();
    FilterSwitches switches;
    if (kept >> 2 == changes && now - keptAtMs.load() < SwitchesKeptMs) {
        switches.scripts = (kept & 1) != 0;
        switches.objects = (kept & 2) != 0;
        return switches;
    }
    switches.scripts = RegDwordValue(setting::EnableJS).IsOn();
    switches.objects = RegDwordValue(setting::EnableActiveX).IsOn();
    keptAtMs = now;
    keptSwitches = changes << 2 | (switches.scripts ? 1 : 0) | (switches.objects ? 2 : 0);
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
