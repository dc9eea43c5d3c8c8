#include "engine/proxy_connection.h"

#include <algorithm>

#include <asio/write.hpp>

#include "engine/loop_socket.h"
#include "engine/refusal.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Large enough that a fast download is not a storm of small reads. The
// buffer is left uninitialised, so an idle or small connection touches only
// the pages its data reaches and hundreds of connections stay cheap.
constexpr size_t RelayBlock = 64 * 1024;
// What the browser sends once its request is out is mostly a small body.
constexpr size_t BrowserBlock = 16 * 1024;
// The request head is read in pieces of this size.
constexpr size_t HeadPiece = 4096;
static_assert(HeadPiece <= BrowserBlock, "the head is read into the browser's buffer");
// Proxies one request may try, the active one included: enough to get past
// a dead proxy and one more, while a browser waiting for a page still gets
// an answer in the time it is willing to wait.
constexpr size_t MaxProxiesPerRequest = 3;
// What a refused browser may still send is read for this long, and this much.
constexpr auto RefusalDrainTime = std::chrono::seconds(2);
constexpr size_t RefusalDrainBytes = MaxRequestHead * 16;

const char TunnelEstablished[] = "HTTP/1.1 200 Connection established\r\n\r\n";

std::string ProxyName(const net::ProxyAddress& proxy) {
    return "the proxy " + net::FormatProxyAddress(proxy);
}

}  // namespace

ProxyConnection::ProxyConnection(asio::io_context& io, tcp::socket browser,
                                 std::shared_ptr<const UpstreamSettings> settings,
                                 std::shared_ptr<ConnectionShared> shared)
    : io_(io),
      browser_(std::move(browser)),
      upstream_(io),
      deadline_(io, [this] { TimedOut(); }),
      settings_(std::move(settings)),
      shared_(std::move(shared)) {}

ProxyConnection::~ProxyConnection() {
    --shared_->active;
}

void ProxyConnection::Start() {
    // The head is read into the buffer that later carries what the browser
    // sends on.
    fromBrowser_.reset(new char[BrowserBlock]);
    // Each write goes at once instead of waiting for the last to be
    // acknowledged (Nagle), which a relay of small answers would feel as a
    // delay on every request.
    asio::error_code ignored;
    browser_.set_option(tcp::no_delay(true), ignored);
    // One limit for the whole head, so that a byte now and then cannot hold
    // the connection for ever.
    Arm(milliseconds(shared_->limits.headTimeoutMs));
    ReadHead();
}

void ProxyConnection::Arm(milliseconds limit) {
    deadline_.SetAfter(limit, shared_from_this());
}

void ProxyConnection::TimedOut() {
    asio::error_code ignored;
    switch (phase_) {
    case Phase::Head:
        // The pending read ends, and its handler (which owns the buffer it
        // reads into) says what came.
        headExpired_ = true;
        browser_.cancel(ignored);
        return;
    case Phase::Relaying:
        RelayTimedOut();
        return;
    case Phase::Sending:
    case Phase::Flushing:
        End();
        return;
    case Phase::Connecting:
    case Phase::Ended:
        return;
    }
}

// The relay's limits are looked at when the timer comes due, not set again
// for every block: nothing moving either way for the idle time, or a write
// that the other side has taken nothing of for as long.
void ProxyConnection::RelayTimedOut() {
    auto idle = milliseconds(shared_->limits.idleTimeoutMs);
    auto now = Clock::now();
    bool browserStalled = toBrowser_.active && now - toBrowser_.since >= idle;
    bool upstreamStalled = toUpstream_.active && now - toUpstream_.since >= idle;
    if (now - lastMoved_ < idle && !browserStalled && !upstreamStalled) {
        Clock::time_point due = lastMoved_ + idle;
        for (const PendingWrite* pending : {&toBrowser_, &toUpstream_}) {
            if (pending->active)
                due = std::min(due, pending->since + idle);
        }
        deadline_.Set(due, shared_from_this());
        return;
    }
    // What the filter holds cannot follow a write the browser has not taken.
    if (browserStalled || upstreamStalled || toBrowser_.active) {
        End();
        return;
    }
    if (answered_)
        FinishAnswer();
    else
        AnswerTimeout();
}

void ProxyConnection::ReadHead() {
    auto self = shared_from_this();
    browser_.async_read_some(
        asio::buffer(fromBrowser_.get(), HeadPiece),
        [self](const asio::error_code& error, size_t got) {
            if (self->phase_ != Phase::Head)
                return;
            std::string& received = self->received_;
            if (got > 0) {
                received.append(self->fromBrowser_.get(), got);
                // Only the new bytes (and the three before them) can complete
                // the blank line, so a slow trickle is not searched over and
                // over.
                size_t from = self->searched_ >= 3 ? self->searched_ - 3 : 0;
                size_t blank = received.find("\r\n\r\n", from);
                if (blank != std::string::npos) {
                    self->HeadEnded(blank + 4 <= MaxRequestHead ? HeadState::Complete
                                                                : HeadState::TooLarge);
                    return;
                }
                self->searched_ = received.size();
                if (received.size() >= MaxRequestHead) {
                    self->HeadEnded(HeadState::TooLarge);
                    return;
                }
            }
            if (error || got == 0 || self->headExpired_)
                self->HeadEnded(received.empty() ? HeadState::Nothing : HeadState::Incomplete);
            else
                self->ReadHead();
        });
}

void ProxyConnection::HeadEnded(HeadState state) {
    // Reaching the upstream side has limits of its own.
    deadline_.Clear();
    switch (state) {
    case HeadState::Nothing:
        End();
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
    request_ = ParseRequest(received_);
    received_ = std::string();
    if (!IsWellFormed(request_)) {
        Refuse(MakeErrorResponse(400, "Bad Request", "The request line is not valid."));
        return;
    }
    if (!request_.fault.empty()) {
        Refuse(MakeErrorResponse(400, "Bad Request",
                                 "The request is refused: " + request_.fault + "."));
        return;
    }
    tunnel_ = IsTunnelRequest(request_);
    // The switches are looked at once more for every block of the answer;
    // here they decide whether the page may come back compressed, where the
    // filter could not see its tags.
    FilterSwitches switches = ReadFilterSwitches();
    dropAcceptEncoding_ = !tunnel_ && (switches.scripts || switches.objects);
    RegStringValue(setting::LastDomain).Set(request_.targetHost);
    phase_ = Phase::Connecting;
    ConnectUpstream();
}

void ProxyConnection::Refuse(const std::string& response) {
    phase_ = Phase::Ended;
    deadline_.Cancel();
    CancelAndClose(upstream_);
    asio::error_code ignored;
    browser_.cancel(ignored);
    auto idle = milliseconds(shared_->limits.idleTimeoutMs);
    StartRefusal(
        io_, std::move(browser_), response,
        {idle, std::chrono::duration_cast<milliseconds>(RefusalDrainTime), RefusalDrainBytes},
        shared_from_this());
}

void ProxyConnection::DialThrough(const net::ProxyAddress& proxy, int timeoutMs, DialDone done) {
    DialTarget target;
    target.proxy = proxy;
    target.siteHost = request_.targetHost;
    target.sitePort = request_.targetPort;
    target.ownPort = shared_->ownPort;
    target.timeoutMs = timeoutMs;
    target.siteTimeoutMs = shared_->limits.connectTimeoutMs;
    StartDial(io_, target, std::move(done));
}

void ProxyConnection::ConnectUpstream() {
    bool viaProxy = settings_->useProxy == 1;
    activeProxy_ = viaProxy ? ActiveProxy(*settings_)
                            : net::ProxyAddress{request_.targetHost, request_.targetPort};
    upstreamName_ =
        viaProxy ? ProxyName(activeProxy_)
                 : "the server " + activeProxy_.host + ":" + std::to_string(activeProxy_.port);
    // Any proxy gets the short connect limit, so that a dead one is told at
    // once (and, with candidates, passed over for the next).
    const ConnectionLimits& limits = shared_->limits;
    auto self = shared_from_this();
    DialThrough(activeProxy_, viaProxy ? limits.failoverConnectTimeoutMs : limits.connectTimeoutMs,
                [self](tcp::socket connection, const DialOutcome& outcome) {
                    self->UpstreamOpened(std::move(connection), outcome);
                });
}

void ProxyConnection::UpstreamOpened(tcp::socket connection, const DialOutcome& outcome) {
    if (connection.is_open()) {
        upstream_ = std::move(connection);
        SendRequest();
        return;
    }
    if (outcome.looped) {
        Refuse(MakeErrorResponse(
            508, "Loop Detected",
            "Veilgate will not forward to " + upstreamName_ + ": that is Veilgate itself."));
        return;
    }
    // The proxy answered that the site cannot be reached: so would any other.
    if (!outcome.proxyAtFault) {
        RefuseForSite(outcome.reason);
        return;
    }
    failures_ = {{upstreamName_, outcome.reason}};
    bool viaProxy = settings_->useProxy == 1;
    if (viaProxy && shared_->choice && !settings_->failover.empty()) {
        shared_->choice->NoteFailure(activeProxy_);
        TryCandidates(0);
        return;
    }
    // With no tested proxy to turn to, the user is told how to get one.
    bool noCandidates = viaProxy && settings_->failover.empty();
    Refuse(MakeBadGatewayResponse(failures_, noCandidates ? NoCandidatesAdvice : ""));
}

void ProxyConnection::TryCandidates(size_t from) {
    const std::vector<UpstreamCandidate>& candidates = settings_->failover;
    for (size_t i = from; i < candidates.size() && failures_.size() < MaxProxiesPerRequest; ++i) {
        if (shared_->choice->FailedLately(candidates[i]))
            continue;
        auto self = shared_from_this();
        DialThrough(candidates[i], shared_->limits.failoverConnectTimeoutMs,
                    [self, i](tcp::socket connection, const DialOutcome& outcome) {
                        self->CandidateOpened(i, std::move(connection), outcome);
                    });
        return;
    }
    Refuse(MakeBadGatewayResponse(failures_));
}

void ProxyConnection::CandidateOpened(size_t index, tcp::socket connection,
                                      const DialOutcome& outcome) {
    const UpstreamCandidate& candidate = settings_->failover[index];
    if (!connection.is_open() && outcome.proxyAtFault) {
        shared_->choice->NoteFailure(candidate);
        failures_.push_back({ProxyName(candidate), outcome.reason});
        TryCandidates(index + 1);
        return;
    }
    // The request is rewritten for the candidate, with its own credentials
    // and never the active proxy's.
    upstreamName_ = ProxyName(candidate);
    auto answered = std::make_shared<const UpstreamSettings>(FailoverSettings(*settings_, index));
    shared_->choice->SwitchTo(settings_, answered);
    settings_ = std::move(answered);
    if (!outcome.proxyAtFault) {
        RefuseForSite(outcome.reason);
        return;
    }
    upstream_ = std::move(connection);
    SendRequest();
}

void ProxyConnection::RefuseForSite(const std::string& problem) {
    Refuse(MakeSiteUnreachableResponse(
        "the site " + request_.targetHost + ":" + std::to_string(request_.targetPort),
        upstreamName_, problem));
}

void ProxyConnection::SendRequest() {
    phase_ = Phase::Sending;
    Arm(milliseconds(shared_->limits.idleTimeoutMs));
    if (tunnel_ && !SendsToHttpProxy(*settings_)) {
        // Straight to the origin server, or through a SOCKS tunnel already
        // open to it: the browser's tunnel is ours to answer.
        tunnelOpen_ = true;
        outgoing_ = TunnelEstablished;
        SendThen(browser_, outgoing_, &ProxyConnection::SendEarlyTunnelBytes);
        return;
    }
    if (!tunnel_ && request_.remainder.size() > 2) {
        // Only the body goes on; what follows it is another request.
        RequestBodyEnd body(request_);
        request_.remainder.resize(
            2 + body.Take(request_.remainder.data() + 2, request_.remainder.size() - 2));
    }
    outgoing_ = RewriteRequest(request_, *settings_, dropAcceptEncoding_);
    SendThen(upstream_, outgoing_, &ProxyConnection::StartRelay);
}

void ProxyConnection::SendEarlyTunnelBytes() {
    if (request_.remainder.size() <= 2) {
        StartRelay();
        return;
    }
    outgoing_ = request_.remainder.substr(2);
    SendThen(upstream_, outgoing_, &ProxyConnection::StartRelay);
}

void ProxyConnection::SendThen(tcp::socket& to, const std::string& bytes,
                               void (ProxyConnection::*next)()) {
    auto self = shared_from_this();
    asio::async_write(to, asio::buffer(bytes), [self, next](const asio::error_code& error, size_t) {
        if (self->phase_ != Phase::Sending)
            return;
        if (error)
            self->End();
        else
            ((*self).*next)();
    });
}

void ProxyConnection::StartRelay() {
    phase_ = Phase::Relaying;
    fromUpstream_.reset(new char[RelayBlock]);
    body_.reset(new RequestBodyEnd(request_));
    // What the first write already carried of the body.
    if (request_.remainder.size() > 2)
        body_->Take(request_.remainder.data() + 2, request_.remainder.size() - 2);
    outgoing_ = std::string();
    answered_ = tunnelOpen_;
    Moved();
    Arm(milliseconds(shared_->limits.idleTimeoutMs));
    ReadUpstream();
    ReadBrowser();
}

void ProxyConnection::Moved() {
    lastMoved_ = Clock::now();
}

void ProxyConnection::ReadUpstream() {
    auto self = shared_from_this();
    upstream_.async_read_some(asio::buffer(fromUpstream_.get(), RelayBlock),
                              [self](const asio::error_code& error, size_t got) {
                                  if (self->phase_ != Phase::Relaying)
                                      return;
                                  if (error || got == 0)
                                      self->FinishAnswer();
                                  else
                                      self->UpstreamRead(got);
                              });
}

void ProxyConnection::UpstreamRead(size_t got) {
    Moved();
    answered_ = true;
    const char* data = fromUpstream_.get();
    size_t length = got;
    if (!tunnel_) {
        FilterSwitches switches = ReadFilterSwitches();
        if (!marker_.Done() || switches.scripts || switches.objects || contentFilter_.Holding()) {
            std::string marked;
            if (!marker_.Done()) {  // past the head, blocks go to the filter as they came
                marker_.Feed(data, length, marked);
                data = marked.data();
                length = marked.size();
            }
            out_.clear();
            contentFilter_.Filter(data, length, switches, out_);
            data = out_.data();
            length = out_.size();
        }
        // Otherwise there is nothing to mark or disarm: the block goes on as
        // it came, without a copy.
    }
    if (length == 0) {
        ReadUpstream();
        return;
    }
    RelayWrite(browser_, data, length, toBrowser_, &ProxyConnection::ReadUpstream);
}

void ProxyConnection::ReadBrowser() {
    auto self = shared_from_this();
    browser_.async_read_some(asio::buffer(fromBrowser_.get(), BrowserBlock),
                             [self](const asio::error_code& error, size_t got) {
                                 if (self->phase_ != Phase::Relaying)
                                     return;
                                 if (error == asio::error::eof) {
                                     // The browser has said all it will; the
                                     // answer may still come.
                                     asio::error_code ignored;
                                     self->upstream_.shutdown(tcp::socket::shutdown_send, ignored);
                                     return;
                                 }
                                 if (error) {
                                     self->End();
                                     return;
                                 }
                                 self->BrowserRead(got);
                             });
}

void ProxyConnection::BrowserRead(size_t got) {
    Moved();
    size_t forward = tunnel_ ? got : body_->Take(fromBrowser_.get(), got);
    if (forward == 0) {
        ReadBrowser();
        return;
    }
    RelayWrite(upstream_, fromBrowser_.get(), forward, toUpstream_, &ProxyConnection::ReadBrowser);
}

void ProxyConnection::RelayWrite(tcp::socket& to, const char* data, size_t length,
                                 PendingWrite& pending, void (ProxyConnection::*next)()) {
    pending.active = true;
    pending.since = Clock::now();
    auto self = shared_from_this();
    asio::async_write(to, asio::buffer(data, length),
                      [self, &pending, next](const asio::error_code& error, size_t) {
                          if (self->phase_ != Phase::Relaying)
                              return;
                          pending.active = false;
                          if (error) {
                              self->End();  // that side went away: nobody to relay to
                              return;
                          }
                          self->Moved();
                          ((*self).*next)();
                      });
}

void ProxyConnection::FinishAnswer() {
    if (tunnel_) {
        End();
        return;
    }
    phase_ = Phase::Flushing;
    std::string marked;
    marker_.Finish(marked);
    out_.clear();
    contentFilter_.Filter(marked.data(), marked.size(), ReadFilterSwitches(), out_);
    contentFilter_.Finish(out_);
    if (out_.empty()) {
        End();
        return;
    }
    Arm(milliseconds(shared_->limits.idleTimeoutMs));
    auto self = shared_from_this();
    asio::async_write(browser_, asio::buffer(out_),
                      [self](const asio::error_code&, size_t) { self->End(); });
}

void ProxyConnection::AnswerTimeout() {
    Refuse(MakeErrorResponse(504, "Gateway Timeout",
                             "Veilgate got no answer from " + upstreamName_ + " within " +
                                 std::to_string((shared_->limits.idleTimeoutMs + 999) / 1000) +
                                 " seconds."));
}

// Closing ends whatever is still pending; the last handler to go takes the
// connection with it. Closing the upstream socket says all that a shutdown
// would.
void ProxyConnection::End() {
    if (phase_ == Phase::Ended)
        return;
    phase_ = Phase::Ended;
    deadline_.Cancel();
    asio::error_code ignored;
    browser_.shutdown(tcp::socket::shutdown_send, ignored);
    CancelAndClose(browser_);
    CancelAndClose(upstream_);
}

void ServeConnection(net::Socket browser, std::shared_ptr<const UpstreamSettings> settings,
                     ConnectionLimits limits, int ownPort, std::shared_ptr<UpstreamChoice> choice) {
    asio::io_context io(1);
    auto shared = std::make_shared<ConnectionShared>();
    shared->limits = limits;
    shared->ownPort = ownPort;
    shared->choice = std::move(choice);
    tcp::socket socket(io);
    asio::error_code error;
    net::NativeSocket native = browser.Detach();
    socket.assign(tcp::v4(), native, error);
    if (error) {
        net::Socket(native).Close();
        return;
    }
    auto connection =
        std::make_shared<ProxyConnection>(io, std::move(socket), std::move(settings), shared);
    ++shared->active;
    connection->Start();
    connection.reset();
    io.run();
}
