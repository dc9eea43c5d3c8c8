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
    std::string targetHost;            // from "Host" (or the target when there is none)
    int targetPort = 80;
    std::string path;       // the target from its path on, "/" when it has none
    std::string remainder;  // the blank line and whatever body bytes followed it
};

// A request head longer than this is refused rather than buffered.
constexpr size_t MaxRequestHead = 64 * 1024;

// The offset just past the blank line that ends the head, or npos when the
// head is not complete yet.
size_t FindHeadEnd(const std::string& received);

// Splits what the browser sent (a complete head, maybe followed by body bytes)
// into request line, header fields and remainder.
ParsedRequest ParseRequest(const std::string& received);

// Splits "host:port" (a "Host" value or a CONNECT target). Without a port, or
// with one that is not a TCP port number, the port is defaultPort.
void SplitHostAndPort(const std::string& text, int defaultPort, std::string& host, int& port);

// The request as it is sent on: absolute target with UseProxy 1, origin form
// otherwise; hop-by-hop and conditional headers dropped, "Connection: close",
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
