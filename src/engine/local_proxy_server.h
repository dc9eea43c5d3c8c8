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

    // Applies the upstream settings and starts the listener thread. True when
    // the thread could be started; binding happens on that thread, so a port
    // in use shows only as IsRunning() staying false.
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
    std::shared_ptr<const UpstreamSettings> CurrentSettings() const;
    // Connection threads now being served.
    int ActiveConnections() const { return connections_->active; }

private:
    struct ConnectionCount {
        std::atomic<int> active{0};
    };

    void RunListener(int port);
    void StartConnection(net::Socket browser);

    std::atomic<int> localPort_{8080};
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread listener_;

    mutable std::mutex settingsMutex_;
    std::shared_ptr<const UpstreamSettings> settings_;
    // Shared with the connection threads, which may outlive this object.
    std::shared_ptr<ConnectionCount> connections_;
};
