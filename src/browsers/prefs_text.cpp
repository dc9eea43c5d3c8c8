#include "browsers/prefs_text.h"

#include <algorithm>

namespace prefs {

namespace {

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

}  // namespace

std::string HostFragment() {
    return "\r\nuser_pref(\"network.proxy.http\", \"127.0.0.1\");";
}

std::string PortFragment(int port) {
    return "\r\nuser_pref(\"network.proxy.http_port\", " + std::to_string(port) + ");";
}

std::string TypeFragment() {
    return "\r\nuser_pref(\"network.proxy.type\", 1);";
}

std::string EnableProxy(const std::string& original, int port) {
    std::string text = original;
    size_t host = text.find(HostKey);
    if (host == std::string::npos) {
        text += HostFragment();
        text += PortFragment(port);
        text += TypeFragment();
        return text;
    }
    ReplaceValue(text, host + HostValueOffset, "\");", "127.0.0.1");

    size_t portEntry = text.find(PortKey);
    if (portEntry == std::string::npos)
        text += PortFragment(port);
    else
        ReplaceValue(text, portEntry + PortValueOffset, ");", std::to_string(port));

    size_t type = text.find(TypeKey);
    if (type == std::string::npos) {
        text += TypeFragment();
    } else {
        size_t digit = Clamp(type + TypeValueOffset, text);
        text.erase(digit, 1);
        text.insert(digit, "1");
    }
    return text;
}

std::string DisableProxy(const std::string& original) {
    // Every port and type entry goes, not only the first: a file that had
    // them but no host entry was given a second set when it was enabled, and
    // the later set is the one the browser obeys.
    std::string text = original;
    for (size_t portEntry = text.find(PortKey); portEntry != std::string::npos;
         portEntry = text.find(PortKey, portEntry)) {
        // An entry on the file's last line, without a line feed after it,
        // stays: there is no line end to stop the deletion at.
        size_t lineEnd = text.find('\n', portEntry);
        if (lineEnd == std::string::npos)
            break;
        text.erase(portEntry, lineEnd - portEntry);
    }
    for (size_t type = text.find(TypeKey); type != std::string::npos; type = text.find(TypeKey))
        text.erase(type, TypeEntryLength);
    return text;
}

}  // namespace prefs
