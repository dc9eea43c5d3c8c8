// Fuzzes request parsing and rewriting: whatever the browser sends, the
// rewritten head keeps its lines whole and never carries a dropped header.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/http_request.h"
#include "engine/request_body.h"
#include "engine/response_head.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckRewrite(const ParsedRequest& request, const UpstreamSettings& settings, bool drop) {
    std::string out = RewriteRequest(request, settings, drop);
    Require(out.size() >= request.remainder.size());
    Require(out.compare(out.size() - request.remainder.size(), std::string::npos,
                        request.remainder) == 0);
    std::string head = out.substr(0, out.size() - request.remainder.size());
    if (IsWellFormed(request))
        Require(head.find("\r\n") == head.find_first_of("\r\n"));
    // Every header line stands alone and none of the dropped ones is there.
    size_t start = head.find("\r\n") + 2;
    bool sawClose = false;
    while (start < head.size()) {
        size_t end = head.find("\r\n", start);
        Require(end != std::string::npos);
        std::string line = head.substr(start, end - start);
        Require(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
        std::string name = Lower(line.substr(0, line.find(':')));
        Require(name != "proxy-connection" && name != "keep-alive" && name != "if-none-match" &&
                name != "if-modified-since" && name != "upgrade" && name != "te");
        Require(!(drop && name == "accept-encoding"));
        if (name == "connection")
            sawClose = Lower(line) == "connection: close" || sawClose;
        start = end + 2;
    }
    Require(sawClose);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string received(reinterpret_cast<const char*>(data), size);
    size_t headEnd = FindHeadEnd(received);
    Require(headEnd == std::string::npos || headEnd <= received.size());
    ParsedRequest request = ParseRequest(received);
    Require(request.targetPort >= 1 && request.targetPort <= 65535);
    static const UpstreamSettings viaProxy = MakeUpstreamSettings(
        1, net::ProxyAddress("10.0.0.1", 3128, net::ProxyType::Http, "u", "p"));
    static const UpstreamSettings direct = MakeUpstreamSettings(0, net::ProxyAddress());
    CheckRewrite(request, viaProxy, false);
    CheckRewrite(request, direct, true);

    // The body never takes more than it is given.
    RequestBodyEnd body(request);
    Require(body.Take(request.remainder.data(), request.remainder.size()) <=
            request.remainder.size());
    // The same bytes as an answer: held back and marked, never lost.
    ResponseHeadMarker marker;
    std::string marked;
    marker.Feed(received.data(), size / 2, marked);
    marker.Feed(received.data() + size / 2, size - size / 2, marked);
    marker.Finish(marked);
    Require(marked.size() >= size || received.compare(0, 5, "HTTP/") == 0);
    return 0;
}
