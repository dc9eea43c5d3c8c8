// Opens, on the engine's event loop, a connection that reaches a request's
// site through one proxy: the proxy itself for an HTTP proxy (or the site's
// server in direct mode), a tunnel to the site for a SOCKS proxy. The name
// is looked up on a thread of its own, each of its addresses tried in turn,
// and a SOCKS handshake driven by the proxy's reply bytes; nothing here
// waits on the loop.
#pragma once

#include <functional>
#include <string>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include "net/proxy_address.h"

struct DialTarget {
    net::ProxyAddress proxy;
    std::string siteHost;
    int sitePort = 0;
    // Nothing is connected to a loopback address at this port: that would
    // be the engine itself.
    int ownPort = 0;
    // Bounds the name lookup, each connect attempt, and a SOCKS proxy's own
    // answers (greeting, sign-in).
    int timeoutMs = 0;
    // Bounds a SOCKS proxy's connection to the site, from the handshake's
    // start, so that a slow site is not taken for a dead proxy.
    int siteTimeoutMs = 0;
};

struct DialOutcome {
    // The target is this engine itself; nothing was connected.
    bool looped = false;
    // Whether the proxy, not the site, failed: false when a SOCKS proxy
    // answered that it cannot reach the site.
    bool proxyAtFault = true;
    // Why it failed, in a few words for the error page.
    std::string reason;
};

// Told once, on the loop, with an open connection or a closed socket and
// the outcome.
using DialDone = std::function<void(asio::ip::tcp::socket connection, const DialOutcome& outcome)>;

void StartDial(asio::io_context& io, const DialTarget& target, DialDone done);
