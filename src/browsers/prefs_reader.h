// The reading of a Mozilla-family prefs.js or user.js as the browser itself
// reads it (Firefox's own prefs parser, for the files of a profile): the
// entries are `user_pref("name", value);`, with blanks, line ends and
// comments (`//` and `#` to the line's end, `/* */`) anywhere between their
// parts; a name or string value is in double or single quotes with the
// escapes \" \' \\ \n \r \xNN \uNNNN; a value is a string, true, false or a
// whole number of 32 bits with an optional sign. A leading UTF-8 byte order
// mark is passed over and a NUL byte between entries ends the reading. What
// the browser cannot read is passed over up to and including the next `;`
// outside strings and comments, the entry that holds it with it. Every
// routine that reads or edits these files goes through this reading, so that
// an entry in a comment or in another entry's string is never taken for one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace prefs {

// One entry the browser takes, with where it lies in the text.
struct PrefEntry {
    // The name as the browser takes it, its escapes resolved.
    std::string name;
    // The value as written: a string with its quotes and escapes, a number
    // with its sign.
    std::string value;
    // The value as the browser takes it: a string between double quotes with
    // its escapes resolved (nothing escaped again), a number in decimal, true
    // or false.
    std::string taken;
    size_t start = 0;       // the first character of `user_pref`
    size_t valueStart = 0;  // the value's first character
    size_t valueEnd = 0;    // past the value's last character
    size_t end = 0;         // past the closing `;`
};

struct PrefsReading {
    // Every entry the browser takes, in the order of the text.
    std::vector<PrefEntry> entries;
    // Where an entry added to the text is read: the text's end, or, when the
    // text ends in something the browser cannot finish reading (a comment,
    // string or entry left open, a NUL byte) that would swallow what came
    // after it, where that tail starts.
    size_t addAt = 0;
};

PrefsReading ReadPrefs(const std::string& text);

}  // namespace prefs
