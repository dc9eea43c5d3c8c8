#include "browsers/prefs_text.h"

#include <algorithm>
#include <utility>

#include "browsers/engine_ports.h"
#include "browsers/prefs_reader.h"

namespace prefs {

namespace {

constexpr char LoopbackHost[] = "127.0.0.1";
constexpr char HostName[] = "network.proxy.http";
constexpr char PortName[] = "network.proxy.http_port";
constexpr char TypeName[] = "network.proxy.type";
constexpr char SslHostName[] = "network.proxy.ssl";
constexpr char SslPortName[] = "network.proxy.ssl_port";
constexpr char ProxyOnlyName[] = "media.peerconnection.ice.proxy_only";
constexpr char DnsPrefetchOffName[] = "network.dns.disablePrefetch";

std::string Fragment(const char* key, const std::string& value, const std::string& lineEnd) {
    return lineEnd + key + ", " + value + ");";
}

std::string KeyOf(const std::string& name) {
    return "user_pref(\"" + name + "\"";
}

// One entry as the edits write it, without a line end.
std::string EntryText(const std::string& name, const std::string& value) {
    return KeyOf(name) + ", " + value + ");";
}

std::string Quoted(const char* value) {
    return std::string("\"") + value + "\"";
}

const PrefEntry* FirstEntry(const PrefsReading& reading, const std::string& name) {
    for (const PrefEntry& entry : reading.entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

// The entry the browser obeys: the last one.
const PrefEntry* LastEntry(const PrefsReading& reading, const std::string& name) {
    const PrefEntry* last = nullptr;
    for (const PrefEntry& entry : reading.entries) {
        if (entry.name == name)
            last = &entry;
    }
    return last;
}

// Where the line holding `from` ends, before its CR LF or LF; the text's end
// for its last line. Earlier builds ended the lines they added with CR CR LF:
// every CR before the LF is taken as part of the line end.
size_t LineContentEnd(const std::string& text, size_t from) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos)
        return text.size();
    while (end > from && text[end - 1] == '\r')
        --end;
    return end;
}

// Adds `entries` where the browser reads them (PrefsReading::addAt): at the
// end each after a line end, as ever; before a tail that the browser cannot
// read each followed by one, so that the tail keeps its line.
std::string WithAdded(const std::string& text, const std::vector<std::string>& entries,
                      const std::string& lineEnd) {
    if (entries.empty())
        return text;
    size_t at = ReadPrefs(text).addAt;
    std::string added;
    if (at >= text.size()) {
        for (const std::string& entry : entries)
            added += lineEnd + entry;
        return text + added;
    }
    if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r')
        added = lineEnd;
    for (const std::string& entry : entries)
        added += entry + lineEnd;
    return text.substr(0, at) + added + text.substr(at);
}

// Removes the entry with its line. An entry alone on its line takes the line
// end after it; on the last line, which enabling's appended entries end
// with, it takes the line end before it instead, so that the text before it
// is again what it was. Stray CRs before that line end go with it: an
// earlier build wrote its appended lines with CR CR LF.
void RemoveEntryLine(std::string& text, const PrefEntry& span) {
    size_t contentEnd = LineContentEnd(text, span.end);
    bool startsLine = span.start == 0 || text[span.start - 1] == '\n';
    bool endsLine = contentEnd == span.end;
    if (!startsLine || !endsLine) {
        text.erase(span.start, span.end - span.start);
        return;
    }
    size_t lineFeed = text.find('\n', span.end);
    if (lineFeed != std::string::npos) {
        text.erase(span.start, lineFeed + 1 - span.start);
        return;
    }
    size_t from = span.start;
    if (from > 0) {
        --from;
        while (from > 0 && text[from - 1] == '\r')
            --from;
    }
    text.erase(from);
}

// Whether `value` reads as a value of an entry, whole.
bool IsValue(const std::string& value) {
    std::string entry = EntryText("v", value);
    PrefsReading reading = ReadPrefs(entry);
    return reading.entries.size() == 1 && reading.entries[0].end == entry.size() &&
           reading.entries[0].value == value;
}

}  // namespace

std::string LineEndOf(const std::string& text) {
    size_t lineFeed = text.find('\n');
    return lineFeed != std::string::npos && (lineFeed == 0 || text[lineFeed - 1] != '\r') ? "\n"
                                                                                          : "\r\n";
}

std::string HostFragment(const std::string& lineEnd) {
    return Fragment(HostKey, Quoted(LoopbackHost), lineEnd);
}

std::string PortFragment(int port, const std::string& lineEnd) {
    return Fragment(PortKey, std::to_string(port), lineEnd);
}

std::string TypeFragment(const std::string& lineEnd) {
    return Fragment(TypeKey, "1", lineEnd);
}

std::string SslHostFragment(const std::string& lineEnd) {
    return Fragment(SslHostKey, Quoted(LoopbackHost), lineEnd);
}

std::string SslPortFragment(int port, const std::string& lineEnd) {
    return Fragment(SslPortKey, std::to_string(port), lineEnd);
}

std::string ProxyOnlyFragment(const std::string& lineEnd) {
    return Fragment(ProxyOnlyKey, "true", lineEnd);
}

std::string DnsPrefetchOffFragment(const std::string& lineEnd) {
    return Fragment(DnsPrefetchOffKey, "true", lineEnd);
}

std::string EnableProxy(const std::string& original, int port) {
    PrefsReading reading = ReadPrefs(original);
    std::string portText = std::to_string(port);
    // Values rewritten in place, and entries to add.
    std::vector<std::pair<const PrefEntry*, std::string>> rewrites;
    std::vector<std::string> missingHttp;
    std::vector<std::string> missingOthers;
    // Every entry of a preference is rewritten: the browser obeys the last.
    auto set = [&](const char* name, const std::string& value, std::vector<std::string>& missing) {
        bool found = false;
        for (const PrefEntry& entry : reading.entries) {
            if (entry.name == name) {
                rewrites.emplace_back(&entry, value);
                found = true;
            }
        }
        if (!found)
            missing.push_back(EntryText(name, value));
    };
    bool hasHost = FirstEntry(reading, HostName) != nullptr;
    if (!hasHost) {
        // Without the host entry the other HTTP entries are not looked for.
        missingHttp = {EntryText(HostName, Quoted(LoopbackHost)), EntryText(PortName, portText),
                       EntryText(TypeName, "1")};
    } else {
        set(HostName, Quoted(LoopbackHost), missingHttp);
        set(PortName, portText, missingHttp);
        set(TypeName, "1", missingHttp);
    }
    // Each secure entry is looked for on its own, so a file that has one of
    // them already is never given a second copy that the browser would obey
    // instead.
    set(SslHostName, Quoted(LoopbackHost), missingOthers);
    set(SslPortName, portText, missingOthers);
    set(ProxyOnlyName, "true", missingOthers);
    set(DnsPrefetchOffName, "true", missingOthers);
    missingHttp.insert(missingHttp.end(), missingOthers.begin(), missingOthers.end());
    // Entries are added after every entry the browser reads, so the values
    // rewritten from the last one back keep their places.
    std::string text = WithAdded(original, missingHttp, LineEndOf(original));
    std::sort(rewrites.begin(), rewrites.end(), [](const auto& a, const auto& b) {
        return a.first->valueStart > b.first->valueStart;
    });
    for (const auto& [entry, value] : rewrites)
        text.replace(entry->valueStart, entry->valueEnd - entry->valueStart, value);
    return text;
}

std::string DisableProxy(const std::string& original) {
    // Every port and type entry goes, not only the first: a file that had
    // them but no host entry was given a second set when it was enabled, and
    // the later set is the one the browser obeys.
    std::string text = original;
    PrefsReading reading = ReadPrefs(original);
    for (size_t i = reading.entries.size(); i-- > 0;) {
        const PrefEntry& entry = reading.entries[i];
        for (const char* name :
             {PortName, SslPortName, TypeName, ProxyOnlyName, DnsPrefetchOffName}) {
            if (entry.name == name)
                text.erase(entry.start, entry.end - entry.start);
        }
    }
    return text;
}

std::vector<std::string> ChangedPrefNames() {
    return {"network.proxy.type",         "network.proxy.http",
            "network.proxy.http_port",    "network.proxy.ssl",
            "network.proxy.ssl_port",     "media.peerconnection.ice.proxy_only",
            "network.dns.disablePrefetch"};
}

namespace {

// Each changed preference's entry in `text`, as `pick` chooses it, with its
// value as written or as the browser takes it.
std::vector<SavedEntry> ChangedEntries(const std::string& text,
                                       const PrefEntry* (*pick)(const PrefsReading&,
                                                                const std::string&),
                                       bool taken) {
    PrefsReading reading = ReadPrefs(text);
    std::vector<SavedEntry> entries;
    for (const std::string& name : ChangedPrefNames()) {
        SavedEntry entry;
        entry.name = name;
        if (const PrefEntry* found = pick(reading, name)) {
            entry.present = true;
            entry.value = taken ? found->taken : found->value;
        }
        entries.push_back(entry);
    }
    return entries;
}

// The obeyed value of `name`; empty when there is none.
std::string Obeyed(const std::vector<SavedEntry>& obeyed, const std::string& name) {
    for (const SavedEntry& entry : obeyed) {
        if (entry.name == name && entry.present)
            return entry.value;
    }
    return std::string();
}

}  // namespace

std::vector<SavedEntry> SaveEntries(const std::string& text) {
    return ChangedEntries(text, LastEntry, false);
}

std::vector<SavedEntry> ObeyedEntries(const std::string& text) {
    return ChangedEntries(text, LastEntry, true);
}

bool PointsAt(const std::string& text, int port) {
    std::vector<SavedEntry> obeyed = ObeyedEntries(text);
    return Obeyed(obeyed, HostName) == Quoted(LoopbackHost) &&
           Obeyed(obeyed, PortName) == std::to_string(port) && Obeyed(obeyed, TypeName) == "1";
}

bool PointsAt(const std::string& text, const std::vector<int>& ports) {
    std::vector<SavedEntry> obeyed = ObeyedEntries(text);
    std::string hostValue = Obeyed(obeyed, HostName);
    std::string portValue = Obeyed(obeyed, PortName);
    return !portValue.empty() && Obeyed(obeyed, TypeName) == "1" && hostValue.size() >= 2 &&
           hostValue.front() == '"' && IsLoopbackHost(hostValue) &&
           IsEngineServer("127.0.0.1:" + portValue, ports);
}

std::string RestoreEntries(const std::string& original, const std::vector<SavedEntry>& saved) {
    std::string text = original;
    std::vector<std::string> missing;
    for (const SavedEntry& entry : saved) {
        bool present = entry.present && IsValue(entry.value);
        PrefsReading reading = ReadPrefs(text);
        const PrefEntry* first = FirstEntry(reading, entry.name);
        bool keepFirst = present && first;
        if (keepFirst)
            text.replace(first->valueStart, first->valueEnd - first->valueStart, entry.value);
        else if (present)
            missing.push_back(EntryText(entry.name, entry.value));
        // Enabling may have appended a copy after the user's own, and the
        // browser obeys the last one: every later entry goes, one at a time,
        // as each removal moves the ones after it.
        for (;;) {
            reading = ReadPrefs(text);
            const PrefEntry* next = nullptr;
            bool skipped = !keepFirst;
            for (const PrefEntry& each : reading.entries) {
                if (each.name != entry.name)
                    continue;
                if (!skipped) {
                    skipped = true;
                    continue;
                }
                next = &each;
                break;
            }
            if (!next)
                break;
            RemoveEntryLine(text, *next);
        }
    }
    return WithAdded(text, missing, LineEndOf(original));
}

std::vector<SavedEntry> HeldEntries(const std::vector<SavedEntry>& inUserJs,
                                    const std::vector<SavedEntry>& inPrefsJs) {
    // Type 5 takes the system's proxy settings.
    const SavedEntry defaults[] = {{"network.proxy.type", true, "5"},
                                   {"network.proxy.http", true, "\"\""},
                                   {"network.proxy.http_port", true, "0"},
                                   {"network.proxy.ssl", true, "\"\""},
                                   {"network.proxy.ssl_port", true, "0"},
                                   {"media.peerconnection.ice.proxy_only", true, "false"},
                                   {"network.dns.disablePrefetch", true, "false"}};
    auto find = [](const std::vector<SavedEntry>& entries, const std::string& name) {
        auto it = std::find_if(entries.begin(), entries.end(), [&name](const SavedEntry& entry) {
            return entry.present && entry.name == name;
        });
        return it == entries.end() ? nullptr : &*it;
    };
    std::vector<SavedEntry> held;
    for (const SavedEntry& fallback : defaults) {
        const SavedEntry* own = find(inUserJs, fallback.name);
        if (!own)
            own = find(inPrefsJs, fallback.name);
        held.push_back(own ? *own : fallback);
    }
    return held;
}

}  // namespace prefs
