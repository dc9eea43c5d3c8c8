// The line-end conversions of a C runtime text-mode file: files the program
// writes as text carry CR LF on disk, and reading one back turns each CR LF
// pair into a line feed. A CR that is not followed by LF is kept either way.
#pragma once

#include <string>

namespace base {

// Writing in text mode: every LF becomes CR LF, also one that follows a CR.
inline std::string ToTextMode(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

// Reading in text mode: every CR LF pair becomes LF.
inline std::string FromTextMode(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text += bytes[i];
    }
    return text;
}

}  // namespace base
