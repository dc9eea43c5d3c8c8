// The first step of a check: a connection through the proxy on which a
// request for a site can be sent. For an HTTP proxy that is the connection
// to the proxy itself; for a SOCKS proxy, the tunnel its handshake opened.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/socks_client.h"
#include "net/proxy_address.h"
#include "net/socket.h"
#include "proxies/judge_exchange.h"

struct Route {
    net::Socket connection;
    RequestForm form;
    SocksFailure failure = SocksFailure::None;
};

// Connects to the proxy and, for a SOCKS proxy, opens the tunnel to
// host:port, within timeoutMs; an invalid connection when either fails.
Route OpenRoute(const net::ProxyAddress& proxy, const std::string& host, int port, int timeoutMs,
                const std::atomic<bool>& stop);

// The outcome of a proxy that opened no route: no connection at all, or the
// SOCKS proxy's own word.
CheckOutcome RouteFailureOutcome(SocksFailure failure);

// Sends `request` and reads the answer until the peer closes, the answer is
// complete (AnswerReader) or `untilMs` (on the steady clock) passes.
JudgeAnswer Exchange(const net::Socket& connection, const std::string& request, int64_t untilMs,
                     const std::atomic<bool>& stop, bool headOnly);

// Milliseconds on the steady clock, and what is left of them until `untilMs`.
int64_t SteadyNowMs();
int RemainingMs(int64_t untilMs);
