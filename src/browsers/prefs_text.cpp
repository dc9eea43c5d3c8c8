#include "browsers/prefs_text.h"

#include <algorithm>

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

void SetTypeEntry(std::string& text, std::string& missing) {
    size_t type = text.find(TypeKey);
    if (type == std::string::npos) {
        missing += TypeFragment();
        return;
    }
    size_t digit = Clamp(type + TypeValueOffset, text);
    text.erase(digit, 1);
    text.insert(digit, "1");
}

std::string Fragment(const char* key, const std::string& value) {
    return std::string("\r\n") + key + ", " + value + ");";
}

std::string Quoted(const char* value) {
    return std::string("\"") + value + "\"";
}

// Empties the line of every entry `key`. An entry on the file's last line,
// without a line feed after it, stays: there is no line end to stop at.
void EmptyEntryLines(std::string& text, const char* key) {
    for (size_t entry = text.find(key); entry != std::string::npos; entry = text.find(key, entry)) {
        size_t lineEnd = text.find('\n', entry);
        if (lineEnd == std::string::npos)
            return;
        text.erase(entry, lineEnd - entry);
    }
}

// Removes every entry `key` up to and including its ");", or to its line's
// end when it has none. Enabling appends this entry last, so unlike the port
// entries it usually stands on the last line without a line feed.
void RemoveEntries(std::string& text, const char* key) {
    for (size_t entry = text.find(key); entry != std::string::npos; entry = text.find(key, entry)) {
        size_t lineEnd = std::min(text.find('\n', entry), text.size());
        size_t close = text.find(");", entry);
        size_t end = close < lineEnd ? close + 2 : lineEnd;
        text.erase(entry, end - entry);
    }
}

}  // namespace

std::string HostFragment() {
    return Fragment(HostKey, Quoted(LoopbackHost));
}

std::string PortFragment(int port) {
    return Fragment(PortKey, std::to_string(port));
}

std::string TypeFragment() {
    return Fragment(TypeKey, "1");
}

std::string SslHostFragment() {
    return Fragment(SslHostKey, Quoted(LoopbackHost));
}

std::string SslPortFragment(int port) {
    return Fragment(SslPortKey, std::to_string(port));
}

std::string ProxyOnlyFragment() {
    return Fragment(ProxyOnlyKey, "true");
}

std::string EnableProxy(const std::string& original, int port) {
    std::string text = original;
    std::string missingHttp;
    std::string missingOthers;
    std::string portText = std::to_string(port);
    size_t host = text.find(HostKey);
    if (host == std::string::npos) {
        // Without the host entry the other HTTP entries are not looked for.
        missingHttp = HostFragment() + PortFragment(port) + TypeFragment();
    } else {
        ReplaceValue(text, host + HostValueOffset, "\");", LoopbackHost);
        SetEntry(text, missingHttp, PortKey, PortValueOffset, ");", portText, PortFragment(port));
    }
    // Each secure entry is looked for on its own, so a file that has one of
    // them already is never given a second copy that the browser would obey
    // instead.
    SetEntry(text, missingOthers, SslHostKey, SslHostValueOffset, "\");", LoopbackHost,
             SslHostFragment());
    SetEntry(text, missingOthers, SslPortKey, SslPortValueOffset, ");", portText,
             SslPortFragment(port));
    SetEntry(text, missingOthers, ProxyOnlyKey, ProxyOnlyValueOffset, ");", "true",
             ProxyOnlyFragment());
    // The type entry comes last, so that no damaged value before it can
    // swallow it: whatever the file held, it leaves with a type entry.
    if (host != std::string::npos)
        SetTypeEntry(text, missingHttp);
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
    return text;
}

}  // namespace prefs
