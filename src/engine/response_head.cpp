#include "engine/response_head.h"

#include <cstring>

#include "base/text_compare.h"
#include "engine/http_request.h"

namespace {

// The line is looked at where it lies in the head: a copy of every line of
// every answer would cost more than the marking itself.
bool IsConnectionHeader(const char* line, size_t length) {
    const void* colon = std::memchr(line, ':', length);
    size_t name = colon ? static_cast<size_t>(static_cast<const char*>(colon) - line) : length;
    for (const char* dropped : {"Connection", "Proxy-Connection", "Keep-Alive"}) {
        if (base::EqualsIgnoringCase(line, name, dropped, std::strlen(dropped)))
            return true;
    }
    return false;
}

// 1xx: another head follows it.
bool IsInterim(const std::string& head) {
    size_t space = head.find(' ');
    return space != std::string::npos && space + 1 < head.size() && head[space + 1] == '1';
}

}  // namespace

std::string MarkResponseClose(const std::string& head) {
    std::string out;
    out.reserve(head.size() + 48);
    size_t position = 0;
    bool statusLine = true;
    bool dropping = false;
    for (;;) {
        size_t end = head.find("\r\n", position);
        if (end == std::string::npos || end == position)
            break;
        const char* line = head.data() + position;
        size_t length = end - position;
        position = end + 2;
        bool continuation = line[0] == ' ' || line[0] == '\t';
        if (!statusLine && !continuation)
            dropping = IsConnectionHeader(line, length);
        if (!(dropping && !statusLine))
            out.append(line, length + 2);  // with its line break
        statusLine = false;
    }
    out += "Connection: close\r\nProxy-Connection: close\r\n";
    out.append(head, position, std::string::npos);
    return out;
}

void ResponseHeadMarker::Feed(const char* data, size_t length, std::string& out) {
    if (done_) {
        out.append(data, length);
        return;
    }
    held_.append(data, length);
    while (!done_) {
        // Not an HTTP answer (or too long a head to be one): passed on as is.
        static const std::string Status = "HTTP/";
        size_t prefix = held_.size() < Status.size() ? held_.size() : Status.size();
        if (held_.compare(0, prefix, Status, 0, prefix) != 0 || held_.size() > MaxResponseHead) {
            done_ = true;
            break;
        }
        size_t end = FindHeadEnd(held_);
        if (end == std::string::npos)
            return;
        std::string head = held_.substr(0, end);
        held_.erase(0, end);
        out += MarkResponseClose(head);
        done_ = !IsInterim(head);
    }
    out += held_;
    held_.clear();
}

void ResponseHeadMarker::Finish(std::string& out) {
    out += held_;
    held_.clear();
}
