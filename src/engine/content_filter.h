// Disarms script and object tags in the data relayed to the browser by
// renaming them to names no browser knows. Every replacement has the length of
// what it replaces, so a response sent with a Content-Length stays whole.
#pragma once

#include <cstddef>
#include <string>

// Which replacements are on; asked for on every block, so a change of the
// settings takes effect on the next block of every connection.
struct FilterSwitches {
    bool scripts = false;  // EnableJS
    bool objects = false;  // EnableActiveX
};

// EnableJS and EnableActiveX as they are in the settings store now: as this
// process last wrote them, and as another program did within a second.
FilterSwitches ReadFilterSwitches();

// One response's filter. It keeps the few bytes at the end of a block that
// could be the start of a tag, and looks at them again with the next block,
// so a tag split between two blocks is found too.
class ContentFilter {
public:
    // Filters the next block and appends to `out` what can be sent now.
    void Filter(const char* data, size_t length, FilterSwitches switches, std::string& out);
    // Appends the bytes still held back, at the end of the response.
    void Finish(std::string& out);
    // Whether bytes of a possible tag are held back for the next block.
    bool Holding() const { return !pending_.empty(); }

private:
    std::string pending_;
};
