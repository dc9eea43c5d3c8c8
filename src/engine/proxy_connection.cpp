#include "engine/proxy_connection.h"

#include <chrono>
#include <memory>

#include "engine/content_filter.h"
#include "engine/error_response.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// Large enough that a fast download is not a storm of small reads. The
// buffer is left uninitialised, so an idle or small connection touches only
// the pages its data reaches and hundreds of connections stay cheap.
constexpr size_t RelayBlock = 64 * 1024;

}  // namespace

ProxyConnection::ProxyConnection(net::Socket browser,
                                 std::shared_ptr<const UpstreamSettings> settings,
                                 ConnectionLimits limits)
    : browser_(std::move(browser)), settings_(std::move(settings)), limits_(limits) {}

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
    if (tunnel && settings_->useProxy != 1) {
        // Straight to the origin server: the tunnel is ours to open.
        sent = net::SendAll(browser_, "HTTP/1.1 200 Connection established\r\n\r\n");
        std::string early = request.remainder.size() > 2 ? request.remainder.substr(2) : "";
        if (sent && !early.empty())
            sent = net::SendAll(upstream_, early);
    } else {
        sent = net::SendAll(upstream_, RewriteRequest(request, *settings_, dropAcceptEncoding));
    }
    if (sent)
        Relay(!tunnel);
    upstream_.ShutdownSend();
    browser_.ShutdownSend();
}

void ProxyConnection::Refuse(const std::string& response) {
    net::SendAll(browser_, response);
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
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || net::WaitReadable(browser_, static_cast<int>(left.count())) <= 0)
            break;
        long got = net::Receive(browser_, buffer, sizeof(buffer));
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

bool ProxyConnection::ConnectUpstream(const ParsedRequest& request) {
    bool viaProxy = settings_->useProxy == 1;
    const std::string& host = viaProxy ? settings_->proxyHost : request.targetHost;
    int port = viaProxy ? settings_->proxyPort : request.targetPort;
    std::string reason;
    upstream_ = net::ConnectTcp(host, port, limits_.connectTimeoutMs, &reason);
    if (upstream_.IsValid())
        return true;
    std::string what =
        (viaProxy ? "the proxy " : "the server ") + host + ":" + std::to_string(port);
    Refuse(MakeBadGatewayResponse(what, reason));
    return false;
}

void ProxyConnection::Relay(bool filter) {
    std::unique_ptr<char[]> buffer(new char[RelayBlock]);
    ContentFilter contentFilter;
    std::string filtered;
    bool browserOpen = true;
    for (;;) {
        net::NativeSocket sockets[2] = {upstream_.Get(), browser_.Get()};
        bool readable[2] = {false, false};
        int count = browserOpen ? 2 : 1;
        if (net::WaitReadable(sockets, readable, count, limits_.idleTimeoutMs) <= 0)
            break;  // idle for too long, or a failure
        if (readable[0]) {
            long got = net::Receive(upstream_, buffer.get(), RelayBlock);
            if (got <= 0)
                break;
            bool ok;
            if (filter) {
                filtered.clear();
                contentFilter.Filter(buffer.get(), static_cast<size_t>(got), ReadFilterSwitches(),
                                     filtered);
                ok = net::SendAll(browser_, filtered);
            } else {
                ok = net::SendAll(browser_, buffer.get(), static_cast<size_t>(got));
            }
            if (!ok)
                return;  // the browser went away: nobody to relay to
        }
        if (browserOpen && readable[1]) {
            long got = net::Receive(browser_, buffer.get(), RelayBlock);
            if (got < 0)
                return;
            if (got == 0) {
                // The browser has said all it will; the answer may still come.
                browserOpen = false;
                upstream_.ShutdownSend();
            } else if (!net::SendAll(upstream_, buffer.get(), static_cast<size_t>(got))) {
                return;
            }
        }
    }
    if (filter) {
        filtered.clear();
        contentFilter.Finish(filtered);
        net::SendAll(browser_, filtered);
    }
}
