// Taking a browser's request apart and building the request that goes to the
// upstream proxy. Pure functions over bytes, apart from the sockets, so that
// every rule is tested and fuzzed without a network.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/upstream_settings.h"

struct HeaderField {
    std::string name;
    std::string value;
};

struct ParsedRequest {
    std::string method;
    std::string target;                // as the browser sent it: absolute URL, path or host:port
    std::string version;               // passed on as sent
    std::vector<HeaderField> headers;  // in arrival order, duplicates kept
    std::string targetHost;            // from an absolute target, else from "Host"
    int targetPort = 80;
    std::string path;       // the target from its path on, "/" when it has none
    std::string remainder;  // the blank line and whatever body bytes followed it
    // Why the head must be refused, empty when it means one thing to every
    // reader. A head that two servers could read differently is never
    // forwarded: that is how one request is smuggled inside another.
    std::string fault;
    bool chunked = false;          // the body is framed by Transfer-Encoding: chunked
    long long contentLength = -1;  // -1: no Content-Length
};

// A request head longer than this is refused rather than buffered.
constexpr size_t MaxRequestHead = 64 * 1024;

// The offset just past the blank line that ends the head, or npos when the
// head is not complete yet.
size_t FindHeadEnd(const std::string& received);

// Splits what the browser sent (a complete head, maybe followed by body bytes)
// into request line, header fields and remainder.
ParsedRequest ParseRequest(const std::string& received);

// Splits "host:port" (a "Host" value or a CONNECT target). Without a port the
// port is defaultPort; false (and defaultPort) when the port is not a TCP
// port number, 1 to 65535 in digits only.
bool SplitHostAndPort(const std::string& text, int defaultPort, std::string& host, int& port);

// Header names are compared without regard to case.
bool HeaderNameIs(const std::string& name, const char* wanted);

// The request as it is sent on: absolute target with UseProxy 1, origin form
// otherwise, where "Host" names the target's host; hop-by-hop headers (and
// those the browser's "Connection" names) and conditional headers dropped,
// "Connection: close",
// the authorization line when the settings carry one, then the remainder.
// dropAcceptEncoding asks for an uncompressed answer, so that the tag filter
// can see the page.
std::string RewriteRequest(const ParsedRequest& request, const UpstreamSettings& settings,
                           bool dropAcceptEncoding);

// True when the request line has a method, a target and an HTTP version,
// with no stray line break, zero byte or space inside them.
bool IsWellFormed(const ParsedRequest& request);

// True for the method that opens a tunnel.
bool IsTunnelRequest(const ParsedRequest& request);
