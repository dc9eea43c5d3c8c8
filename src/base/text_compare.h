// Texts compared without regard to the case of their letters, as header
// names, command-line switches, file names and proxy addresses are.
#pragma once

#include <cstring>
#include <string>

namespace base {

bool EqualsIgnoringCase(const char* a, size_t aLength, const char* b, size_t bLength);

inline bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return EqualsIgnoringCase(a.data(), a.size(), b.data(), b.size());
}
// Without building a string, for the engine's per-header comparisons.
inline bool EqualsIgnoringCase(const std::string& a, const char* b) {
    return EqualsIgnoringCase(a.data(), a.size(), b, std::strlen(b));
}

inline bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.data(), prefix.size(), prefix.data(), prefix.size());
}

// Negative, zero or positive as a sorts before, with or after b, letters
// compared without their case (a shorter text before its longer twin).
int CompareIgnoringCase(const std::string& a, const std::string& b);

}  // namespace base
