// Marks the server's answer so that the browser does not reuse its
// connection to the engine: the engine carries one request per connection,
// whatever the server said about its own connection.
#pragma once

#include <cstddef>
#include <string>

// An answer head longer than this is passed on as it came.
constexpr size_t MaxResponseHead = 64 * 1024;

// The head (through its blank line) with every "Connection",
// "Proxy-Connection" and "Keep-Alive" line replaced by "Connection: close"
// and "Proxy-Connection: close".
std::string MarkResponseClose(const std::string& head);

// Holds the answer back until its head is complete, marks it, and passes
// the rest on untouched. Interim answers (100 Continue) are marked too, and
// so is the final head after them.
class ResponseHeadMarker {
public:
    // Appends to `out` what can be sent on now.
    void Feed(const char* data, size_t length, std::string& out);
    // Appends whatever is still held, at the end of the answer.
    void Finish(std::string& out);
    bool Done() const { return done_; }

private:
    std::string held_;
    bool done_ = false;
};
