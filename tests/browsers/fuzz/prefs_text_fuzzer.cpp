// Fuzzes the reading and the edits of prefs.js and user.js: whatever a file
// holds, the reading stays inside it, the browser reads an enabled file as
// pointing at the engine, and a restore (with the record, or without one)
// gives the browser back the values it obeyed before, every other entry
// untouched.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "browsers/prefs_reader.h"
#include "browsers/prefs_text.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool IsChanged(const std::string& name) {
    for (const std::string& changed : prefs::ChangedPrefNames()) {
        if (name == changed)
            return true;
    }
    return false;
}

// The entries of preferences that the edits leave alone, as the browser
// takes them.
std::vector<std::pair<std::string, std::string>> Others(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> others;
    for (const prefs::PrefEntry& entry : prefs::ReadPrefs(text).entries) {
        if (!IsChanged(entry.name))
            others.emplace_back(entry.name, entry.taken);
    }
    return others;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    prefs::PrefsReading reading = prefs::ReadPrefs(text);
    size_t last = 0;
    for (const prefs::PrefEntry& entry : reading.entries) {
        Require(last <= entry.start && entry.start < entry.valueStart &&
                entry.valueStart < entry.valueEnd && entry.valueEnd < entry.end &&
                entry.end <= reading.addAt);
        Require(text.compare(entry.valueStart, entry.valueEnd - entry.valueStart, entry.value) ==
                0);
        last = entry.end;
    }
    Require(reading.addAt <= text.size());

    std::string enabled = prefs::EnableProxy(text, 8080);
    Require(prefs::PointsAt(enabled, 8080));
    Require(Others(enabled) == Others(text));

    std::string restored = prefs::RestoreEntries(enabled, prefs::SaveEntries(text));
    Require(prefs::ObeyedEntries(restored) == prefs::ObeyedEntries(text));
    Require(Others(restored) == Others(text));

    std::string reset = prefs::DisableProxy(enabled);
    for (const SavedEntry& entry : prefs::ObeyedEntries(reset)) {
        Require(entry.present ==
                (entry.name == "network.proxy.http" || entry.name == "network.proxy.ssl"));
    }
    Require(Others(reset) == Others(text));
    return 0;
}
