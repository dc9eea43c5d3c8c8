#include "engine/proxy_connection.h"

#include <chrono>
#include <memory>

#include "engine/content_filter.h"
#include "engine/error_response.h"
#include "engine/request_body.h"
#include "engine/response_head.h"
#include "net/socks_client.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// Large enough that a fast download is not a storm of small reads. The
// buffer is left uninitialised, so an idle or small connection touches only
// the pages its data reaches and hundreds of connections stay cheap.
constexpr size_t RelayBlock = 64 * 1024;
// Reads from the upstream side without waiting before both sides are
// looked at again.
constexpr int MaxReadsWithoutWait = 8;
// Proxies one request may try, the active one included: enough to get past
// a dead proxy and one more, while a browser waiting for a page still gets
// an answer in the time it is willing to wait.
constexpr size_t MaxProxiesPerRequest = 3;

std::string ProxyName(const net::ProxyAddress& proxy) {
    return "the proxy " + net::FormatProxyAddress(proxy);
}

}  // namespace

ProxyConnection::ProxyConnection(net::Socket browser,
                                 std::shared_ptr<const UpstreamSettings> settings,
                                 ConnectionLimits limits, int ownPort,
                                 std::shared_ptr<UpstreamChoice> choice)
    : browser_(std::move(browser)),
      settings_(std::move(settings)),
      limits_(limits),
      ownPort_(ownPort),
      choice_(std::move(choice)) {}

void ProxyConnection::Run() {
    net::SetSendTimeout(browser_, limits_.idleTimeoutMs);
    net::SetNoDelay(browser_);
    std::string received;
    switch (ReadRequestHead(received)) {
    case HeadState::Nothing:
        return;
    case HeadState::TooLarge:
        Refuse(MakeErrorResponse(431, "Request Header Fields Too Large",
                                 "The request head is too large."));
        return;
    case HeadState::Incomplete:
        Refuse(MakeErrorResponse(400, "Bad Request", "The request ended before its head did."));
        return;
    case HeadState::Complete:
        break;
    }

    ParsedRequest request = ParseRequest(received);
    received.clear();
    if (!IsWellFormed(request)) {
        Refuse(MakeErrorResponse(400, "Bad Request", "The request line is not valid."));
        return;
    }
    if (!request.fault.empty()) {
        Refuse(MakeErrorResponse(400, "Bad Request",
                                 "The request is refused: " + request.fault + "."));
        return;
    }
    bool tunnel = IsTunnelRequest(request);
    // The switches are looked at once more for every block of the answer;
    // here they decide whether the page may come back compressed, where the
    // filter could not see its tags.
    FilterSwitches switches = ReadFilterSwitches();
    bool dropAcceptEncoding = !tunnel && (switches.scripts || switches.objects);

    RegStringValue(setting::LastDomain).Set(request.targetHost);
    if (!ConnectUpstream(request))
        return;
    net::SetSendTimeout(upstream_, limits_.idleTimeoutMs);
    net::SetNoDelay(upstream_);

    bool sent;
    bool tunnelOpen = false;
    if (tunnel && !SendsToHttpProxy(*settings_)) {
        // Straight to the origin server, or through a SOCKS tunnel already
        // open to it: the browser's tunnel is ours to answer.
        sent = net::SendAll(browser_, std::string("HTTP/1.1 200 Connection established\r\n\r\n"),
                            limits_.idleTimeoutMs);
        std::string early = request.remainder.size() > 2 ? request.remainder.substr(2) : "";
        if (sent && !early.empty())
            sent = net::SendAll(upstream_, early, limits_.idleTimeoutMs);
        tunnelOpen = true;
    } else {
        if (!tunnel && request.remainder.size() > 2) {
            // Only the body goes on; what follows it is another request.
            RequestBodyEnd body(request);
            request.remainder.resize(
                2 + body.Take(request.remainder.data() + 2, request.remainder.size() - 2));
        }
        sent = net::SendAll(upstream_, RewriteRequest(request, *settings_, dropAcceptEncoding),
                            limits_.idleTimeoutMs);
    }
    if (sent)
        Relay(request, tunnelOpen);
    // Closing the upstream socket says all that a shutdown would.
    browser_.ShutdownSend();
}

void ProxyConnection::Refuse(const std::string& response) {
    net::SendAll(browser_, response, limits_.idleTimeoutMs);
    browser_.ShutdownSend();
    // Closing with unread bytes would reset the connection and could take
    // the answer with it, so what the browser still sends is read first, for
    // two seconds at most.
    char buffer[4096];
    size_t drained = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (drained >= MaxRequestHead * 16 || left.count() <= 0 ||
            net::WaitReadable(browser_, static_cast<int>(left.count())) <= 0)
            break;
        long got = net::Receive(browser_, buffer, sizeof(buffer));
        if (got <= 0)
            break;
        drained += static_cast<size_t>(got);
    }
}

ProxyConnection::HeadState ProxyConnection::ReadRequestHead(std::string& received) {
    char buffer[4096];
    size_t searched = 0;
    // One limit for the whole head, so a byte now and then cannot hold the
    // thread for ever.
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(limits_.headTimeoutMs);
    for (;;) {
        long got = net::ReceiveIfReady(browser_, buffer, sizeof(buffer));
        if (got == net::NothingYet) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 ||
                net::WaitReadable(browser_, static_cast<int>(left.count())) <= 0)
                break;
            got = net::Receive(browser_, buffer, sizeof(buffer));
        }
        if (got <= 0)
            break;
        received.append(buffer, static_cast<size_t>(got));
        // Only the new bytes (and the three before them) can complete the
        // blank line, so a slow trickle is not searched over and over.
        size_t from = searched >= 3 ? searched - 3 : 0;
        size_t blank = received.find("\r\n\r\n", from);
        if (blank != std::string::npos)
            return blank + 4 <= MaxRequestHead ? HeadState::Complete : HeadState::TooLarge;
        searched = received.size();
        if (received.size() >= MaxRequestHead)
            return HeadState::TooLarge;
    }
    return received.empty() ? HeadState::Nothing : HeadState::Incomplete;
}

net::Socket ProxyConnection::OpenThrough(const net::ProxyAddress& proxy,
                                         const ParsedRequest& request, int timeoutMs, bool& looped,
                                         std::string& reason, bool& proxyAtFault) {
    proxyAtFault = true;
    net::Socket connection =
        net::ConnectTcpElsewhere(proxy.host, proxy.port, ownPort_, timeoutMs, looped, &reason);
    if (!connection.IsValid() || proxy.type == net::ProxyType::Http)
        return connection;
    // The proxy's own answers get the proxy's limit; its connection to the
    // site gets as long as a direct one would, so a slow site is not taken
    // for a dead proxy.
    SocksFailure failure = SocksFailure::None;
    if (OpenSocksTunnel(connection, proxy, request.targetHost, request.targetPort,
                        {timeoutMs, limits_.connectTimeoutMs}, nullptr, failure, reason))
        return connection;
    // A site the proxy cannot reach says nothing against the proxy.
    proxyAtFault = !IsSiteFailure(failure);
    return net::Socket();
}

bool ProxyConnection::ConnectUpstream(const ParsedRequest& request) {
    bool viaProxy = settings_->useProxy == 1;
    bool failover = viaProxy && choice_ && !settings_->failover.empty();
    net::ProxyAddress target = viaProxy ? ActiveProxy(*settings_)
                                        : net::ProxyAddress{request.targetHost, request.targetPort};
    upstreamName_ = viaProxy ? ProxyName(target)
                             : "the server " + target.host + ":" + std::to_string(target.port);
    std::string reason;
    bool looped = false;
    bool proxyAtFault = true;
    // Any proxy gets the short connect limit, so that a dead one is told at
    // once (and, with candidates, passed over for the next).
    upstream_ = OpenThrough(target, request,
                            viaProxy ? limits_.failoverConnectTimeoutMs : limits_.connectTimeoutMs,
                            looped, reason, proxyAtFault);
    if (upstream_.IsValid())
        return true;
    if (looped) {
        // Connecting would make this request arrive here again, and again,
        // until every descriptor is taken.
        Refuse(MakeErrorResponse(
            508, "Loop Detected",
            "Veilgate will not forward to " + upstreamName_ + ": that is Veilgate itself."));
        return false;
    }
    // The proxy answered that the site cannot be reached: so would any other.
    auto refuseForSite = [&](const std::string& problem) {
        Refuse(MakeSiteUnreachableResponse(
            "the site " + request.targetHost + ":" + std::to_string(request.targetPort),
            upstreamName_, problem));
        return false;
    };
    if (!proxyAtFault)
        return refuseForSite(reason);
    std::vector<FailedAttempt> failures{{upstreamName_, reason}};
    if (failover) {
        choice_->NoteFailure(target);
        std::string siteProblem;
        if (ConnectToCandidate(request, failures, siteProblem))
            return true;
        if (!siteProblem.empty())
            return refuseForSite(siteProblem);
    }
    // With no tested proxy to turn to, the user is told how to get one.
    bool noCandidates = viaProxy && settings_->failover.empty();
    Refuse(MakeBadGatewayResponse(failures, noCandidates ? NoCandidatesAdvice : ""));
    return false;
}

bool ProxyConnection::ConnectToCandidate(const ParsedRequest& request,
                                         std::vector<FailedAttempt>& failures,
                                         std::string& siteProblem) {
    const std::vector<UpstreamCandidate>& candidates = settings_->failover;
    for (size_t i = 0; i < candidates.size() && failures.size() < MaxProxiesPerRequest; ++i) {
        const UpstreamCandidate& candidate = candidates[i];
        if (choice_->FailedLately(candidate))
            continue;
        std::string name = ProxyName(candidate);
        std::string reason;
        bool looped = false;
        bool proxyAtFault = true;
        upstream_ = OpenThrough(candidate, request, limits_.failoverConnectTimeoutMs, looped,
                                reason, proxyAtFault);
        if (upstream_.IsValid() || !proxyAtFault) {
            // The request is rewritten for the candidate, with its own
            // credentials and never the active proxy's.
            auto answered =
                std::make_shared<const UpstreamSettings>(FailoverSettings(*settings_, i));
            choice_->SwitchTo(settings_, answered);
            settings_ = std::move(answered);
            upstreamName_ = name;
            if (!proxyAtFault)
                siteProblem = reason;
            return upstream_.IsValid();
        }
        choice_->NoteFailure(candidate);
        failures.push_back({name, reason});
    }
    return false;
}

void ProxyConnection::AnswerTimeout() {
    Refuse(MakeErrorResponse(504, "Gateway Timeout",
                             "Veilgate got no answer from " + upstreamName_ + " within " +
                                 std::to_string((limits_.idleTimeoutMs + 999) / 1000) +
                                 " seconds."));
}

void ProxyConnection::Relay(const ParsedRequest& request, bool tunnelOpen) {
    bool tunnel = IsTunnelRequest(request);
    std::unique_ptr<char[]> buffer(new char[RelayBlock]);
    ContentFilter contentFilter;
    ResponseHeadMarker marker;
    RequestBodyEnd body(request);
    // What the first write already carried of the body.
    if (request.remainder.size() > 2)
        body.Take(request.remainder.data() + 2, request.remainder.size() - 2);
    std::string out;
    bool answered = tunnelOpen;
    bool browserOpen = true;
    // After a read the upstream side often has more (or its close) waiting:
    // it is read again at once, and waited for only when it has nothing,
    // or after a few reads so that the browser's side is looked at too.
    bool upstreamMayHaveMore = false;
    int readsWithoutWait = 0;
    for (;;) {
        net::NativeSocket sockets[2] = {upstream_.Get(), browser_.Get()};
        bool readable[2] = {false, false};
        bool eager = upstreamMayHaveMore && readsWithoutWait < MaxReadsWithoutWait;
        if (eager) {
            readable[0] = true;
            ++readsWithoutWait;
        } else {
            readsWithoutWait = 0;
            int count = browserOpen ? 2 : 1;
            int ready = net::WaitReadable(sockets, readable, count, limits_.idleTimeoutMs);
            if (ready == 0 && !answered) {
                AnswerTimeout();
                return;
            }
            if (ready <= 0)
                break;  // idle for too long, or a failure
        }
        if (readable[0]) {
            long got = eager ? net::ReceiveIfReady(upstream_, buffer.get(), RelayBlock)
                             : net::Receive(upstream_, buffer.get(), RelayBlock);
            upstreamMayHaveMore = got > 0;
            if (got == net::NothingYet)
                continue;
            if (got <= 0)
                break;
            answered = true;
            bool ok;
            if (tunnel) {
                ok = net::SendAll(browser_, buffer.get(), static_cast<size_t>(got),
                                  limits_.idleTimeoutMs);
            } else {
                const char* data = buffer.get();
                size_t length = static_cast<size_t>(got);
                FilterSwitches switches = ReadFilterSwitches();
                if (marker.Done() && !switches.scripts && !switches.objects &&
                    !contentFilter.Holding()) {
                    // Nothing to mark or disarm: the block goes on as it came,
                    // without a copy.
                    ok = net::SendAll(browser_, data, length, limits_.idleTimeoutMs);
                } else {
                    std::string marked;
                    if (!marker.Done()) {  // past the head, blocks go to the filter as they came
                        marker.Feed(data, length, marked);
                        data = marked.data();
                        length = marked.size();
                    }
                    out.clear();
                    contentFilter.Filter(data, length, switches, out);
                    ok = net::SendAll(browser_, out, limits_.idleTimeoutMs);
                }
            }
            if (!ok)
                return;  // the browser went away: nobody to relay to
        }
        if (browserOpen && readable[1]) {
            long got = net::Receive(browser_, buffer.get(), RelayBlock);
            if (got < 0)
                return;
            size_t forward = tunnel ? static_cast<size_t>(got)
                                    : body.Take(buffer.get(), static_cast<size_t>(got));
            if (got == 0) {
                // The browser has said all it will; the answer may still come.
                browserOpen = false;
                upstream_.ShutdownSend();
            } else if (forward > 0 &&
                       !net::SendAll(upstream_, buffer.get(), forward, limits_.idleTimeoutMs)) {
                return;
            }
        }
    }
    if (!tunnel) {
        std::string marked;
        marker.Finish(marked);
        out.clear();
        contentFilter.Filter(marked.data(), marked.size(), ReadFilterSwitches(), out);
        contentFilter.Finish(out);
        net::SendAll(browser_, out, limits_.idleTimeoutMs);
    }
}
