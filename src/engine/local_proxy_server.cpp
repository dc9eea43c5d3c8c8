#include "engine/local_proxy_server.h"

#include <chrono>

#include "engine/proxy_connection.h"
#include "net/socket.h"

namespace {

// How long the listener waits for a connection before it looks at the stop
// request again, and how long it rests after a failed accept.
constexpr int AcceptPollMs = 100;
constexpr auto AcceptFailurePause = std::chrono::milliseconds(50);
// Browsers open many connections at once; a short queue would drop them.
constexpr int ListenBacklog = 128;
// How long a port that this engine has just closed is tried again.
constexpr auto RebindPatience = std::chrono::milliseconds(1200);
constexpr auto RebindPause = std::chrono::milliseconds(50);

}  // namespace

LocalProxyServer::LocalProxyServer()
    : settings_(std::make_shared<UpstreamSettings>()),
      connections_(std::make_shared<ConnectionCount>()) {}

LocalProxyServer::~LocalProxyServer() {
    Stop();
}

bool LocalProxyServer::Start(int localPort, int useProxy, const std::string& proxyHost,
                             int proxyPort, const std::string& userName,
                             const std::string& password) {
    Stop();
    UpdateSettings(localPort, useProxy, proxyHost, proxyPort, userName, password);
    network_ = std::make_unique<net::NetworkInit>();
    net::Socket listener = network_->Ok() ? BindLocalPort(localPort) : net::Socket();
    if (!listener.IsValid()) {
        network_.reset();
        return false;
    }
    stopRequested_ = false;
    boundPort_ = localPort;
    running_ = true;
    try {
        listener_ = std::thread(&LocalProxyServer::RunListener, this, std::move(listener));
    } catch (...) {
        running_ = false;
        boundPort_ = 0;
        network_.reset();
        return false;
    }
    return true;
}

int LocalProxyServer::UpdateSettings(int localPort, int useProxy, const std::string& proxyHost,
                                     int proxyPort, const std::string& userName,
                                     const std::string& password) {
    localPort_ = localPort;
    auto settings = std::make_shared<const UpstreamSettings>(
        MakeUpstreamSettings(useProxy, proxyHost, proxyPort, userName, password));
    std::lock_guard<std::mutex> lock(settingsMutex_);
    settings_ = std::move(settings);
    return 1;
}

bool LocalProxyServer::IsRunning() const {
    return running_;
}

void LocalProxyServer::Stop() {
    bool wasListening = listener_.joinable();
    running_ = false;
    stopRequested_ = true;
    if (wasListening) {
        listener_.join();
        releasedPort_ = boundPort_;
        boundPort_ = 0;
    }
    network_.reset();
}

std::shared_ptr<const UpstreamSettings> LocalProxyServer::CurrentSettings() const {
    std::lock_guard<std::mutex> lock(settingsMutex_);
    return settings_;
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

void LocalProxyServer::RunListener(net::Socket listener) {
    while (!stopRequested_) {
        int ready = net::WaitReadable(listener, AcceptPollMs);
        if (ready == 0)
            continue;
        net::Socket browser;
        if (ready > 0)
            browser = net::AcceptConnection(listener);
        if (!browser.IsValid()) {
            std::this_thread::sleep_for(AcceptFailurePause);
            continue;
        }
        if (stopRequested_)
            break;
        StartConnection(std::move(browser));
    }
    running_ = false;
}

void LocalProxyServer::StartConnection(net::Socket browser) {
    std::shared_ptr<ConnectionCount> count = connections_;
    std::shared_ptr<const UpstreamSettings> settings = CurrentSettings();
    // The connection's own hold on Windows Sockets is taken here, before the
    // hand-over: a listener that stops meanwhile must not release the last
    // hold and so close the socket that is on its way to the new thread.
    auto network = std::make_shared<net::NetworkInit>();
    auto serve = [count, network](net::NativeSocket socket,
                                  std::shared_ptr<const UpstreamSettings> s) {
        try {
            ProxyConnection(net::Socket(socket), std::move(s)).Run();
        } catch (...) {
            // Out of memory inside one connection ends only that connection.
        }
        --count->active;
    };
    net::NativeSocket socket = browser.Detach();
    ++count->active;
    try {
        std::thread(serve, socket, std::move(settings)).detach();
    } catch (...) {
        --count->active;
        net::Socket(socket).Close();  // no thread: the browser sees the close
    }
}
