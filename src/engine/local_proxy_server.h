// The local proxy engine's listener: accepts browser connections on
// 127.0.0.1 and serves each on a thread of its own.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/socket.h"
#include "engine/upstream_settings.h"

class LocalProxyServer {
public:
    LocalProxyServer();
    virtual ~LocalProxyServer();
    LocalProxyServer(const LocalProxyServer&) = delete;
    LocalProxyServer& operator=(const LocalProxyServer&) = delete;

    // Applies the upstream settings, binds the local port and starts the
    // listener thread on it. False when the port cannot be bound (another
    // program holds it) or the thread cannot start; the engine is then not
    // running. A port this engine has just let go of is tried again for
    // about a second, since a closed listener may release it late.
    bool Start(int localPort, int useProxy, const std::string& proxyHost, int proxyPort,
               const std::string& userName, const std::string& password);
    // Replaces the upstream settings for connections accepted from now on.
    int UpdateSettings(int localPort, int useProxy, const std::string& proxyHost, int proxyPort,
                       const std::string& userName, const std::string& password);
    // True while the listener accepts connections.
    bool IsRunning() const;
    // Stops accepting and waits for the listener thread; connections already
    // being served go on to their end.
    void Stop();

    int LocalPort() const { return localPort_; }
    // The port the listener is bound to, 0 when there is none. It can differ
    // from LocalPort(): UpdateSettings stores a port without rebinding.
    int BoundPort() const { return boundPort_; }
    std::shared_ptr<const UpstreamSettings> CurrentSettings() const;
    // Connection threads now being served.
    int ActiveConnections() const { return connections_->active; }

private:
    struct ConnectionCount {
        std::atomic<int> active{0};
    };

    net::Socket BindLocalPort(int port);
    void RunListener(net::Socket listener);
    void StartConnection(net::Socket browser);

    std::atomic<int> localPort_{8080};
    std::atomic<int> boundPort_{0};
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread listener_;
    // Windows Sockets stays started while a listener runs.
    std::unique_ptr<net::NetworkInit> network_;
    // The port of the listener that Stop last closed, 0 when none.
    int releasedPort_ = 0;

    mutable std::mutex settingsMutex_;
    std::shared_ptr<const UpstreamSettings> settings_;
    // Shared with the connection threads, which may outlive this object.
    std::shared_ptr<ConnectionCount> connections_;
};
