// The local proxy engine's listener: accepts browser connections on
// 127.0.0.1 and serves them all on one event loop, on a thread of its own.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/proxy_connection.h"
#include "engine/upstream_choice.h"
#include "engine/upstream_settings.h"
#include "net/socket.h"

struct ListenerLoop;

class LocalProxyServer {
public:
    explicit LocalProxyServer(ConnectionLimits limits = ConnectionLimits());
    virtual ~LocalProxyServer();
    LocalProxyServer(const LocalProxyServer&) = delete;
    LocalProxyServer& operator=(const LocalProxyServer&) = delete;

    // Applies the upstream settings, binds the local port and starts the
    // listener thread on it. False when the port cannot be bound (another
    // program holds it) or the thread cannot start; the engine is then not
    // running. A port this engine has just let go of is tried again for
    // about a second, since a closed listener may release it late. On the
    // port of a paused listener it serves again on the same socket.
    // `proxy` is the active proxy, of any type, with its own credentials;
    // `failover` are the proxies a request turns to, in order, when it does
    // not answer (UpstreamSettings::failover).
    bool Start(int localPort, int useProxy, const net::ProxyAddress& proxy,
               std::vector<UpstreamCandidate> failover = {});
    // Replaces the upstream settings for connections accepted from now on.
    int UpdateSettings(int localPort, int useProxy, const net::ProxyAddress& proxy,
                       std::vector<UpstreamCandidate> failover = {});
    // Told, on the loop's thread, each time a candidate that answered
    // for a dead active proxy becomes the active one. Not told once this
    // object is gone.
    void SetSwitchReport(UpstreamSwitchReport report);
    // True while the listener accepts connections and serves them.
    bool IsRunning() const;
    // Stops serving but keeps the port: connections that come are closed at
    // once, those being served go on, and Start on the same port serves
    // again. On Windows a port bound exclusively cannot be bound again while
    // connections accepted on it are open, and browsers keep their tunnels
    // open for minutes; so switching off and on again keeps the listener.
    void Pause();
    // Stops accepting and closes the listening socket before it returns;
    // connections already being served go on to their end, on a loop that
    // ends with the last of them.
    void Stop();

    int LocalPort() const { return localPort_; }
    // The port the listener is bound to (paused or not), 0 when there is
    // none. It can differ
    // from LocalPort(): UpdateSettings stores a port without rebinding.
    int BoundPort() const { return boundPort_; }
    std::shared_ptr<const UpstreamSettings> CurrentSettings() const;
    // Connections now being served.
    int ActiveConnections() const;

private:
    net::Socket BindLocalPort(int port);

    std::atomic<int> localPort_{8080};
    std::atomic<int> boundPort_{0};
    std::atomic<bool> running_{false};
    // Windows Sockets stays started while a listener runs.
    std::unique_ptr<net::NetworkInit> network_;
    // The port of the listener that Stop last closed, 0 when none.
    int releasedPort_ = 0;

    // Shared with the loops and their connections, which may outlive this
    // object; counts the connections of every loop this object started.
    std::shared_ptr<ConnectionShared> shared_;
    // The loop that accepts now, and its thread; null when stopped.
    std::shared_ptr<ListenerLoop> loop_;
    std::thread thread_;
};
