#include "browsers/prefs_text.h"

#include <algorithm>

#include "browsers/engine_ports.h"

namespace prefs {

namespace {

constexpr char LoopbackHost[] = "127.0.0.1";

// A value position past the end of a short or damaged file is taken as the
// end, so an insertion there never reaches outside the text.
size_t Clamp(size_t position, const std::string& text) {
    return std::min(position, text.size());
}

// Replaces what lies between `valueStart` and the first `closing` at or after
// it with `value`; without a closing text nothing is removed.
void ReplaceValue(std::string& text, size_t valueStart, const char* closing,
                  const std::string& value) {
    valueStart = Clamp(valueStart, text);
    size_t end = text.find(closing, valueStart);
    if (end != std::string::npos)
        text.erase(valueStart, end - valueStart);
    text.insert(valueStart, value);
}

// Rewrites the value of the entry `key` in place, or adds `fragment` to
// `missing` when the text has no such entry. Missing entries are appended
// only after every in-place rewrite, so that a value position past the end of
// a damaged file never lands inside a fragment that was just appended.
void SetEntry(std::string& text, std::string& missing, const char* key, size_t valueOffset,
              const char* closing, const std::string& value, const std::string& fragment) {
    size_t entry = text.find(key);
    if (entry == std::string::npos)
        missing += fragment;
    else
        ReplaceValue(text, entry + valueOffset, closing, value);
}

void SetTypeEntry(std::string& text, std::string& missing, const std::string& lineEnd) {
    size_t type = text.find(TypeKey);
    if (type == std::string::npos) {
        missing += TypeFragment(lineEnd);
        return;
    }
    size_t digit = Clamp(type + TypeValueOffset, text);
    text.erase(digit, 1);
    text.insert(digit, "1");
}

std::string Fragment(const char* key, const std::string& value, const std::string& lineEnd) {
    return lineEnd + key + ", " + value + ");";
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

std::string Quoted(const char* value) {
    return std::string("\"") + value + "\"";
}

// Empties the line of every entry `key`. An entry on the file's last line,
// without a line feed after it, stays: there is no line end to stop at.
void EmptyEntryLines(std::string& text, const char* key) {
    for (size_t entry = text.find(key); entry != std::string::npos; entry = text.find(key, entry)) {
        if (text.find('\n', entry) == std::string::npos)
            return;
        text.erase(entry, LineContentEnd(text, entry) - entry);
    }
}

// Removes every entry `key` up to and including its ");", or to its line's
// end when it has none. Enabling appends this entry last, so unlike the port
// entries it usually stands on the last line without a line feed.
void RemoveEntries(std::string& text, const char* key) {
    for (size_t entry = text.find(key); entry != std::string::npos; entry = text.find(key, entry)) {
        size_t lineEnd = LineContentEnd(text, entry);
        size_t close = text.find(");", entry);
        size_t end = close < lineEnd ? close + 2 : lineEnd;
        text.erase(entry, end - entry);
    }
}

std::string KeyOf(const std::string& name) {
    return "user_pref(\"" + name + "\"";
}

// Where one entry lies: its first character, its value and its end (past
// ");", or its line's end when it has none).
struct EntrySpan {
    size_t start = std::string::npos;
    size_t valueStart = 0;
    size_t valueEnd = 0;
    size_t end = 0;
};

EntrySpan FindEntry(const std::string& text, const std::string& key, size_t from = 0) {
    EntrySpan span;
    span.start = text.find(key, from);
    if (span.start == std::string::npos)
        return span;
    size_t lineEnd = LineContentEnd(text, span.start);
    size_t value = std::min(span.start + key.size(), lineEnd);
    if (value < lineEnd && text[value] == ',')
        ++value;
    while (value < lineEnd && text[value] == ' ')
        ++value;
    size_t close = text.find(");", value);
    span.valueStart = value;
    span.valueEnd = close < lineEnd ? close : lineEnd;
    span.end = close < lineEnd ? close + 2 : lineEnd;
    return span;
}

// Removes the entry with its line. An entry alone on its line takes the line
// end after it; on the last line, which enabling's appended entries end
// with, it takes the line end before it instead, so that the text before it
// is again what it was. Stray CRs before that line end go with it: an
// earlier build wrote its appended lines with CR CR LF.
void RemoveEntryLine(std::string& text, const EntrySpan& span) {
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

std::string FirstValue(const std::string& text, const char* key, bool& present) {
    EntrySpan span = FindEntry(text, key);
    present = span.start != std::string::npos;
    return present ? text.substr(span.valueStart, span.valueEnd - span.valueStart) : "";
}

// The value the browser obeys: that of the last entry.
std::string LastValue(const std::string& text, const char* key, bool& present) {
    EntrySpan last = FindEntry(text, key);
    present = last.start != std::string::npos;
    for (EntrySpan next = last; next.start != std::string::npos;
         next = FindEntry(text, key, next.end))
        last = next;
    return present ? text.substr(last.valueStart, last.valueEnd - last.valueStart) : "";
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
    std::string text = original;
    std::string missingHttp;
    std::string missingOthers;
    std::string portText = std::to_string(port);
    std::string lineEnd = LineEndOf(original);
    size_t host = text.find(HostKey);
    if (host == std::string::npos) {
        // Without the host entry the other HTTP entries are not looked for.
        missingHttp = HostFragment(lineEnd) + PortFragment(port, lineEnd) + TypeFragment(lineEnd);
    } else {
        ReplaceValue(text, host + HostValueOffset, "\");", LoopbackHost);
        SetEntry(text, missingHttp, PortKey, PortValueOffset, ");", portText,
                 PortFragment(port, lineEnd));
    }
    // Each secure entry is looked for on its own, so a file that has one of
    // them already is never given a second copy that the browser would obey
    // instead.
    SetEntry(text, missingOthers, SslHostKey, SslHostValueOffset, "\");", LoopbackHost,
             SslHostFragment(lineEnd));
    SetEntry(text, missingOthers, SslPortKey, SslPortValueOffset, ");", portText,
             SslPortFragment(port, lineEnd));
    SetEntry(text, missingOthers, ProxyOnlyKey, ProxyOnlyValueOffset, ");", "true",
             ProxyOnlyFragment(lineEnd));
    SetEntry(text, missingOthers, DnsPrefetchOffKey, DnsPrefetchOffValueOffset, ");", "true",
             DnsPrefetchOffFragment(lineEnd));
    // The type entry comes last, so that no damaged value before it can
    // swallow it: whatever the file held, it leaves with a type entry.
    if (host != std::string::npos)
        SetTypeEntry(text, missingHttp, lineEnd);
    return text + missingHttp + missingOthers;
}

std::string DisableProxy(const std::string& original) {
    // Every port and type entry goes, not only the first: a file that had
    // them but no host entry was given a second set when it was enabled, and
    // the later set is the one the browser obeys.
    std::string text = original;
    EmptyEntryLines(text, PortKey);
    EmptyEntryLines(text, SslPortKey);
    for (size_t type = text.find(TypeKey); type != std::string::npos; type = text.find(TypeKey))
        text.erase(type, TypeEntryLength);
    RemoveEntries(text, ProxyOnlyKey);
    RemoveEntries(text, DnsPrefetchOffKey);
    return text;
}

std::vector<std::string> ChangedPrefNames() {
    return {"network.proxy.type",         "network.proxy.http",
            "network.proxy.http_port",    "network.proxy.ssl",
            "network.proxy.ssl_port",     "media.peerconnection.ice.proxy_only",
            "network.dns.disablePrefetch"};
}

namespace {

// Each changed preference's value in `text`, as `valueOf` finds it.
std::vector<SavedEntry> ChangedEntries(const std::string& text,
                                       std::string (*valueOf)(const std::string&, const char*,
                                                              bool&)) {
    std::vector<SavedEntry> entries;
    for (const std::string& name : ChangedPrefNames()) {
        SavedEntry entry;
        entry.name = name;
        entry.value = valueOf(text, KeyOf(name).c_str(), entry.present);
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace

std::vector<SavedEntry> SaveEntries(const std::string& text) {
    return ChangedEntries(text, FirstValue);
}

std::vector<SavedEntry> ObeyedEntries(const std::string& text) {
    return ChangedEntries(text, LastValue);
}

bool PointsAt(const std::string& text, int port) {
    bool host = false;
    bool portEntry = false;
    bool type = false;
    return LastValue(text, HostKey, host) == Quoted(LoopbackHost) && host &&
           LastValue(text, PortKey, portEntry) == std::to_string(port) && portEntry &&
           LastValue(text, TypeKey, type) == "1" && type;
}

bool PointsAt(const std::string& text, const std::vector<int>& ports) {
    bool host = false;
    bool portEntry = false;
    bool type = false;
    std::string hostValue = LastValue(text, HostKey, host);
    std::string portValue = LastValue(text, PortKey, portEntry);
    return host && portEntry && LastValue(text, TypeKey, type) == "1" && type &&
           hostValue.size() >= 2 && hostValue.front() == '"' && IsLoopbackHost(hostValue) &&
           IsEngineServer("127.0.0.1:" + portValue, ports);
}

std::string RestoreEntries(const std::string& original, const std::vector<SavedEntry>& saved) {
    std::string text = original;
    std::string missing;
    std::string lineEnd = LineEndOf(original);
    for (const SavedEntry& entry : saved) {
        std::string key = KeyOf(entry.name);
        EntrySpan first = FindEntry(text, key);
        size_t later = 0;
        if (entry.present && first.start != std::string::npos) {
            text.replace(first.valueStart, first.valueEnd - first.valueStart, entry.value);
            later = FindEntry(text, key).end;
        } else if (entry.present) {
            missing += Fragment(key.c_str(), entry.value, lineEnd);
        }
        // Enabling may have appended a copy after the user's own, and the
        // browser obeys the last one.
        for (EntrySpan span = FindEntry(text, key, later); span.start != std::string::npos;) {
            RemoveEntryLine(text, span);
            // The removal may have taken the two characters before the entry.
            span = FindEntry(text, key, std::max(later, span.start >= 2 ? span.start - 2 : 0));
        }
    }
    return text + missing;
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
