// One browser connection, served on a thread of its own from accept to close.
#pragma once

#include <memory>
#include <string>

#include "engine/http_request.h"
#include "net/socket.h"
#include "engine/upstream_settings.h"

// The engine's own time limits, so that stalled peers cannot pile up threads.
struct ConnectionLimits {
    int connectTimeoutMs = 30 * 1000;  // name resolution, and each connect attempt
    int idleTimeoutMs = 120 * 1000;    // nothing moving in either direction
    int headTimeoutMs = 60 * 1000;     // the whole request head, however slowly it comes
};

class ProxyConnection {
public:
    ProxyConnection(net::Socket browser, std::shared_ptr<const UpstreamSettings> settings,
                    ConnectionLimits limits = ConnectionLimits());

    // Serves the connection; both sockets are closed when it returns.
    void Run();

private:
    enum class HeadState { Complete, TooLarge, Incomplete, Nothing };

    // Reads until the blank line that ends the request head; `received` may
    // hold body bytes past it.
    HeadState ReadRequestHead(std::string& received);
    // Answers with the engine's own error response and closes.
    void Refuse(const std::string& response);
    // Connects to the upstream proxy (or the origin server in direct mode);
    // on failure the browser gets a "502 Bad Gateway" page saying why.
    bool ConnectUpstream(const ParsedRequest& request);
    // Copies both directions at once until either side closes or nothing
    // moves for the idle time; the upstream side goes through the tag filter
    // unless this is a tunnel.
    void Relay(bool filter);

    net::Socket browser_;
    net::Socket upstream_;
    std::shared_ptr<const UpstreamSettings> settings_;
    ConnectionLimits limits_;
};
