// Connections served end to end over real loopback sockets, with a scripted
// upstream proxy standing in for the real one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/deadline.h"
#include "engine/local_proxy_server.h"
#include "engine/proxy_connection.h"
#include "net/socket.h"
#include "socket_reads.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "wait_for.h"

namespace {

using namespace std::chrono_literals;

// Reads until the peer closes (or nothing comes for a while).
std::string ReadAll(const net::Socket& socket, int quietMs = 5000) {
    std::string data;
    char buffer[8192];
    while (net::WaitReadable(socket, quietMs) > 0) {
        long got = net::Receive(socket, buffer, sizeof(buffer));
        if (got <= 0)
            break;
        data.append(buffer, static_cast<size_t>(got));
    }
    return data;
}

// Reads a request head and as many body bytes as its Content-Length says.
std::string ReadRequest(const net::Socket& socket) {
    std::string data;
    char buffer[8192];
    for (;;) {
        size_t head = data.find("\r\n\r\n");
        if (head != std::string::npos) {
            size_t length = 0;
            size_t field = data.find("Content-Length: ");
            if (field != std::string::npos && field < head)
                length = std::stoul(data.substr(field + 16));
            if (data.size() >= head + 4 + length)
                return data;
        }
        if (net::WaitReadable(socket, 5000) <= 0)
            return data;
        long got = net::Receive(socket, buffer, sizeof(buffer));
        if (got <= 0)
            return data;
        data.append(buffer, static_cast<size_t>(got));
    }
}

// A one-connection upstream: takes a request, answers with `response`, then
// echoes everything when asked to, and closes. With no response it echoes
// from the first byte, as an origin at the end of a tunnel.
class ScriptedUpstream {
public:
    explicit ScriptedUpstream(std::string response, bool echoAfterwards = false)
        : listener_(net::ListenTcp("127.0.0.1", 0, 5)) {
        port_ = net::LocalPortOf(listener_);
        thread_ = std::thread([this, response, echoAfterwards] {
            if (net::WaitReadable(listener_, 10000) <= 0)
                return;
            net::Socket peer = net::AcceptConnection(listener_);
            if (!response.empty()) {
                request_ = ReadRequest(peer);
                net::SendAll(peer, response);
            }
            if (echoAfterwards) {
                char buffer[4096];
                while (net::WaitReadable(peer, 5000) > 0) {
                    long got = net::Receive(peer, buffer, sizeof(buffer));
                    if (got <= 0 || !net::SendAll(peer, buffer, static_cast<size_t>(got)))
                        break;
                }
            }
            peer.ShutdownSend();
        });
    }
    ~ScriptedUpstream() { Join(); }
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }
    int Port() const { return port_; }
    // What arrived, once Join has returned.
    const std::string& Request() const { return request_; }

private:
    net::Socket listener_;
    int port_ = 0;
    std::string request_;
    std::thread thread_;
};

class ConnectionTest : public testing::Test {
protected:
    void SetUp() override {
        RegDwordValue(setting::EnableJS).Set(0);
        RegDwordValue(setting::EnableActiveX).Set(0);
    }
    void TearDown() override { SetUp(); }

    // Serves one browser connection on a thread, with the given limits.
    net::Socket Serve(const UpstreamSettings& settings, ConnectionLimits limits = {}) {
        net::Socket listener = net::ListenTcp("127.0.0.1", 0, 1);
        net::Socket client = net::ConnectTcp("127.0.0.1", net::LocalPortOf(listener), 5000);
        net::Socket browser = net::AcceptConnection(listener);
        auto snapshot = std::make_shared<const UpstreamSettings>(settings);
        auto done = done_;
        served_ = std::thread([snapshot, limits, done, socket = browser.Detach()] {
            ServeConnection(net::Socket(socket), snapshot, limits);
            *done = true;
        });
        return client;
    }

    void TearDownServe() {
        if (served_.joinable())
            served_.join();
    }
    ~ConnectionTest() override { TearDownServe(); }

    net::NetworkInit network_;
    std::thread served_;
    std::shared_ptr<std::atomic<bool>> done_ = std::make_shared<std::atomic<bool>>(false);
};

// A connection's time limit on its loop: moved later, it comes at the later
// time; cleared, it never comes; cancelled, its wait lets go of the owner.
TEST(DeadlineTest, ComesOnlyAtTheLastTimeSetAndNeverOnceCleared) {
    using Clock = std::chrono::steady_clock;
    asio::io_context io;
    auto owner = std::make_shared<int>(0);
    int told = 0;
    Deadline deadline(io, [&] { ++told; });

    auto start = Clock::now();
    deadline.SetAfter(20ms, owner);
    deadline.SetAfter(150ms, owner);
    io.run();
    EXPECT_EQ(1, told);
    EXPECT_GE(Clock::now() - start, 150ms);

    io.restart();
    deadline.SetAfter(20ms, owner);
    deadline.Clear();
    io.run();
    EXPECT_EQ(1, told);

    io.restart();
    deadline.SetAfter(10min, owner);
    EXPECT_EQ(2, owner.use_count());
    deadline.Cancel();
    io.run();
    EXPECT_EQ(1, owner.use_count());
    EXPECT_EQ(1, told);
}

TEST_F(ConnectionTest, PostBodyLongerThanOneReadArrivesWhole) {
    std::string body;
    for (int i = 0; i < 256 * 1024; ++i)
        body += static_cast<char>('a' + i % 26);
    ScriptedUpstream upstream("HTTP/1.0 200 OK\r\n\r\nstored");
    net::Socket browser =
        Serve(MakeUpstreamSettings(1, net::ProxyAddress("127.0.0.1", upstream.Port())));
    ASSERT_TRUE(net::SendAll(browser,
                             "POST http://www.example.org:81/up HTTP/1.1\r\n"
                             "Host: www.example.org:81\r\nProxy-Connection: keep-alive\r\n"
                             "Content-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n" + body));
    EXPECT_EQ("HTTP/1.0 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\n\r\nstored",
              ReadAll(browser));
    upstream.Join();
    EXPECT_EQ(
        "POST http://www.example.org:81/up HTTP/1.1\r\nHost: www.example.org:81\r\n"
        "Content-Length: " +
            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
        upstream.Request());
    TearDownServe();
    EXPECT_EQ("www.example.org", RegStringValue(setting::LastDomain).Get());
}

TEST_F(ConnectionTest, AnswerFilteredWhileScriptsAreBlocked) {
    RegDwordValue(setting::EnableJS).Set(1);
    std::string page =
        "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n"
        "<SCRIPT>alert(1)</script><object></object>";
    ScriptedUpstream upstream(page);
    net::Socket browser =
        Serve(MakeUpstreamSettings(1, net::ProxyAddress("127.0.0.1", upstream.Port())));
    ASSERT_TRUE(net::SendAll(browser,
                             "GET http://h/ HTTP/1.1\r\nHost: h\r\n"
                             "Accept-Encoding: gzip, br\r\n\r\n"));
    EXPECT_EQ(
        "HTTP/1.0 200 OK\r\nContent-Length: 40\r\nConnection: close\r\nProxy-Connection: "
        "close\r\n\r\n"
        "<noscri>alert(1)</noscri><object></object>",
        ReadAll(browser));
    upstream.Join();
    EXPECT_EQ("GET http://h/ HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n", upstream.Request());
}

TEST_F(ConnectionTest, BytesHeldForATagStillComeWhenTheFilterIsSwitchedOff) {
    RegDwordValue(setting::EnableJS).Set(1);
    net::Socket listener = net::ListenTcp("127.0.0.1", 0, 1);
    std::atomic<bool> switchedOff{false};
    std::thread upstream([&] {
        if (net::WaitReadable(listener, 5000) <= 0)
            return;
        net::Socket peer = net::AcceptConnection(listener);
        ReadRequest(peer);
        net::SendAll(peer, "HTTP/1.0 200 OK\r\n\r\n<p><scr");
        WaitFor([&] { return switchedOff.load(); }, 5s);
        net::SendAll(peer, "ipt>x");
        peer.ShutdownSend();
    });
    net::Socket browser =
        Serve(MakeUpstreamSettings(1, net::ProxyAddress("127.0.0.1", net::LocalPortOf(listener))));
    ASSERT_TRUE(net::SendAll(browser, "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n"));
    std::string seen;
    char buffer[4096];
    while (seen.find("<p>") == std::string::npos && net::WaitReadable(browser, 5000) > 0) {
        long got = net::Receive(browser, buffer, sizeof buffer);
        if (got <= 0)
            break;
        seen.append(buffer, static_cast<size_t>(got));
    }
    RegDwordValue(setting::EnableJS).Set(0);
    switchedOff = true;
    seen += ReadAll(browser);
    upstream.join();
    EXPECT_EQ("<p><script>x", seen.substr(seen.find("\r\n\r\n") + 4));
}

TEST_F(ConnectionTest, WhatCannotGoOnGetsTheEnginesOwnErrorPage) {
    const int dead = net::LocalPortOf(net::ListenTcp("127.0.0.1", 0, 1));  // closed again
    const std::string head = "GET http://h/ HTTP/1.1\r\nHost: h\r\n", get = head + "\r\n";
    const std::string refused =
        "the proxy 127.0.0.1:" + std::to_string(dead) + ": connection refused";
    const std::string unresolved = "cannot resolve the host name";
    const std::string cookie = "Cookie: " + std::string(70 * 1024, 'c');
    const std::string gateway = "502 Bad Gateway\r\n", bad = "400 Bad Request\r\n";
    const struct {
        const char *name, *proxy;
        int port;
        std::string request;
        bool thenClose;
        std::string status, detail;
    } cases[] = {
        {"unreachable proxy", "127.0.0.1", dead, get, false, gateway, refused},
        {"no such proxy", "no-such-host.invalid", 3128, get, false, gateway, unresolved},
        {"oversized head", "127.0.0.1", 9, head + cookie, false, "431 ", ""},
        {"head cut short", "127.0.0.1", 9, head, true, bad, ""},
        {"ambiguous head", "127.0.0.1", 9, head + "Host: b\r\n\r\n", false, bad, ""},
    };
    ConnectionLimits limits;
    limits.connectTimeoutMs = 3000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        net::Socket browser =
            Serve(MakeUpstreamSettings(1, net::ProxyAddress(c.proxy, c.port)), limits);
        net::SendAll(browser, c.request);
        if (c.thenClose)
            browser.ShutdownSend();
        std::string answer = ReadAll(browser, 10000);
        EXPECT_EQ(0u, answer.find("HTTP/1.1 " + c.status)) << answer;
        EXPECT_NE(std::string::npos, answer.find(c.detail)) << answer;
        TearDownServe();
    }
}

TEST_F(ConnectionTest, TunnelCarriesBothDirectionsUnfiltered) {
    RegDwordValue(setting::EnableJS).Set(1);
    ScriptedUpstream upstream("HTTP/1.1 200 Connection established\r\n\r\n", true);
    net::Socket browser =
        Serve(MakeUpstreamSettings(1, net::ProxyAddress("127.0.0.1", upstream.Port())));
    ASSERT_TRUE(net::SendAll(browser,
                             "CONNECT secure.example:443 HTTP/1.1\r\n"
                             "Host: secure.example:443\r\n\r\n"));
    std::string expected = "HTTP/1.1 200 Connection established\r\n\r\n";
    std::string got = ReceiveSome(browser, expected.size());
    for (int round = 0; round < 3; ++round) {
        std::string message = "<script>round " + std::to_string(round) + "</script>";
        ASSERT_TRUE(net::SendAll(browser, message));
        expected += message;
        got += ReceiveSome(browser, expected.size() - got.size());
    }
    EXPECT_EQ(expected, got);
    browser.ShutdownSend();
    EXPECT_EQ("", ReadAll(browser));  // the upstream closes after our close
    upstream.Join();
    EXPECT_EQ(
        "CONNECT secure.example:443 HTTP/1.1\r\nHost: secure.example:443\r\n"
        "Connection: close\r\n\r\n",
        upstream.Request().substr(0, upstream.Request().find("\r\n\r\n") + 4));
}

TEST_F(ConnectionTest, DirectTunnelIsOpenedByTheEngine) {
    ScriptedUpstream origin("", true);
    net::Socket browser = Serve(MakeUpstreamSettings(0, net::ProxyAddress()));
    ASSERT_TRUE(net::SendAll(browser, "CONNECT 127.0.0.1:" + std::to_string(origin.Port()) +
                                          " HTTP/1.1\r\n\r\nhello\r\n\r\n"));
    const std::string expected = "HTTP/1.1 200 Connection established\r\n\r\nhello\r\n\r\n";
    EXPECT_EQ(expected, ReceiveSome(browser, expected.size()));
    browser.ShutdownSend();
    EXPECT_EQ("", ReadAll(browser));
}

TEST_F(ConnectionTest, SilentServerGivesAGatewayTimeoutPage) {
    // An upstream that accepts and then says nothing.
    net::Socket silent = net::ListenTcp("127.0.0.1", 0, 5);
    ConnectionLimits limits;
    limits.idleTimeoutMs = 300;
    int port = net::LocalPortOf(silent);
    net::Socket browser =
        Serve(MakeUpstreamSettings(1, net::ProxyAddress("127.0.0.1", port)), limits);
    ASSERT_TRUE(net::SendAll(browser, "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n"));
    EXPECT_TRUE(WaitFor([&] { return done_->load(); }, 5s));
    std::string answer = ReadAll(browser, 1000);
    EXPECT_EQ(0u, answer.find("HTTP/1.1 504 Gateway Timeout\r\n")) << answer;
    EXPECT_NE(std::string::npos, answer.find("the proxy 127.0.0.1:" + std::to_string(port)));
}

TEST_F(ConnectionTest, ABrowserThatTakesNothingIsLetGoThoughItKeepsSending) {
    // More than loopback's buffers hold, so the relay's write to the browser
    // stalls; the bytes the browser sends meanwhile do not count as taking.
    ScriptedUpstream upstream("HTTP/1.0 200 OK\r\n\r\n" + std::string(64 << 20, 'x'));
    ConnectionLimits limits;
    limits.idleTimeoutMs = 300;
    net::Socket browser =
        Serve(MakeUpstreamSettings(1, net::ProxyAddress("127.0.0.1", upstream.Port())), limits);
    ASSERT_TRUE(net::SendAll(browser, "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n"));
    for (int i = 0; i < 100 && !*done_; ++i) {
        net::SendAll(browser, "z");
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(done_->load());
}

TEST_F(ConnectionTest, KeptOpenServerGetsNoSecondRequest) {
    // A server that answers and keeps its connection open, taking whatever
    // else arrives on it.
    net::Socket listener = net::ListenTcp("127.0.0.1", 0, 5);
    std::string seen;
    std::thread server([&] {
        if (net::WaitReadable(listener, 5000) <= 0)
            return;
        net::Socket peer = net::AcceptConnection(listener);
        seen = ReadRequest(peer);
        net::SendAll(peer,
                     "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nContent-Length: 2\r\n\r\nok");
        char buffer[4096];
        while (net::WaitReadable(peer, 1000) > 0) {
            long got = net::Receive(peer, buffer, sizeof(buffer));
            if (got <= 0)
                break;
            seen.append(buffer, static_cast<size_t>(got));
        }
    });
    net::Socket browser = Serve(MakeUpstreamSettings(0, net::ProxyAddress()));
    std::string port = std::to_string(net::LocalPortOf(listener));
    ASSERT_TRUE(net::SendAll(browser, "POST http://127.0.0.1:" + port +
                                          "/a HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                                          "\r\nContent-Length: 1\r\n\r\nb"
                                          "GET http://other.example/ HTTP/1.1\r\n"
                                          "Host: other.example\r\nCookie: secret\r\n\r\n"));
    std::string answer = ReadAll(browser, 1500);
    server.join();
    EXPECT_EQ(
        "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\nProxy-Connection: "
        "close\r\n\r\nok",
        answer);
    EXPECT_EQ("POST /a HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                  "\r\nContent-Length: 1\r\nConnection: close\r\n\r\nb",
              seen);
}

TEST_F(ConnectionTest, ATrickledHeadIsCutOffByItsOwnLimit) {
    // A byte now and then never lets the idle limit run out; the head's own
    // limit must end the connection all the same.
    ConnectionLimits limits;
    limits.headTimeoutMs = 300;
    net::Socket browser = Serve(MakeUpstreamSettings(1, net::ProxyAddress("127.0.0.1", 1)), limits);
    // The idle limit (two minutes) is far beyond these eight seconds.
    for (int i = 0; i < 400 && !done_->load(); ++i) {
        net::SendAll(browser, "G");
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(done_->load()) << "still reading a head that never ends";
}

// Starts the server on a free loopback port; the port, or 0. A port found
// free may be taken by another test's outgoing connection (thousands at once
// in the bulk checks) before the server binds it: another one is tried then.
int StartOnFreePort(LocalProxyServer& server, int useProxy, const net::ProxyAddress& proxy,
                    const std::vector<UpstreamCandidate>& failover = {}) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        int port = net::LocalPortOf(net::ListenTcp("127.0.0.1", 0, 1));
        if (server.Start(port, useProxy, proxy, failover))
            return port;
    }
    return 0;
}

TEST_F(ConnectionTest, ServerRelaysThroughTheSnapshotTakenAtAccept) {
    ScriptedUpstream first("HTTP/1.0 200 OK\r\n\r\nfirst");
    ScriptedUpstream second("HTTP/1.0 200 OK\r\n\r\nsecond");
    LocalProxyServer server;
    int port = StartOnFreePort(server, 1, net::ProxyAddress("127.0.0.1", first.Port()));
    ASSERT_NE(0, port);
    ASSERT_TRUE(WaitFor([&] { return server.IsRunning(); }));
    net::Socket a = net::ConnectTcp("127.0.0.1", port, 5000);
    ASSERT_TRUE(WaitFor([&] { return server.ActiveConnections() == 1; }));
    server.UpdateSettings(port, 1, net::ProxyAddress("127.0.0.1", second.Port()));
    net::Socket b = net::ConnectTcp("127.0.0.1", port, 5000);
    net::SendAll(b, "GET http://b/ HTTP/1.0\r\nHost: b\r\n\r\n");
    net::SendAll(a, "GET http://a/ HTTP/1.0\r\nHost: a\r\n\r\n");
    EXPECT_EQ("HTTP/1.0 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\n\r\nfirst",
              ReadAll(a));
    EXPECT_EQ("HTTP/1.0 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\n\r\nsecond",
              ReadAll(b));
}

// What one request through the server gets back.
std::string Ask(int port, const std::string& request) {
    net::Socket browser = net::ConnectTcp("127.0.0.1", port, 5000);
    net::SendAll(browser, request);
    return ReadAll(browser);
}

TEST_F(ConnectionTest, RequestsBackToTheEngineItselfAreRefusedAtOnce) {
    LocalProxyServer server;
    int port = StartOnFreePort(server, 0, net::ProxyAddress());
    ASSERT_NE(0, port);
    std::string self = std::to_string(port);
    for (const std::string& host : {"127.0.0.1", "localhost", "127.0.0.2", "0.0.0.0"}) {
        auto started = std::chrono::steady_clock::now();
        std::string answer =
            Ask(port, "GET http://" + host + ":" + self + "/ HTTP/1.1\r\nHost: x\r\n\r\n");
        EXPECT_EQ(0u, answer.find("HTTP/1.1 508 Loop Detected\r\n")) << host << answer;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 3s) << host;
    }
    ScriptedUpstream origin("HTTP/1.0 200 OK\r\n\r\nfine");
    EXPECT_EQ(0u, Ask(port, "GET http://127.0.0.1:" + std::to_string(origin.Port()) +
                                "/ HTTP/1.0\r\n\r\n")
                      .find("HTTP/1.0 200 OK"));
    // An upstream proxy that names the engine's own port loops the same way.
    server.UpdateSettings(port, 1, net::ProxyAddress("127.0.0.1", port));
    EXPECT_EQ(0u, Ask(port, "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n")
                      .find("HTTP/1.1 508 Loop Detected\r\n"));
    EXPECT_TRUE(WaitFor([&] { return server.ActiveConnections() == 0; }));
}

TEST_F(ConnectionTest, ConnectionsPastTheCapAreAnsweredBusyUntilOneGoes) {
    ConnectionLimits limits;
    limits.maxConnections = 2;
    LocalProxyServer server(limits);
    ScriptedUpstream upstream("HTTP/1.0 200 OK\r\n\r\nserved");
    int port = StartOnFreePort(server, 1, net::ProxyAddress("127.0.0.1", upstream.Port()));
    ASSERT_NE(0, port);
    std::vector<net::Socket> held;
    for (int i = 0; i < 2; ++i)
        held.push_back(net::ConnectTcp("127.0.0.1", port, 5000));
    ASSERT_TRUE(WaitFor([&] { return server.ActiveConnections() == 2; }));
    for (int i = 0; i < 3; ++i) {
        std::string answer = Ask(port, "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n");
        EXPECT_EQ(0u, answer.find("HTTP/1.1 503 Service Unavailable\r\n")) << answer;
    }
    held.pop_back();
    ASSERT_TRUE(WaitFor([&] { return server.ActiveConnections() == 1; }));
    EXPECT_EQ(0u, Ask(port, "GET http://h/ HTTP/1.0\r\nHost: h\r\n\r\n").find("HTTP/1.0 200 OK"));
}

// An upstream proxy as the failover meets it.
enum class Peer {
    Answers,            // serves every request, naming its port in the page
    Refuses,            // nothing listens on its port
    Silent,             // listens, but its queue is full: a connect never completes
    DropsAfterRequest,  // takes the request whole, then closes without a word
};

// A stand-in SOCKS proxy for one connection: for each step of `replies` it
// reads what the client sends and answers with the step's bytes; then it
// closes, stays silent, or serves as the site at the end of the tunnel.
enum class AfterReplies { Close, Silent, Site };

class ScriptedSocks {
public:
    ScriptedSocks(std::vector<std::string> replies, AfterReplies after)
        : listener_(net::ListenTcp("127.0.0.1", 0, 5)) {
        port_ = net::LocalPortOf(listener_);
        thread_ = std::thread([this, replies, after] {
            if (net::WaitReadable(listener_, 10000) <= 0)
                return;
            net::Socket peer = net::AcceptConnection(listener_);
            char buffer[4096];
            for (const std::string& reply : replies) {
                if (net::WaitReadable(peer, 5000) <= 0)
                    return;
                long got = net::Receive(peer, buffer, sizeof buffer);
                if (got <= 0)
                    return;
                received_.emplace_back(buffer, static_cast<size_t>(got));
                net::SendAll(peer, reply);
            }
            if (after == AfterReplies::Silent) {
                while (!stop_ && net::WaitReadable(peer, 50) == 0) {
                }
            } else if (after == AfterReplies::Site) {
                received_.push_back(ReadRequest(peer));
                net::SendAll(peer, "HTTP/1.0 200 OK\r\n\r\nthrough the tunnel");
            }
            peer.ShutdownSend();
        });
    }
    ~ScriptedSocks() { Join(); }
    void Join() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int Port() const { return port_; }
    // What each step received, once Join has returned.
    const std::vector<std::string>& Received() const { return received_; }

private:
    net::Socket listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<std::string> received_;
    std::thread thread_;
};

TEST_F(ConnectionTest, SocksProxiesGetTheSitesNameAndTheirRepliesAreCheckedByteByByte) {
    using net::ProxyType;
    const std::string ok5 = std::string("\x05\x00\x00\x01\0\0\0\0\0\0", 10);
    const std::string granted4 = std::string("\x00\x5a\0\0\0\0\0\0", 8);
    // "site.invalid" resolves nowhere: it can only be reached by handing the
    // name to the proxy.
    const std::string name = "\x0csite.invalid";
    const std::string port80 = std::string("\x00\x50", 2);
    const struct {
        const char* name;
        ProxyType type;
        const char *user, *password;
        std::vector<std::string> replies;
        AfterReplies after;
        std::vector<std::string> sent;  // what each step must receive; empty: not checked
        std::string answer;             // start of the page, or the 502's reason
    } cases[] = {
        {"socks5 by name",
         ProxyType::Socks5,
         "",
         "",
         {std::string("\x05\x00", 2), ok5},
         AfterReplies::Site,
         {std::string("\x05\x01\x00", 3), std::string("\x05\x01\x00\x03", 4) + name + port80},
         "HTTP/1.0 200 OK"},
        {"socks5 signing in",
         ProxyType::Socks5,
         "ann",
         "pw",
         {"\x05\x02", std::string("\x01\x00", 2),
          std::string("\x05\x00\x00\x03\x03"
                      "abc\x00\x50",
                      10)},
         AfterReplies::Site,
         {std::string("\x05\x02\x00\x02", 4),
          "\x01\x03"
          "ann\x02pw"},
         "HTTP/1.0 200 OK"},
        {"socks4a by name",
         ProxyType::Socks4,
         "",
         "",
         {granted4},
         AfterReplies::Site,
         {std::string("\x04\x01\x00\x50\0\0\0\x01\0site.invalid\0", 22)},
         "HTTP/1.0 200 OK"},
        {"needs a password",
         ProxyType::Socks5,
         "",
         "",
         {"\x05\xff"},
         AfterReplies::Close,
         {},
         "it needs a user name and password"},
        {"password refused",
         ProxyType::Socks5,
         "ann",
         "bad",
         {"\x05\x02", "\x01\x01"},
         AfterReplies::Close,
         {},
         "it refused the user name and password"},
        {"unknown version",
         ProxyType::Socks5,
         "",
         "",
         {std::string("\x04\x00", 2)},
         AfterReplies::Close,
         {},
         "its reply is not SOCKS5"},
        {"unknown address type",
         ProxyType::Socks5,
         "",
         "",
         {std::string("\x05\x00", 2), std::string("\x05\x00\x00\x07", 4)},
         AfterReplies::Close,
         {},
         "unknown address type"},
        {"short and closed",
         ProxyType::Socks5,
         "",
         "",
         {"\x05"},
         AfterReplies::Close,
         {},
         "closed the connection during the SOCKS handshake"},
        {"silent mid-reply",
         ProxyType::Socks5,
         "",
         "",
         {std::string("\x05\x00", 2), std::string("\x05\x00\x00\x01\x7f", 5)},
         AfterReplies::Silent,
         {},
         "did not finish its SOCKS reply in time"},
        {"oversized",
         ProxyType::Socks5,
         "",
         "",
         {std::string("\x05\x00", 2) + std::string(5000, 'x')},
         AfterReplies::Close,
         {},
         "its reply is not SOCKS5"},
        {"site refused",
         ProxyType::Socks5,
         "",
         "",
         {std::string("\x05\x00", 2), std::string("\x05\x05\x00\x01\0\0\0\0\0\0", 10)},
         AfterReplies::Close,
         {},
         "site.invalid:80"},
        {"no 4a",
         ProxyType::Socks4,
         "",
         "",
         {std::string("\x00\x5b\0\0\0\0\0\0", 8)},
         AfterReplies::Close,
         {},
         "may not take site names"},
        {"not socks at all",
         ProxyType::Socks4,
         "",
         "",
         {"HTTP/1.0 400 Bad Request\r\n\r\n"},
         AfterReplies::Close,
         {},
         "its reply is not SOCKS4"},
    };
    ConnectionLimits limits;
    limits.connectTimeoutMs = 1500;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSocks proxy(c.replies, c.after);
        net::ProxyAddress address("127.0.0.1", proxy.Port(), c.type, c.user, c.password);
        net::Socket browser = Serve(MakeUpstreamSettings(1, address), limits);
        net::SendAll(browser,
                     "GET http://site.invalid/page HTTP/1.1\r\nHost: site.invalid\r\n\r\n");
        std::string answer = ReadAll(browser, 10000);
        TearDownServe();
        proxy.Join();
        if (c.answer.compare(0, 5, "HTTP/") == 0) {
            EXPECT_EQ(0u, answer.find(c.answer)) << answer;
            ASSERT_EQ(c.replies.size() + 1, proxy.Received().size());
            for (size_t i = 0; i < c.sent.size(); ++i)
                EXPECT_EQ(c.sent[i], proxy.Received()[i]) << i;
            // Through a tunnel the site gets the origin form, with no
            // credentials of the proxy's.
            const std::string& request = proxy.Received().back();
            EXPECT_EQ(0u, request.find("GET /page HTTP/1.1\r\n")) << request;
            EXPECT_NE(std::string::npos, request.find("Host: site.invalid\r\n")) << request;
            EXPECT_EQ(std::string::npos, request.find("Proxy-Authorization")) << request;
        } else {
            EXPECT_EQ(0u, answer.find("HTTP/1.1 502 Bad Gateway\r\n")) << answer;
            EXPECT_NE(std::string::npos,
                      answer.find("the proxy " + net::FormatProxyAddress(address) + ": "))
                << answer;
            EXPECT_NE(std::string::npos, answer.find(c.answer)) << answer;
        }
    }
}

TEST_F(ConnectionTest, ASocksCandidateTakesOverWithItsOwnCredentialsOnly) {
    const int dead = net::LocalPortOf(net::ListenTcp("127.0.0.1", 0, 1));  // closed again
    ScriptedSocks candidate(
        {"\x05\x02", std::string("\x01\x00", 2), std::string("\x05\x00\x00\x01\0\0\0\0\0\0", 10)},
        AfterReplies::Site);
    ConnectionLimits limits;
    limits.failoverConnectTimeoutMs = 1000;
    LocalProxyServer server(limits);
    int port = StartOnFreePort(
        server, 1, net::ProxyAddress("127.0.0.1", dead, net::ProxyType::Http, "user", "pass"),
        {net::ProxyAddress("127.0.0.1", candidate.Port(), net::ProxyType::Socks5, "ann", "pw")});
    ASSERT_NE(0, port);
    std::string answer =
        Ask(port, "GET http://site.invalid/ HTTP/1.1\r\nHost: site.invalid\r\n\r\n");
    EXPECT_EQ(0u, answer.find("HTTP/1.0 200 OK\r\n")) << answer;
    candidate.Join();
    ASSERT_EQ(4u, candidate.Received().size());
    EXPECT_EQ(
        "\x01\x03"
        "ann\x02pw",
        candidate.Received()[1]);
    EXPECT_EQ(std::string::npos, candidate.Received()[3].find("Proxy-Authorization"));
    EXPECT_EQ(net::ProxyType::Socks5, server.CurrentSettings()->proxyType);
}

TEST_F(ConnectionTest, ATunnelThroughSocksIsAnsweredByTheEngineAndCarriesBothWays) {
    ScriptedSocks proxy(
        {std::string("\x05\x00", 2), std::string("\x05\x00\x00\x01\0\0\0\0\0\0", 10)},
        AfterReplies::Site);
    net::Socket browser = Serve(MakeUpstreamSettings(
        1, net::ProxyAddress("127.0.0.1", proxy.Port(), net::ProxyType::Socks5)));
    net::SendAll(browser, "CONNECT site.invalid:443 HTTP/1.1\r\nHost: site.invalid:443\r\n\r\n");
    std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
    EXPECT_EQ(established, ReceiveSome(browser, established.size()));
    net::SendAll(browser, "GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\nthrough the tunnel", ReadAll(browser));
    TearDownServe();
    proxy.Join();
    ASSERT_EQ(3u, proxy.Received().size());
    EXPECT_EQ(std::string("\x05\x01\x00\x03\x0csite.invalid\x01\xbb", 19), proxy.Received()[1]);
    EXPECT_EQ("GET / HTTP/1.0\r\n\r\n", proxy.Received()[2]);
}

class FakeProxy {
public:
    explicit FakeProxy(Peer kind)
        : listener_(net::ListenTcp("127.0.0.1", 0, kind == Peer::Silent ? 0 : 16)) {
        port_ = net::LocalPortOf(listener_);
        if (kind == Peer::Refuses) {
            listener_.Close();
        } else if (kind == Peer::Silent) {
            // Connections that complete fill the queue that is never
            // accepted from; past it the system drops the handshake.
            for (int i = 0; i < 16; ++i) {
                net::Socket filler = net::ConnectTcp("127.0.0.1", port_, 300);
                if (!filler.IsValid())
                    break;
                fillers_.push_back(std::move(filler));
            }
        } else {
            thread_ = std::thread([this, kind] {
                while (!stop_) {
                    if (net::WaitReadable(listener_, 50) <= 0)
                        continue;
                    net::Socket peer = net::AcceptConnection(listener_);
                    std::string request = ReadRequest(peer);
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        requests_.push_back(request);
                    }
                    if (kind == Peer::Answers)
                        net::SendAll(peer, "HTTP/1.0 200 OK\r\n\r\nfrom " + std::to_string(port_));
                }
            });
        }
    }
    ~FakeProxy() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int Port() const { return port_; }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    net::Socket listener_;
    int port_ = 0;
    std::vector<net::Socket> fillers_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

struct FailoverCase {
    const char* name;
    Peer active;
    std::vector<Peer> candidates;
    std::string request;
    // For each request sent in turn: the peer whose page comes back, -1 for
    // "502" naming each peer in `tried`, -2 for nothing at all.
    std::vector<int> servedBy;
    std::vector<int> tried;
    // Requests each peer (the active one first) was sent in all.
    std::vector<int> received;
    // The active proxy afterwards; a change is reported once.
    int activeAfter;
};

const std::string Get = "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n";
const std::string Post =
    "POST http://h/form HTTP/1.1\r\nHost: h\r\nContent-Length: 7\r\n\r\nsecret=";
constexpr Peer Answers = Peer::Answers, Refuses = Peer::Refuses, Silent = Peer::Silent;

const FailoverCase FailoverCases[] = {
    {"answering active", Answers, {Answers}, Get, {0}, {}, {1, 0}, 0},
    {"refusing active", Refuses, {Answers}, Get, {1}, {}, {0, 1}, 1},
    {"silent active", Silent, {Answers}, Get, {1}, {}, {0, 1}, 1},
    {"refusing candidate", Refuses, {Refuses, Answers}, Get, {2}, {}, {0, 0, 1}, 2},
    // Three tries at the most; the next request skips those that failed lately.
    {"three tries", Refuses, {Refuses, Refuses, Answers}, Get, {-1, 3}, {0, 1, 2}, {0, 0, 0, 1}, 3},
    {"post whose connect failed", Refuses, {Answers}, Post, {1}, {}, {0, 1}, 1},
    {"post whose send had started", Peer::DropsAfterRequest, {Answers}, Post, {-2}, {}, {1, 0}, 0},
    {"list of one", Refuses, {}, Get, {-1}, {0}, {0}, 0},
    // The same connect limit with no candidate as with some.
    {"silent, list of one", Silent, {}, Get, {-1}, {0}, {0}, 0},
    {"all dead", Silent, {Refuses, Silent}, Get, {-1}, {0, 1, 2}, {0, 0, 0}, 0},
};

TEST_F(ConnectionTest, ADeadProxyIsReplacedByTheNextCandidateThatAnswers) {
    for (const FailoverCase& c : FailoverCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<FakeProxy>> peers;
        peers.push_back(std::make_unique<FakeProxy>(c.active));
        std::vector<UpstreamCandidate> candidates;
        for (Peer kind : c.candidates) {
            peers.push_back(std::make_unique<FakeProxy>(kind));
            candidates.push_back({"127.0.0.1", peers.back()->Port()});
        }
        ConnectionLimits limits;
        limits.failoverConnectTimeoutMs = 500;
        LocalProxyServer server(limits);
        std::mutex reportMutex;
        std::vector<std::pair<int, int>> switches;
        server.SetSwitchReport([&](const UpstreamCandidate& from, const UpstreamCandidate& to) {
            std::lock_guard<std::mutex> lock(reportMutex);
            switches.emplace_back(from.port, to.port);
        });
        // The active proxy's credentials are never sent to a candidate.
        int port = StartOnFreePort(
            server, 1,
            net::ProxyAddress("127.0.0.1", peers[0]->Port(), net::ProxyType::Http, "user", "pass"),
            candidates);
        ASSERT_NE(0, port);
        for (int served : c.servedBy) {
            std::string answer = Ask(port, c.request);
            if (served >= 0) {
                EXPECT_EQ(0u, answer.find("HTTP/1.0 200 OK\r\n")) << answer;
                EXPECT_EQ("from " + std::to_string(peers[served]->Port()),
                          answer.substr(answer.find("\r\n\r\n") + 4));
            } else if (served == -1) {
                EXPECT_EQ(0u, answer.find("HTTP/1.1 502 Bad Gateway\r\n")) << answer;
                // Without a tested proxy to turn to, the user is told to test some.
                EXPECT_EQ(c.candidates.empty(),
                          answer.find(NoCandidatesAdvice) != std::string::npos);
                for (size_t i = 0; i < peers.size(); ++i) {
                    std::string name = "127.0.0.1:" + std::to_string(peers[i]->Port()) + ": ";
                    bool named = answer.find(name) != std::string::npos;
                    EXPECT_EQ(std::count(c.tried.begin(), c.tried.end(), i) > 0, named) << i;
                    Peer kind = i == 0 ? c.active : c.candidates[i - 1];
                    if (named && kind == Silent) {
                        EXPECT_NE(std::string::npos, answer.find(name + "connection timed out"));
                    }
                }
            } else {
                EXPECT_EQ("", answer);
            }
        }
        for (size_t i = 0; i < peers.size(); ++i) {
            std::vector<std::string> requests = peers[i]->Requests();
            ASSERT_EQ(c.received[i], static_cast<int>(requests.size())) << "peer " << i;
            for (const std::string& request : requests) {
                if (c.request == Post) {
                    EXPECT_EQ("\r\n\r\nsecret=", request.substr(request.size() - 11));
                }
                EXPECT_EQ(i == 0, request.find("Proxy-Authorization") != std::string::npos);
            }
        }
        auto now = server.CurrentSettings();
        EXPECT_EQ(peers[c.activeAfter]->Port(), now->proxyPort);
        std::lock_guard<std::mutex> lock(reportMutex);
        if (c.activeAfter == 0) {
            EXPECT_TRUE(switches.empty());
        } else {
            ASSERT_EQ(1u, switches.size());
            EXPECT_EQ(std::make_pair(peers[0]->Port(), now->proxyPort), switches[0]);
            EXPECT_EQ("", now->authorizationLine);
        }
    }
}

}  // namespace
