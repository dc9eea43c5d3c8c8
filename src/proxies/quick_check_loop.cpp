#include "proxies/quick_check_loop.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include "net/socks_client.h"
#include "proxies/judge_exchange.h"
#include "proxies/name_lookup_pool.h"
#include "proxies/proxy_route.h"

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// How often the loop looks at the stop flag.
constexpr int StopCheckMs = 50;
// Each check reads into a buffer of its own while its read is pending: a
// small one, as a thousand are pending at once and the judge's page is small.
constexpr size_t ReadPieceBytes = 4096;
constexpr size_t LookupThreads = 4;

class Check;

// One run: the loop, the proxies still to check, the checks in flight.
// Everything here is touched on the loop's thread only.
class LoopRun {
public:
    LoopRun(const std::vector<net::ProxyAddress>& proxies, const ProxyJudge& judge,
            const OwnAddresses& own, int atOnce, const std::atomic<bool>& stop,
            const QuickCheckDone& done, const QuickCheckLimits& limits)
        : proxies(proxies),
          judge(judge),
          own(own),
          limits(limits),
          io_(1),
          stop_(stop),
          done_(done),
          capacity_(static_cast<size_t>(std::max(1, atOnce))),
          stopWatch_(io_),
          lookups_(LookupThreads) {}

    void Run();
    // A check's end; `result` is null for a check that was never begun.
    void Ended(size_t index, const ProxyCheck* result);
    asio::io_context& Io() { return io_; }
    NameLookupPool& Lookups() { return lookups_; }
    size_t MostAtOnce() const { return most_; }

    const std::vector<net::ProxyAddress>& proxies;
    const ProxyJudge& judge;
    const OwnAddresses& own;
    const QuickCheckLimits limits;

private:
    void Fill();
    void WatchStop();

    // The context outlives the timer and the lookup threads below, which
    // post to it; the checks that its pending handlers own go with it.
    asio::io_context io_;
    const std::atomic<bool>& stop_;
    const QuickCheckDone& done_;
    size_t capacity_;
    size_t next_ = 0;
    size_t active_ = 0;
    size_t most_ = 0;
    bool filling_ = false;
    // Proxies put back when no socket could be had for them.
    std::deque<size_t> waiting_;
    asio::steady_timer stopWatch_;
    NameLookupPool lookups_;
};

// One proxy's check. The handlers of its pending operations own it, so it
// lives exactly as long as something of it is under way.
class Check : public std::enable_shared_from_this<Check> {
public:
    Check(LoopRun& run, size_t index)
        : run_(run),
          index_(index),
          proxy_(run.proxies[index]),
          socket_(run.Io()),
          timer_(run.Io()),
          handshake_(proxy_, run.judge.host, run.judge.port) {
        check_.type = proxy_.type;
    }

    // False when no socket could be opened (the process has no more).
    bool Open();
    void Start();

private:
    enum class Step { Lookup, Connect, Handshake, Request, Answer, Done };

    void Arm(int64_t untilMs);
    void TimedOut();
    void Connect(const asio::ip::address_v4& address);
    void Connected(const asio::error_code& error);
    void SendHandshake(const std::string& bytes);
    void ReadHandshake();
    void SendRequest();
    void ReadAnswer();
    void AnswerEnded();
    bool AskContent();
    void Finish(CheckOutcome outcome);
    uint32_t SinceSent() const {
        return static_cast<uint32_t>(std::max<int64_t>(0, SteadyNowMs() - sentMs_));
    }

    LoopRun& run_;
    size_t index_;
    const net::ProxyAddress& proxy_;
    tcp::socket socket_;
    asio::steady_timer timer_;
    unsigned timerRound_ = 0;
    Step step_ = Step::Lookup;
    asio::ip::address_v4 address_;
    // Asking for the content test object, after the judge's page passed.
    bool contentRound_ = false;
    int64_t startMs_ = 0;
    int64_t sentMs_ = 0;
    SocksHandshake handshake_;
    RequestForm form_;
    std::string outgoing_;
    std::string marker_;
    AnswerReader reader_{false};
    std::array<char, ReadPieceBytes> buffer_;
    ProxyCheck check_;
};

bool Check::Open() {
    asio::error_code error;
    socket_.open(tcp::v4(), error);
    return !error;
}

void Check::Start() {
    startMs_ = SteadyNowMs();
    // The connection must open within the connect limit, a name's lookup
    // included.
    Arm(startMs_ + run_.limits.connectMs);
    asio::error_code error;
    asio::ip::address_v4 address = asio::ip::make_address_v4(proxy_.host, error);
    if (!error) {
        Connect(address);
        return;
    }
    // The timer keeps the check while the name is looked up; the pool
    // holds it only weakly, so that a check never ends on a pool thread.
    std::weak_ptr<Check> weak = shared_from_this();
    asio::io_context& io = run_.Io();
    bool asked = run_.Lookups().LookUp(
        proxy_.host, run_.limits.connectMs, [weak, &io](bool resolved, const std::string& dotted) {
            asio::post(io, [weak, resolved, dotted] {
                std::shared_ptr<Check> self = weak.lock();
                if (!self || self->step_ != Step::Lookup)
                    return;
                asio::error_code error;
                asio::ip::address_v4 address = asio::ip::make_address_v4(dotted, error);
                if (resolved && !error)
                    self->Connect(address);
                else
                    self->Finish(CheckOutcome::NoConnection);
            });
        });
    if (!asked)
        Finish(CheckOutcome::NoConnection);
}

// Races the step under way with its deadline, never beyond the whole
// check's. A handler from an earlier round that was already due when the
// timer was set again is told apart by its round.
void Check::Arm(int64_t untilMs) {
    untilMs = std::min(untilMs, startMs_ + run_.limits.budgetMs);
    timer_.expires_after(std::chrono::milliseconds(std::max<int64_t>(0, untilMs - SteadyNowMs())));
    unsigned round = ++timerRound_;
    auto self = shared_from_this();
    timer_.async_wait([self, round](const asio::error_code& error) {
        if (!error && round == self->timerRound_)
            self->TimedOut();
    });
}

void Check::TimedOut() {
    if (step_ == Step::Lookup) {
        Finish(CheckOutcome::NoConnection);
        return;
    }
    // The pending operation ends with an error and its handler says what
    // the step's time running out means.
    asio::error_code ignored;
    socket_.close(ignored);
}

void Check::Connect(const asio::ip::address_v4& address) {
    step_ = Step::Connect;
    address_ = address;
    auto self = shared_from_this();
    socket_.async_connect(tcp::endpoint(address, static_cast<unsigned short>(proxy_.port)),
                          [self](const asio::error_code& error) { self->Connected(error); });
}

void Check::Connected(const asio::error_code& error) {
    if (step_ != Step::Connect)
        return;
    if (error) {
        Finish(CheckOutcome::NoConnection);
        return;
    }
    form_ = RequestFormFor(proxy_);
    if (form_.absoluteForm) {
        Arm(startMs_ + run_.limits.budgetMs);
        SendRequest();
        return;
    }
    // The handshake gets the connect limit again, as the blocking test gives it.
    step_ = Step::Handshake;
    Arm(SteadyNowMs() + run_.limits.connectMs);
    std::string greeting = handshake_.Start();
    if (handshake_.Failed())
        Finish(RouteFailureOutcome(handshake_.Failure()));
    else
        SendHandshake(greeting);
}

void Check::SendHandshake(const std::string& bytes) {
    outgoing_ = bytes;
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(outgoing_),
                      [self](const asio::error_code& error, size_t) {
                          if (error)
                              self->Finish(RouteFailureOutcome(SocksFailure::Closed));
                          else
                              self->ReadHandshake();
                      });
}

void Check::ReadHandshake() {
    auto self = shared_from_this();
    size_t wanted = std::min(buffer_.size(), handshake_.BytesWanted());
    socket_.async_read_some(asio::buffer(buffer_.data(), wanted),
                            [self](const asio::error_code& error, size_t got) {
                                if (error || got == 0) {
                                    self->Finish(RouteFailureOutcome(SocksFailure::Closed));
                                    return;
                                }
                                std::string send;
                                self->handshake_.Take(self->buffer_.data(), got, send);
                                if (self->handshake_.Failed()) {
                                    self->Finish(RouteFailureOutcome(self->handshake_.Failure()));
                                } else if (self->handshake_.Done()) {
                                    self->Arm(self->startMs_ + self->run_.limits.budgetMs);
                                    self->SendRequest();
                                } else if (!send.empty()) {
                                    self->SendHandshake(send);
                                } else {
                                    self->ReadHandshake();
                                }
                            });
}

void Check::SendRequest() {
    step_ = Step::Request;
    marker_ = NewJudgeMarker();
    outgoing_ = JudgeRequestThrough(form_, run_.judge,
                                    contentRound_ ? ContentTestPath : run_.judge.path, marker_);
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(outgoing_),
                      [self](const asio::error_code& error, size_t) {
                          if (error) {
                              self->AnswerEnded();
                              return;
                          }
                          self->step_ = Step::Answer;
                          self->sentMs_ = SteadyNowMs();
                          self->ReadAnswer();
                      });
}

void Check::ReadAnswer() {
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(buffer_), [self](const asio::error_code& error,
                                                          size_t got) {
        if (error || got == 0 || self->reader_.Take(self->buffer_.data(), got, self->SinceSent()))
            self->AnswerEnded();
        else
            self->ReadAnswer();
    });
}

void Check::AnswerEnded() {
    if (step_ == Step::Done)
        return;
    if (step_ == Step::Answer)
        reader_.Finish(SinceSent());
    if (contentRound_) {
        Finish(AltersContent(run_.own, reader_.Answer()) ? CheckOutcome::AltersContent
                                                         : CheckOutcome::Passed);
        return;
    }
    bool passed = ReadAnswerThrough(reader_.Answer(), marker_, run_.judge.path,
                                    !form_.authorization.empty(), run_.own, check_);
    if (passed && run_.own.contentKnown && AskContent())
        return;
    Finish(passed ? CheckOutcome::Passed : check_.outcome);
}

// A second connection through the proxy, as the blocking test makes one,
// for the content test object; only a proxy that passed gets it, so the
// thousands that fail cost nothing more.
bool Check::AskContent() {
    contentRound_ = true;
    asio::error_code error;
    socket_.close(error);
    socket_.open(tcp::v4(), error);
    if (error)
        return false;
    handshake_ = SocksHandshake(proxy_, run_.judge.host, run_.judge.port);
    reader_ = AnswerReader(false);
    Arm(SteadyNowMs() + run_.limits.connectMs);
    Connect(address_);
    return true;
}

void Check::Finish(CheckOutcome outcome) {
    if (step_ == Step::Done)
        return;
    step_ = Step::Done;
    // The content round can only find the proxy altering content: its
    // failing in any other way leaves the judge's verdict standing.
    if (contentRound_ && outcome != CheckOutcome::AltersContent)
        outcome = CheckOutcome::Passed;
    check_.outcome = outcome;
    asio::error_code ignored;
    timer_.cancel();
    socket_.close(ignored);
    run_.Ended(index_, &check_);
}

void LoopRun::Run() {
    WatchStop();
    Fill();
    io_.run();
    lookups_.Stop();
}

// Starts checks until the limit is reached or no proxy is left.
void LoopRun::Fill() {
    // A check that ends at once (a name with no lookup thread to be had)
    // ends inside this loop, which goes on by itself.
    if (filling_)
        return;
    filling_ = true;
    while (active_ < capacity_ && (!waiting_.empty() || next_ < proxies.size())) {
        size_t index = next_;
        if (!waiting_.empty()) {
            index = waiting_.front();
            waiting_.pop_front();
        } else {
            ++next_;
        }
        auto check = std::make_shared<Check>(*this, index);
        if (!check->Open()) {
            // Out of sockets: those in flight are all this process can hold,
            // and this proxy waits for one of them to end.
            if (active_ == 0) {
                Ended(index, nullptr);
                continue;
            }
            waiting_.push_front(index);
            capacity_ = active_;
            break;
        }
        ++active_;
        most_ = std::max(most_, active_);
        check->Start();
    }
    filling_ = false;
    if (active_ == 0)
        stopWatch_.cancel();
}

void LoopRun::Ended(size_t index, const ProxyCheck* result) {
    ProxyCheck unchecked;
    if (result) {
        --active_;
    } else {
        unchecked.type = proxies[index].type;
        result = &unchecked;
    }
    if (stop_)
        return;
    done_(index, *result);
    if (result != &unchecked)
        Fill();
}

void LoopRun::WatchStop() {
    stopWatch_.expires_after(std::chrono::milliseconds(StopCheckMs));
    stopWatch_.async_wait([this](const asio::error_code& error) {
        // A cancel that came after the timer was due finds nothing to
        // cancel: the watch ends by itself once no check is left.
        if (error || (active_ == 0 && waiting_.empty() && next_ >= proxies.size()))
            return;
        // The checks still under way end with the context, unreported.
        if (stop_)
            io_.stop();
        else
            WatchStop();
    });
}

}  // namespace

bool RunQuickChecks(const std::vector<net::ProxyAddress>& proxies, const ProxyJudge& judge,
                    const OwnAddresses& own, int atOnce, const std::atomic<bool>& stop,
                    const QuickCheckDone& done, const QuickCheckLimits& limits,
                    QuickCheckLoopStats* stats) {
    net::NetworkInit network;
    if (!network.Ok())
        return false;
    // Asio reports through exceptions only what this code never asks of it
    // (the error_code forms are used throughout) and running out of memory;
    // none may leave a worker thread. A loop that fails once checks were
    // told ends the run there rather than telling them twice.
    std::unique_ptr<LoopRun> run;
    try {
        run = std::make_unique<LoopRun>(proxies, judge, own, atOnce, stop, done, limits);
    } catch (...) {
        return false;
    }
    try {
        run->Run();
    } catch (...) {
    }
    if (stats)
        stats->mostAtOnce = run->MostAtOnce();
    return true;
}
