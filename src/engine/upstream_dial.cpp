#include "engine/upstream_dial.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <vector>

#include <asio/executor_work_guard.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "engine/deadline.h"
#include "engine/loop_socket.h"
#include "net/socket.h"
#include "net/socks_client.h"

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

class Dial : public std::enable_shared_from_this<Dial> {
public:
    Dial(asio::io_context& io, const DialTarget& target, DialDone done)
        : io_(io),
          target_(target),
          socket_(io),
          deadline_(io, [this] { TimedOut(); }),
          handshake_(target.proxy, target.siteHost, target.sitePort),
          done_(std::move(done)) {}

    void Start();

private:
    enum class Step { Lookup, Connect, Socks, Done };

    void Arm(Clock::time_point until);
    void TimedOut();
    void LookedUp(const std::vector<std::string>& dotted);
    void ConnectNext(size_t index);
    void Connected();
    void SendSocks();
    void ReadSocks();
    void SocksCut(bool closed);
    void Fail(const std::string& reason, bool proxyAtFault = true);
    void Finish();

    asio::io_context& io_;
    DialTarget target_;
    tcp::socket socket_;
    Deadline deadline_;
    bool timedOut_ = false;
    Step step_ = Step::Lookup;
    std::vector<asio::ip::address_v4> addresses_;
    // Why the last address tried did not answer.
    std::string reason_ = "cannot resolve the host name";
    SocksHandshake handshake_;
    Clock::time_point siteUntil_;
    std::string outgoing_;
    std::array<char, 512> piece_;
    DialOutcome outcome_;
    DialDone done_;
};

void Dial::Start() {
    if (target_.proxy.port <= 0 || target_.proxy.port > 65535) {
        Fail("invalid port");
        return;
    }
    if (target_.proxy.host.empty()) {
        Fail(reason_);
        return;
    }
    Arm(Clock::now() + std::chrono::milliseconds(target_.timeoutMs));
    asio::error_code error;
    asio::ip::make_address_v4(target_.proxy.host, error);
    if (!error) {
        LookedUp({target_.proxy.host});
        return;
    }
    // The lookup's thread keeps the loop running until it has told; the
    // dial itself is held only weakly, so that a lookup that outlives its
    // time limit finds nothing to tell.
    std::weak_ptr<Dial> weak = shared_from_this();
    auto work = asio::make_work_guard(io_);
    asio::io_context& io = io_;
    bool asked = net::ResolveIPv4Later(target_.proxy.host,
                                       [weak, work, &io](const std::vector<std::string>& dotted) {
                                           asio::post(io, [weak, dotted] {
                                               std::shared_ptr<Dial> self = weak.lock();
                                               if (self && self->step_ == Step::Lookup)
                                                   self->LookedUp(dotted);
                                           });
                                       });
    if (!asked)
        Fail(reason_);
}

void Dial::Arm(Clock::time_point until) {
    deadline_.Set(until, shared_from_this());
}

void Dial::TimedOut() {
    if (step_ == Step::Lookup) {
        Fail(reason_);
        return;
    }
    // The pending connect, read or write ends with an error, and its
    // handler says why.
    timedOut_ = true;
    CancelAndClose(socket_);
}

void Dial::LookedUp(const std::vector<std::string>& dotted) {
    for (const std::string& text : dotted) {
        asio::error_code error;
        asio::ip::address_v4 address = asio::ip::make_address_v4(text, error);
        if (error)
            continue;
        if (target_.proxy.port == target_.ownPort && net::ReachesLoopback(address.to_uint())) {
            // Connecting would make the request arrive here again, and
            // again, until every descriptor is taken.
            outcome_.looped = true;
            Fail("it is this proxy itself");
            return;
        }
        addresses_.push_back(address);
    }
    step_ = Step::Connect;
    ConnectNext(0);
}

void Dial::ConnectNext(size_t index) {
    if (index >= addresses_.size()) {
        Fail(reason_);
        return;
    }
    asio::error_code error;
    socket_.close(error);
    socket_.open(tcp::v4(), error);
    if (error) {
        reason_ = "cannot create a socket";
        ConnectNext(index + 1);
        return;
    }
    timedOut_ = false;
    Arm(Clock::now() + std::chrono::milliseconds(target_.timeoutMs));
    auto self = shared_from_this();
    tcp::endpoint endpoint(addresses_[index], static_cast<unsigned short>(target_.proxy.port));
    socket_.async_connect(endpoint, [self, index](const asio::error_code& error) {
        if (self->step_ != Step::Connect)
            return;
        // A connect that made it just as its time ran out has lost its
        // socket all the same.
        if (!error && !self->timedOut_) {
            self->Connected();
            return;
        }
        self->reason_ =
            self->timedOut_ ? "connection timed out" : net::ConnectFailureReason(error.value());
        self->ConnectNext(index + 1);
    });
}

void Dial::Connected() {
    // As on the browser's side: each write goes at once (no Nagle).
    asio::error_code ignored;
    socket_.set_option(tcp::no_delay(true), ignored);
    if (target_.proxy.type == net::ProxyType::Http) {
        Finish();
        return;
    }
    // The proxy's own answers get the proxy's limit; its connection to the
    // site gets as long as a direct one would.
    step_ = Step::Socks;
    auto started = Clock::now();
    siteUntil_ =
        started + std::chrono::milliseconds(std::max(target_.timeoutMs, target_.siteTimeoutMs));
    outgoing_ = handshake_.Start();
    if (handshake_.Failed()) {
        Fail(handshake_.Problem(), !IsSiteFailure(handshake_.Failure()));
        return;
    }
    timedOut_ = false;
    Arm(started + std::chrono::milliseconds(target_.timeoutMs));
    SendSocks();
}

void Dial::SendSocks() {
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(outgoing_),
                      [self](const asio::error_code& error, size_t) {
                          if (self->step_ != Step::Socks)
                              return;
                          if (error || self->timedOut_) {
                              self->SocksCut(!self->timedOut_);
                              return;
                          }
                          // Once the request for the site is out, the rest of the handshake
                          // has the site's limit.
                          if (self->handshake_.WaitsForSite())
                              self->Arm(self->siteUntil_);
                          self->ReadSocks();
                      });
}

void Dial::ReadSocks() {
    // No more than the reply's current step wants, so that the tunnel's own
    // first bytes stay on the socket.
    size_t wanted = std::min(piece_.size(), handshake_.BytesWanted());
    auto self = shared_from_this();
    socket_.async_read_some(
        asio::buffer(piece_.data(), wanted), [self](const asio::error_code& error, size_t got) {
            if (self->step_ != Step::Socks)
                return;
            if (error || self->timedOut_) {
                self->SocksCut(!self->timedOut_);
                return;
            }
            self->outgoing_.clear();
            self->handshake_.Take(self->piece_.data(), got, self->outgoing_);
            if (self->handshake_.Done())
                self->Finish();
            else if (self->handshake_.Failed())
                self->Fail(self->handshake_.Problem(), !IsSiteFailure(self->handshake_.Failure()));
            else if (!self->outgoing_.empty())
                self->SendSocks();
            else
                self->ReadSocks();
        });
}

void Dial::SocksCut(bool closed) {
    SocksEnd end = closed                      ? SocksEnd::Closed
                   : handshake_.WaitsForSite() ? SocksEnd::SiteTooSlow
                                               : SocksEnd::ProxySilent;
    SocksFailure failure = SocksFailure::None;
    std::string problem;
    SocksCutShort(end, std::max(target_.timeoutMs, target_.siteTimeoutMs), failure, problem);
    Fail(problem, !IsSiteFailure(failure));
}

void Dial::Fail(const std::string& reason, bool proxyAtFault) {
    outcome_.reason = reason;
    outcome_.proxyAtFault = proxyAtFault;
    CancelAndClose(socket_);
    Finish();
}

void Dial::Finish() {
    step_ = Step::Done;
    deadline_.Cancel();
    DialDone done = std::move(done_);
    done(std::move(socket_), outcome_);
}

}  // namespace

void StartDial(asio::io_context& io, const DialTarget& target, DialDone done) {
    std::make_shared<Dial>(io, target, std::move(done))->Start();
}
