// The local proxy engine's listener: accepts browser connections on
// 127.0.0.1 and serves each on a thread of its own, taken from a few that
// wait for the next connection.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/proxy_connection.h"
#include "engine/upstream_choice.h"
#include "engine/upstream_settings.h"
#include "net/socket.h"

struct WorkerPool;

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
    // Told, on a connection's thread, each time a candidate that answered
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
    // Stops accepting and waits for the listener thread; connections already
    // being served go on to their end.
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
    // A connection refused for want of room: its "503" is sent, and what it
    // still sends is read for a moment so that closing does not reset the
    // connection and take the answer with it.
    struct Refused {
        net::Socket socket;
        std::chrono::steady_clock::time_point until;
    };

    net::Socket BindLocalPort(int port);
    void RunListener(net::Socket listener);
    void StartConnection(net::Socket browser);
    void RefuseConnection(net::Socket browser);
    // Reads from the refused connections that have something to say, and
    // closes those that are done or out of time.
    void DrainRefused(const bool* readable);

    std::atomic<int> localPort_{8080};
    std::atomic<int> boundPort_{0};
    std::atomic<bool> running_{false};
    // False while paused; the listener thread then closes what it accepts.
    std::atomic<bool> serving_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread listener_;
    // Windows Sockets stays started while a listener runs.
    std::unique_ptr<net::NetworkInit> network_;
    // The port of the listener that Stop last closed, 0 when none.
    int releasedPort_ = 0;

    ConnectionLimits limits_;
    // Shared with the connection threads, which may outlive this object.
    std::shared_ptr<UpstreamChoice> upstream_;
    std::shared_ptr<WorkerPool> pool_;
    // Touched by the listener thread alone.
    std::vector<Refused> refused_;
};
