// One browser connection, served from accept to close.
#pragma once

#include <memory>
#include <string>

#include "engine/error_response.h"
#include "engine/http_request.h"
#include "engine/upstream_choice.h"
#include "engine/upstream_settings.h"
#include "net/socket.h"

// Browser connections served at once. Past it the listener answers "503"
// instead of taking threads and descriptors until none are left.
constexpr int MaxConnections = 512;

// The engine's own limits, so that stalled peers cannot pile up threads.
struct ConnectionLimits {
    // Name resolution, each connect attempt, and a SOCKS proxy's own
    // connection to the site.
    int connectTimeoutMs = 30 * 1000;
    // The same for each remote proxy (and a SOCKS proxy's greeting and
    // sign-in), whether or not there are others to turn to. A live proxy
    // completes the handshake within a round trip, under a second even
    // across the world; five seconds also covers one lost SYN sent again
    // (after 1 s by RFC 6298, 3 s by the older rule some systems keep), and
    // three proxies tried keep a browser waiting 15 s at most.
    int failoverConnectTimeoutMs = 5 * 1000;
    int idleTimeoutMs = 120 * 1000;  // nothing moving in either direction
    int headTimeoutMs = 60 * 1000;   // the whole request head, however slowly it comes
    int maxConnections = MaxConnections;
};

class ProxyConnection {
public:
    // ownPort is the port the engine listens on: nothing is ever forwarded
    // to a loopback address at that port, which would be the engine itself.
    // With a `choice`, a proxy that does not answer is replaced by the
    // settings' failover candidates, and the one that answers is made the
    // choice's active proxy.
    ProxyConnection(net::Socket browser, std::shared_ptr<const UpstreamSettings> settings,
                    ConnectionLimits limits = ConnectionLimits(), int ownPort = 0,
                    std::shared_ptr<UpstreamChoice> choice = nullptr);

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
    // on failure the browser gets a page saying why ("502", or "508" for a
    // request that would come back to this engine).
    bool ConnectUpstream(const ParsedRequest& request);
    // The active proxy did not answer: the candidates not failed lately are
    // tried in turn, so that at most MaxProxiesPerRequest are tried in all.
    // Nothing has been sent yet, so a request goes out once whichever
    // answers. The one that answers is this connection's proxy from now on,
    // also when it answers that the site cannot be reached: then false, and
    // `siteProblem` says why.
    bool ConnectToCandidate(const ParsedRequest& request, std::vector<FailedAttempt>& failures,
                            std::string& siteProblem);
    // A connection that reaches the request's site through `proxy`: the
    // proxy itself for an HTTP proxy (or the server in direct mode), a tunnel
    // to the site for a SOCKS proxy. On failure `reason` says why and
    // `proxyAtFault` whether the proxy, not the site, failed. `timeoutMs`
    // bounds the connect and a SOCKS proxy's own answers; its connection to
    // the site has the direct connect limit.
    net::Socket OpenThrough(const net::ProxyAddress& proxy, const ParsedRequest& request,
                            int timeoutMs, bool& looped, std::string& reason, bool& proxyAtFault);
    // Copies both directions at once until either side closes or nothing
    // moves for the idle time. A request's answer goes through the tag
    // filter and is marked so the browser does not reuse the connection,
    // and nothing past the request's body is forwarded; an open tunnel
    // carries both directions untouched.
    void Relay(const ParsedRequest& request, bool tunnelOpen);
    // "504" when the upstream side has said nothing at all.
    void AnswerTimeout();

    net::Socket browser_;
    net::Socket upstream_;
    std::shared_ptr<const UpstreamSettings> settings_;
    ConnectionLimits limits_;
    int ownPort_;
    std::shared_ptr<UpstreamChoice> choice_;
    std::string upstreamName_;  // "the proxy 10.0.0.1:3128", for the error pages
};
