// One browser connection, served from accept to close on the engine's event
// loop: reading the request head, reaching the upstream side (with failover
// over candidates), and the relay all wait by readiness, so that a thousand
// connections cost sockets and timers, not threads.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include "engine/content_filter.h"
#include "engine/deadline.h"
#include "engine/error_response.h"
#include "engine/http_request.h"
#include "engine/request_body.h"
#include "engine/response_head.h"
#include "engine/upstream_choice.h"
#include "engine/upstream_dial.h"
#include "engine/upstream_settings.h"
#include "net/socket.h"

// Browser connections served at once. Past it the listener answers "503"
// instead of taking descriptors until none are left.
constexpr int MaxConnections = 512;

// The engine's own limits, so that stalled peers cannot pile up.
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

// What every connection of one listener shares.
struct ConnectionShared {
    ConnectionLimits limits;
    // The port the engine listens on: nothing is ever forwarded to a
    // loopback address at that port, which would be the engine itself.
    std::atomic<int> ownPort{0};
    // With a choice, a proxy that does not answer is replaced by the
    // settings' failover candidates, and the one that answers is made the
    // choice's active proxy.
    std::shared_ptr<UpstreamChoice> choice;
    // Connections being served, from accept until their socket closes.
    std::atomic<int> active{0};
};

class ProxyConnection : public std::enable_shared_from_this<ProxyConnection> {
public:
    // Counted in `shared`'s active connections (the caller counts it in)
    // until it is gone, a refusal's drain included.
    ProxyConnection(asio::io_context& io, asio::ip::tcp::socket browser,
                    std::shared_ptr<const UpstreamSettings> settings,
                    std::shared_ptr<ConnectionShared> shared);
    ~ProxyConnection();

    // Begins serving; the pending operations' handlers keep the connection
    // until both sockets are closed.
    void Start();

private:
    enum class Phase { Head, Connecting, Sending, Relaying, Flushing, Ended };
    enum class HeadState { Complete, TooLarge, Incomplete, Nothing };
    // The relay's write under way to each side, if any, and when it began.
    struct PendingWrite {
        bool active = false;
        std::chrono::steady_clock::time_point since;
    };

    void Arm(std::chrono::milliseconds limit);
    void TimedOut();

    // Reads until the blank line that ends the request head; what comes
    // past it stays in `received_` as the start of the body.
    void ReadHead();
    void HeadEnded(HeadState state);
    // Answers with the engine's own error response and closes.
    void Refuse(const std::string& response);

    // Connects to the upstream proxy (or the origin server in direct mode);
    // on failure the browser gets a page saying why ("502", or "508" for a
    // request that would come back to this engine).
    void ConnectUpstream();
    void UpstreamOpened(asio::ip::tcp::socket connection, const DialOutcome& outcome);
    // The active proxy did not answer: the candidates not failed lately are
    // tried in turn, from `from` on, so that at most MaxProxiesPerRequest
    // are tried in all. Nothing has been sent yet, so a request goes out
    // once whichever answers. The one that answers is this connection's
    // proxy from now on, also when it answers that the site cannot be
    // reached.
    void TryCandidates(size_t from);
    void CandidateOpened(size_t index, asio::ip::tcp::socket connection,
                         const DialOutcome& outcome);
    void RefuseForSite(const std::string& problem);
    void DialThrough(const net::ProxyAddress& proxy, int timeoutMs, DialDone done);

    // Sends the request (or answers the tunnel), then relays.
    void SendRequest();
    void SendThen(asio::ip::tcp::socket& to, const std::string& bytes,
                  void (ProxyConnection::*next)());
    void SendEarlyTunnelBytes();

    // Copies both directions at once until the upstream side closes or
    // nothing moves for the idle time. A request's answer goes through the
    // tag filter and is marked so the browser does not reuse the connection,
    // and nothing past the request's body is forwarded; an open tunnel
    // carries both directions untouched.
    void StartRelay();
    void RelayTimedOut();
    void ReadUpstream();
    void UpstreamRead(size_t got);
    void ReadBrowser();
    void BrowserRead(size_t got);
    // Writes one block of the relay to `to`, then goes on with `next`.
    void RelayWrite(asio::ip::tcp::socket& to, const char* data, size_t length,
                    PendingWrite& pending, void (ProxyConnection::*next)());
    void Moved();
    // Sends what the filter still holds, then ends.
    void FinishAnswer();
    // "504" when the upstream side has said nothing at all.
    void AnswerTimeout();
    void End();

    asio::io_context& io_;
    asio::ip::tcp::socket browser_;
    asio::ip::tcp::socket upstream_;
    Deadline deadline_;
    Phase phase_ = Phase::Head;
    std::shared_ptr<const UpstreamSettings> settings_;
    std::shared_ptr<ConnectionShared> shared_;
    std::string upstreamName_;  // "the proxy 10.0.0.1:3128", for the error pages

    std::string received_;
    size_t searched_ = 0;
    bool headExpired_ = false;
    ParsedRequest request_;
    bool tunnel_ = false;
    bool tunnelOpen_ = false;
    bool dropAcceptEncoding_ = false;
    std::vector<FailedAttempt> failures_;
    net::ProxyAddress activeProxy_;

    std::string outgoing_;
    std::unique_ptr<char[]> fromUpstream_;
    std::unique_ptr<char[]> fromBrowser_;
    ContentFilter contentFilter_;
    ResponseHeadMarker marker_;
    std::unique_ptr<RequestBodyEnd> body_;
    std::string out_;
    bool answered_ = false;
    PendingWrite toBrowser_;
    PendingWrite toUpstream_;
    std::chrono::steady_clock::time_point lastMoved_;
};

// Serves one connection on a loop of its own and returns when it is done:
// for a caller that has a thread to give it.
void ServeConnection(net::Socket browser, std::shared_ptr<const UpstreamSettings> settings,
                     ConnectionLimits limits = ConnectionLimits(), int ownPort = 0,
                     std::shared_ptr<UpstreamChoice> choice = nullptr);
