#include "engine/local_proxy_server.h"

#include <chrono>
#include <future>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include "engine/error_response.h"
#include "engine/loop_socket.h"
#include "engine/refusal.h"

namespace {

using asio::ip::tcp;

// How long the listener rests after a failed accept (no descriptor left).
constexpr auto AcceptFailurePause = std::chrono::milliseconds(50);
// Browsers open many connections at once; a short queue would drop them.
constexpr int ListenBacklog = 128;
// How long a port that this engine has just closed is tried again.
constexpr auto RebindPatience = std::chrono::milliseconds(1200);
constexpr auto RebindPause = std::chrono::milliseconds(50);
// Refused connections read from at once, and for how long; past that many,
// one is closed as soon as its answer is out.
constexpr int MaxRefusedDraining = 32;
constexpr auto RefusedDrainTime = std::chrono::seconds(1);

}  // namespace

// One listening socket and the connections it accepted, on a loop of their
// own. Everything but `serving` is touched on the loop's thread alone.
struct ListenerLoop {
    explicit ListenerLoop(std::shared_ptr<ConnectionShared> shared) : shared(std::move(shared)) {}

    // Declared before the loop, whose pending refusals count it down as
    // they go.
    int draining = 0;
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer retry{io};
    std::shared_ptr<ConnectionShared> shared;
    // False while paused: what is accepted is closed at once.
    std::atomic<bool> serving{true};
    bool closing = false;
};

namespace {

void RefuseBusy(ListenerLoop& loop, tcp::socket browser) {
    static const std::string Busy =
        MakeErrorResponse(503, "Service Unavailable",
                          "Veilgate is serving as many connections as it can; try again.");
    bool drain = loop.draining < MaxRefusedDraining;
    ++loop.draining;
    std::shared_ptr<void> counted(nullptr, [&loop](void*) { --loop.draining; });
    RefusalLimits limits{std::chrono::milliseconds(loop.shared->limits.idleTimeoutMs),
                         drain ? RefusedDrainTime : std::chrono::milliseconds(0), SIZE_MAX};
    StartRefusal(loop.io, std::move(browser), Busy, limits, std::move(counted));
}

void Serve(ListenerLoop& loop, tcp::socket browser) {
    if (!loop.serving)
        return;  // closed as `browser` goes
    ConnectionShared& shared = *loop.shared;
    if (shared.active >= shared.limits.maxConnections) {
        RefuseBusy(loop, std::move(browser));
        return;
    }
    auto connection = std::make_shared<ProxyConnection>(loop.io, std::move(browser),
                                                        shared.choice->Current(), loop.shared);
    ++shared.active;  // counted down as the connection goes
    connection->Start();
}

void Accept(const std::shared_ptr<ListenerLoop>& loop) {
    loop->acceptor.async_accept([loop](const asio::error_code& error, tcp::socket browser) {
        if (loop->closing)
            return;
        if (error) {
            loop->retry.expires_after(AcceptFailurePause);
            loop->retry.async_wait([loop](const asio::error_code& error) {
                if (!error && !loop->closing)
                    Accept(loop);
            });
            return;
        }
        // The next accept is under way first, so that a connection that
        // cannot be served (out of memory) does not end the listening.
        Accept(loop);
        Serve(*loop, std::move(browser));
    });
}

// Runs until the listener is closed and its last connection has ended.
void RunLoop(std::shared_ptr<ListenerLoop> loop) {
    for (;;) {
        try {
            loop->io.run();
            return;
        } catch (...) {
            // Out of memory inside one connection ends only that connection:
            // its handler is gone, and the loop goes on with the others.
        }
    }
}

}  // namespace

LocalProxyServer::LocalProxyServer(ConnectionLimits limits)
    : shared_(std::make_shared<ConnectionShared>()) {
    shared_->limits = limits;
    shared_->choice = std::make_shared<UpstreamChoice>();
}

LocalProxyServer::~LocalProxyServer() {
    // Connections still being served may find a candidate after this; the
    // one who asked to be told may be gone by then.
    shared_->choice->SetSwitchReport(nullptr);
    Stop();
}

void LocalProxyServer::SetSwitchReport(UpstreamSwitchReport report) {
    shared_->choice->SetSwitchReport(std::move(report));
}

bool LocalProxyServer::Start(int localPort, int useProxy, const net::ProxyAddress& proxy,
                             std::vector<UpstreamCandidate> failover) {
    if (loop_ && boundPort_ == localPort) {
        UpdateSettings(localPort, useProxy, proxy, std::move(failover));
        loop_->serving = true;
        running_ = true;
        return true;
    }
    Stop();
    UpdateSettings(localPort, useProxy, proxy, std::move(failover));
    network_ = std::make_unique<net::NetworkInit>();
    net::Socket listener = network_->Ok() ? BindLocalPort(localPort) : net::Socket();
    if (!listener.IsValid()) {
        network_.reset();
        return false;
    }
    auto loop = std::make_shared<ListenerLoop>(shared_);
    asio::error_code error;
    net::NativeSocket native = listener.Detach();
    loop->acceptor.assign(tcp::v4(), native, error);
    if (error) {
        net::Socket(native).Close();
        network_.reset();
        return false;
    }
    shared_->ownPort = localPort;
    Accept(loop);
    try {
        thread_ = std::thread(RunLoop, loop);
    } catch (...) {
        // The accept under way ends here, and its handler lets go of the loop.
        loop->closing = true;
        CancelAndClose(loop->acceptor);
        loop->io.run();
        network_.reset();
        return false;
    }
    loop_ = std::move(loop);
    boundPort_ = localPort;
    running_ = true;
    return true;
}

int LocalProxyServer::UpdateSettings(int localPort, int useProxy, const net::ProxyAddress& proxy,
                                     std::vector<UpstreamCandidate> failover) {
    localPort_ = localPort;
    shared_->choice->Replace(std::make_shared<const UpstreamSettings>(
        MakeUpstreamSettings(useProxy, proxy, std::move(failover))));
    return 1;
}

bool LocalProxyServer::IsRunning() const {
    return running_;
}

void LocalProxyServer::Pause() {
    if (loop_)
        loop_->serving = false;
    running_ = false;
}

void LocalProxyServer::Stop() {
    running_ = false;
    if (loop_) {
        // The listening socket is closed on the loop's thread, which alone
        // touches it; the port is free once that is done.
        std::shared_ptr<ListenerLoop> loop = std::move(loop_);
        loop->serving = false;
        auto closed = std::make_shared<std::promise<void>>();
        std::future<void> done = closed->get_future();
        asio::post(loop->io, [loop, closed] {
            loop->closing = true;
            CancelAndClose(loop->acceptor);
            loop->retry.cancel();
            closed->set_value();
        });
        done.wait();
        // The loop ends on its own with its last connection.
        thread_.detach();
        releasedPort_ = boundPort_;
        boundPort_ = 0;
    }
    network_.reset();
}

int LocalProxyServer::ActiveConnections() const {
    return shared_->active;
}

std::shared_ptr<const UpstreamSettings> LocalProxyServer::CurrentSettings() const {
    return shared_->choice->Current();
}

net::Socket LocalProxyServer::BindLocalPort(int port) {
    // Loopback only: the browsers are pointed at 127.0.0.1, and a proxy bound
    // to every interface would be open to anyone on the user's network.
    net::Socket listener = net::ListenTcp("127.0.0.1", port, ListenBacklog);
    if (port != releasedPort_)
        return listener;
    auto deadline = std::chrono::steady_clock::now() + RebindPatience;
    while (!listener.IsValid() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(RebindPause);
        listener = net::ListenTcp("127.0.0.1", port, ListenBacklog);
    }
    return listener;
}
