// The proxy tester against real loopback sockets, with its outcome read back
// from the settings store.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "held_port.h"
#include "temp_folder.h"
#include "wait_for.h"
#include "net/socket.h"
#include "proxies/bulk_check.h"
#include "proxies/failure_witness.h"
#include "proxies/judge_exchange.h"
#include "proxies/proxy_tester.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// Keeps what a dialog would show: the rows, their responses, and every
// position the progress bar was moved to.
class RecordingView : public TestRunView {
public:
    void SetProgress(int position) override { progress.push_back(position); }
    int RowCount() override { return static_cast<int>(tasks.size()); }
    void InsertRow(int row, const std::string& task) override {
        ASSERT_EQ(row, RowCount()) << "rows are only ever appended";
        tasks.push_back(task);
        responses.push_back("");
    }
    void SetResponse(int row, const std::string& response) override {
        ASSERT_LT(row, RowCount());
        responses[row] = response;
    }

    std::vector<int> progress;
    std::vector<std::string> tasks;
    std::vector<std::string> responses;
};

std::string StoredText(const char* path) {
    return RegStringValue(path, "<missing>", true).Get();
}
uint32_t StoredFail() {
    return RegDwordValue(setting::FAIL, 99, true).Get();
}

TEST(MarkProxyUntestedTest, LeavesFailAlone) {
    RegDwordValue(setting::FAIL, 0, true).Set(1);
    RegStringValue(setting::TMPResponseTime, "", true).Set("235 milliseconds");
    MarkProxyUntested();
    EXPECT_EQ("Not Tested", StoredText(setting::TMPResponseTime));
    EXPECT_EQ("N/A", StoredText(setting::TMPDownloadSpeed));
    EXPECT_EQ(1u, StoredFail());
}

// What the judge saw, as echoed pages show it; the user's own address is
// 10.0.0.7 unless a row says otherwise.
TEST(GradeEchoTest, LevelFollowsWhatTheJudgeSaw) {
    struct Row {
        OwnAddresses own;
        const char* echo;
        Anonymity level;
        const char* exit;
    };
    const Row rows[] = {
        {{"10.0.0.7", {}},
         "<b id=\"address\">203.0.113.5</b><pre>Host: judge\nAccept: */*\n</pre>",
         Anonymity::Elite,
         "203.0.113.5"},
        {{"10.0.0.7", {}},
         "<b id=\"address\">203.0.113.5</b>\nVia: 1.1 tinyproxy\n",
         Anonymity::Anonymous,
         "203.0.113.5"},
        {{"10.0.0.7", {}},
         "REMOTE_ADDR = 203.0.113.5\nX-Forwarded-For: 198.51.100.2\n",
         Anonymity::Anonymous,
         "203.0.113.5"},
        {{"10.0.0.7", {}},
         "REMOTE_ADDR = 203.0.113.5\nforwarded: for=198.51.100.2\n",
         Anonymity::Anonymous,
         "203.0.113.5"},
        {{"10.0.0.7", {}},
         "<b id=\"address\">203.0.113.5</b>\nX-Forwarded-For: 10.0.0.7\n",
         Anonymity::Transparent,
         "203.0.113.5"},
        {{"10.0.0.7", {}},
         "<b id=\"address\">203.0.113.5</b>\nX-Tinyproxy: 10.0.0.7\n",
         Anonymity::Transparent,
         "203.0.113.5"},
        // The address anywhere, even under a header no list names.
        {{"10.0.0.7", {}},
         "<td>203.0.113.5</td><td>X-Custom: a,10.0.0.7;b</td>",
         Anonymity::Transparent,
         "203.0.113.5"},
        // A proxy that does not hide the user at all.
        {{"10.0.0.7", {}}, "<b id=\"address\">10.0.0.7</b>", Anonymity::Transparent, "10.0.0.7"},
        // A longer address that starts or ends like the user's is another one.
        {{"10.0.0.7", {}},
         "203.0.113.5\nX-Forwarded-For: 10.0.0.71, 110.0.0.7, 10.0.0.7.9\n",
         Anonymity::Anonymous,
         "203.0.113.5"},
        // The judge's host may be the user's address (a judge on this
        // machine); its Host lines are not what the proxy passed on, and a
        // name that merely ends in "via:" is another header.
        {{"127.0.0.1", {}},
         "<b id=\"address\">127.0.0.2</b><pre>Host: 127.0.0.1:8765\n</pre>",
         Anonymity::Elite,
         "127.0.0.2"},
        {{"127.0.0.1", {}},
         "<pre>Host: 127.0.0.1:8765\nX-Forwarded-Host: 127.0.0.1\nX-Via: a\n</pre>",
         Anonymity::Elite,
         ""},
        // Without the address the judge saw directly nothing proves the
        // proxy hides the user, unless it shows an address of this machine.
        {{"", {}}, "203.0.113.5\nClient-IP: 10.0.0.7\n", Anonymity::Unknown, "203.0.113.5"},
        {{"", {}}, "203.0.113.5\n", Anonymity::Unknown, "203.0.113.5"},
        {{"", {"192.0.2.9"}},
         "203.0.113.5\nX-Odd: 192.0.2.9\n",
         Anonymity::Transparent,
         "203.0.113.5"},
        {{"10.0.0.7", {"192.0.2.9", "2001:db8::9"}},
         "203.0.113.5\nX-Forwarded-For: 2001:DB8::9\n",
         Anonymity::Transparent,
         "203.0.113.5"},
        // IPv6, read at the marked element and compared as whole addresses.
        {{"2001:db8::7", {}},
         "<b id=\"address\">2001:db8::5</b>\nVia: x\nFor: 2001:db8::70\n",
         Anonymity::Anonymous,
         "2001:db8::5"},
        {{"2001:db8::7", {}},
         "<b id=\"address\">2001:db8::5</b>\nX-Real: 2001:DB8::7\n",
         Anonymity::Transparent,
         "2001:db8::5"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.level, GradeEcho(row.own, row.echo)) << row.echo;
        EXPECT_EQ(row.exit, ReadExitAddress(row.echo)) << row.echo;
    }
    EXPECT_EQ(Anonymity::Transparent, AnonymityFromWord(AnonymityWord(Anonymity::Transparent)));
    EXPECT_STREQ("Transparent - sites see your IP", AnonymityText(Anonymity::Transparent));
    EXPECT_EQ(Anonymity::Unknown, AnonymityFromWord(AnonymityWord(Anonymity::Unknown)));
    EXPECT_EQ(Anonymity::None, AnonymityFromWord(""));
    // Only the page that echoes this test's marker is the judge's answer.
    std::string marker = NewJudgeMarker();
    EXPECT_NE(marker, NewJudgeMarker());
    EXPECT_TRUE(IsJudgeEcho("<b id=\"address\">203.0.113.5</b> X: " + marker, marker));
    EXPECT_FALSE(IsJudgeEcho("<b id=\"address\">192.168.1.1</b> Router status", marker));
    EXPECT_FALSE(IsJudgeEcho(marker + " and no address", marker));
}

// Only the judge's page as the judge sends it grades a proxy: status 200, the
// marker once, and the request line it echoes the one sent, in either form.
TEST(WellFormedEchoTest, StatusMarkerOnceAndTheRequestLineAsSent) {
    const std::string m = "vg0123456789abcdef";
    const std::string line = "<code id=\"request\">";
    const struct {
        int status;
        std::string body;
        bool wellFormed;
    } rows[] = {
        {200, line + "GET /p HTTP/1.0</code> " + m, true},
        {200, line + "GET http://judge:81/p HTTP/1.1</code> " + m, true},
        {200, "no request line echoed " + m, true},
        {200, line + "GET /other HTTP/1.0</code> " + m, false},
        {200, line + "POST /p HTTP/1.0</code> " + m, false},
        {200, m + " " + m, false},
        {203, m, false},
    };
    for (const auto& row : rows) {
        JudgeAnswer answer;
        answer.came = true;
        answer.status = row.status;
        answer.kept = "HTTP/1.0 " + std::to_string(row.status) + " X\r\n\r\n" + row.body;
        EXPECT_EQ(row.wellFormed, IsWellFormedEcho(answer, m, "/p")) << row.body;
    }
    // Only our fixed page, whole, is a content object; a judge that echoes
    // every path is not one.
    JudgeAnswer object;
    object.status = 200;
    object.complete = true;
    object.kept = std::string("HTTP/1.0 200 OK\r\n\r\n<title>") + ContentTestTitle + "</title>";
    EXPECT_TRUE(IsContentTestObject(object, m));
    object.kept += m;
    EXPECT_FALSE(IsContentTestObject(object, m));
    object.kept = "HTTP/1.0 200 OK\r\n\r\n<pre>echo</pre>";
    EXPECT_FALSE(IsContentTestObject(object, m));
}

// A failure counts against a proxy only once the test page answered after
// it; failures before an answer share it, and a test page that is down is
// asked again no sooner than the gap.
TEST(FailureWitnessTest, OnlyAnAnswerAfterTheFailureConfirmsIt) {
    std::atomic<bool> stop{false};
    int asks = 0;
    bool up = true;
    FailureWitness witness([&] { return ++asks, up; }, 100);
    auto before = FailureWitness::Clock::now();
    EXPECT_TRUE(witness.Confirms(before, stop));
    EXPECT_TRUE(witness.Confirms(before, stop));
    EXPECT_EQ(1, asks);
    up = false;
    EXPECT_FALSE(witness.Confirms(FailureWitness::Clock::now(), stop));
    auto asked = FailureWitness::Clock::now();
    EXPECT_FALSE(witness.Confirms(asked, stop));
    EXPECT_EQ(3, asks);
    EXPECT_GE(FailureWitness::Clock::now() - asked, std::chrono::milliseconds(100));
    stop = true;
    EXPECT_FALSE(witness.Confirms(FailureWitness::Clock::now(), stop));
    EXPECT_EQ(3, asks);
}

// A failure older than the last request is answered at once, even while a
// newer one waits for the gap before the next request.
TEST(FailureWitnessTest, AnOlderFailureDoesNotWaitBehindANewerOne) {
    std::atomic<bool> stop{false};
    std::atomic<int> asks{0};
    FailureWitness witness([&] { return ++asks, true; }, 5000);
    auto older = FailureWitness::Clock::now();
    ASSERT_TRUE(witness.Confirms(older, stop));
    std::atomic<bool> newerAnswered{false};
    std::thread newer([&] {
        witness.Confirms(FailureWitness::Clock::now(), stop);
        newerAnswered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(witness.Confirms(older, stop));
    EXPECT_FALSE(newerAnswered) << "the older failure waited for the newer one's gap";
    stop = true;
    newer.join();
    EXPECT_EQ(1, asks);
}

TEST(ParseJudgeUrlTest, TakesPlainHttpAddressesOnly) {
    ProxyJudge judge;
    ASSERT_TRUE(ParseJudgeUrl("http://127.0.0.1:8765/services/whatismyip/whatismyip.asp", judge));
    EXPECT_EQ("127.0.0.1:8765 /services/whatismyip/whatismyip.asp 127.0.0.1:443",
              judge.host + ":" + std::to_string(judge.port) + " " + judge.path + " " +
                  judge.secureHost + ":" + std::to_string(judge.securePort));
    for (const char* bad : {"https://judge.example/", "judge.example", "http://:80/",
                            "http://judge.example:0/", "http://judge.example:80x/"})
        EXPECT_FALSE(ParseJudgeUrl(bad, judge)) << bad;
    RegStringValue(setting::JudgeUrl, "", true).Set("ftp://nowhere/");
    EXPECT_EQ("/services/whatismyip/whatismyip.asp", ConfiguredJudge().path);
    // Several pages, in order; those that are no plain HTTP address are
    // passed over.
    RegStringValue(setting::JudgeUrl, "", true)
        .Set("http://a.example/x https://b.example/\r\nhttp://c.example:81/");
    std::vector<ProxyJudge> judges = ConfiguredJudges();
    ASSERT_EQ(2u, judges.size());
    EXPECT_EQ("a.example/x c.example:81", judges[0].host + judges[0].path + " " + judges[1].host +
                                              ":" + std::to_string(judges[1].port));
    EXPECT_EQ("a.example", ConfiguredJudge().host);
    RegStringValue(setting::JudgeUrl, "", true).Set("");
}

TEST(ShowProxyCheckTest, RowsAndHandOverValuesFollowTheOutcome) {
    ProxyCheck passed;
    passed.outcome = CheckOutcome::Passed;
    passed.responseMs = 235;
    passed.kilobytesPerSecond = 812.5;
    passed.level = Anonymity::Transparent;
    passed.exitAddress = "127.0.0.4";
    passed.secure = true;
    RecordingView view;
    ShowProxyCheck(passed, view);
    EXPECT_EQ((std::vector<std::string>{"Get proxy response time", "Get proxy download speed",
                                        "Test Completed", "Check anonymity", "Address sites see",
                                        "Check secure pages"}),
              view.tasks);
    EXPECT_EQ(
        (std::vector<std::string>{"235 milliseconds", "812.50 KB/sec", "Proxy ready",
                                  "Transparent - sites see your IP", "127.0.0.4", "Supported"}),
        view.responses);
    EXPECT_EQ("235 milliseconds", StoredText(setting::TMPResponseTime));
    EXPECT_EQ("812.50 KB/sec", StoredText(setting::TMPDownloadSpeed));
    EXPECT_EQ("Transparent", StoredText(setting::TMPAnonymity));
    EXPECT_EQ(0u, StoredFail());

    for (CheckOutcome outcome : {CheckOutcome::NoAnswer, CheckOutcome::NoConnection}) {
        ProxyCheck failed;
        failed.outcome = outcome;
        ShowProxyCheck(failed, view);
        EXPECT_EQ("Proxy server is NOT AVAILABLE", view.tasks.back());
        EXPECT_EQ(outcome == CheckOutcome::NoAnswer ? "No answer through the proxy"
                                                    : "Connection Failure",
                  view.responses.back());
        EXPECT_EQ("", StoredText(setting::TMPResponseTime));
        EXPECT_EQ("812.50 KB/sec", StoredText(setting::TMPDownloadSpeed));
        EXPECT_EQ("", StoredText(setting::TMPAnonymity));
        EXPECT_EQ(1u, StoredFail());
    }
    EXPECT_EQ(8u, view.tasks.size());
}

#ifndef _WIN32
// A peer process, stopped by its id when the object goes.
class Peer {
public:
    explicit Peer(std::vector<std::string> command) {
        std::vector<char*> argv;
        for (std::string& part : command)
            argv.push_back(&part[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Peer() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

private:
    pid_t pid_ = 0;
};

bool Listening(int port) {
    return net::ConnectTcp("127.0.0.1", port, 1000).IsValid();
}

// The stand-in list service as the judge, real tinyproxy processes in front
// of it (each making its outgoing connections from an address of its own, so
// that the judge sees another address through them than directly), and two
// ports that are no proxy.
class ProxyPeersTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(network_.Ok());
        std::ofstream(folder_.File("proxies.txt")) << "127.0.0.1:1->Nowhere\n";
        judgePeer_ = std::make_unique<Peer>(
            std::vector<std::string>{LIST_SERVICE_EXE, "--proxies", folder_.File("proxies.txt"),
                                     "--port-file", folder_.File("judge.port")});
        ASSERT_TRUE(WaitFor([&] {
            std::ifstream file(folder_.File("judge.port"));
            return static_cast<bool>(file >> judge_.port);
        }));
        judge_.host = "127.0.0.1";
        judge_.path = "/services/whatismyip/whatismyip.asp";
        // The tunnel's target is the judge itself: something that listens.
        judge_.secureHost = judge_.host;
        judge_.securePort = judge_.port;
    }

    // A tinyproxy with these configuration lines; its port.
    int StartTinyproxy(const std::string& name, const std::vector<std::string>& lines) {
        int port = AnyFreePort();
        std::string config = folder_.File(name + ".conf");
        std::ofstream file(config);
        file << "Port " << port << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
             << "Allow 127.0.0.1\nUser nobody\nGroup nogroup\n";
        for (const std::string& line : lines)
            file << line << "\n";
        file.close();
        peers_.push_back(
            std::make_unique<Peer>(std::vector<std::string>{"tinyproxy", "-d", "-c", config}));
        EXPECT_TRUE(WaitFor([port] { return Listening(port); }, std::chrono::seconds(20))) << name;
        return port;
    }

    static int AnyFreePort() {
        net::Socket probe = net::ListenTcp("127.0.0.1", 0, 1);
        return net::LocalPortOf(probe);
    }

    net::NetworkInit network_;
    testing_support::TempFolder folder_;
    std::unique_ptr<Peer> judgePeer_;
    std::vector<std::unique_ptr<Peer>> peers_;
    ProxyJudge judge_;
    std::atomic<bool> stop_{false};
};

TEST_F(ProxyPeersTest, EachPeerGetsItsLevelItsTimesAndItsTunnel) {
    OwnAddresses own;
    ASSERT_TRUE(AskJudgeDirectly(judge_, stop_, own));
    EXPECT_EQ("127.0.0.1", own.seenDirectly);

    // Accepts (the system completes the connection) and never says a word.
    net::Socket silent = net::ListenTcp("127.0.0.1", 0, 4);
    // Answers every request with a device's status page naming addresses,
    // as a router or camera does: no proxy, and not the judge's page.
    net::Socket other = net::ListenTcp("127.0.0.1", 0, 4);
    std::atomic<bool> done{false};
    std::thread otherServer([&] {
        while (!done) {
            if (net::WaitReadable(other, 50) != 1)
                continue;
            net::Socket client = net::AcceptConnection(other);
            char buffer[4096];
            net::WaitReadable(client, 2000);
            net::Receive(client, buffer, sizeof buffer);
            net::SendAll(client, std::string("HTTP/1.0 200 OK\r\n\r\n<html>Gateway <b "
                                             "id=\"address\">192.168.1.1</b> 10.0.0.2</html>"));
        }
    });
    int refused = AnyFreePort();

    struct Row {
        const char* name;
        std::vector<std::string> lines;  // empty name: not a tinyproxy
        CheckOutcome outcome;
        Anonymity level;
        const char* exit;
        bool secure;
    };
    const Row rows[] = {
        {"as-it-comes",
         {"Bind 127.0.0.2"},
         CheckOutcome::Passed,
         Anonymity::Anonymous,
         "127.0.0.2",
         true},
        {"no-via",
         {"Bind 127.0.0.3", "DisableViaHeader Yes"},
         CheckOutcome::Passed,
         Anonymity::Elite,
         "127.0.0.3",
         true},
        {"xtinyproxy",
         {"Bind 127.0.0.4", "XTinyproxy Yes"},
         CheckOutcome::Passed,
         Anonymity::Transparent,
         "127.0.0.4",
         true},
        {"https-port-only",
         {"Bind 127.0.0.5", "DisableViaHeader Yes", "ConnectPort 443"},
         CheckOutcome::Passed,
         Anonymity::Elite,
         "127.0.0.5",
         false},
    };
    for (const Row& row : rows) {
        int port = StartTinyproxy(row.name, row.lines);
        std::vector<int> progress;
        ProxyCheck check = CheckProxy(judge_, own, net::ProxyAddress("127.0.0.1", port), stop_,
                                      [&](int position) { progress.push_back(position); });
        EXPECT_EQ(row.outcome, check.outcome) << row.name;
        EXPECT_EQ(row.level, check.level) << row.name;
        EXPECT_EQ(row.exit, check.exitAddress) << row.name;
        EXPECT_EQ(row.secure, check.secure) << row.name;
        EXPECT_GE(check.responseMs, 1u) << row.name;
        // 256 KiB in under the budget, measured rather than derived.
        EXPECT_GT(check.kilobytesPerSecond, 256.0 / 10) << row.name;
        EXPECT_EQ(100, progress.back()) << row.name;
        std::printf("peer %-16s %-11s %5u ms %10.2f KB/sec %s\n", row.name,
                    AnonymityWord(check.level), check.responseMs, check.kilobytesPerSecond,
                    check.secure ? "secure" : "no secure");
    }

    auto started = std::chrono::steady_clock::now();
    ProxyCheck silentCheck =
        CheckProxy(judge_, own, net::ProxyAddress("127.0.0.1", net::LocalPortOf(silent)), stop_);
    auto silentMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    EXPECT_EQ(CheckOutcome::NoAnswer, silentCheck.outcome);
    EXPECT_LE(silentMs, ProxyTestBudgetMs + 1000);
    EXPECT_EQ(
        CheckOutcome::NoAnswer,
        CheckProxy(judge_, own, net::ProxyAddress("127.0.0.1", net::LocalPortOf(other)), stop_)
            .outcome);
    EXPECT_EQ(CheckOutcome::NoConnection,
              CheckProxy(judge_, own, net::ProxyAddress("127.0.0.1", refused), stop_).outcome);
    done = true;
    otherServer.join();
}

// A fake proxy on a loopback port: it accepts, counts the connections it
// holds, and answers each with `answer` (nothing: silent), a byte every
// `pauseMs` (a trickle) or all at once.
class FakeProxy {
public:
    FakeProxy(std::string answer, int pauseMs)
        : answer_(std::move(answer)),
          pauseMs_(pauseMs),
          listener_(net::ListenTcp("127.0.0.1", 0, 64)) {
        server_ = std::thread([this] { Serve(); });
    }
    ~FakeProxy() {
        done_ = true;
        server_.join();
        for (std::thread& client : clients_)
            client.join();
    }
    int Port() const { return net::LocalPortOf(listener_); }
    int Accepted() const { return accepted_; }

private:
    void Serve() {
        while (!done_) {
            if (net::WaitReadable(listener_, 50) != 1)
                continue;
            auto client = std::make_shared<net::Socket>(net::AcceptConnection(listener_));
            ++accepted_;
            clients_.emplace_back([this, client] {
                size_t sent = 0;
                while (!done_) {
                    if (sent < answer_.size()) {
                        size_t piece = pauseMs_ > 0 ? 1 : answer_.size();
                        if (!net::SendAll(*client, answer_.substr(sent, piece)))
                            return;
                        sent += piece;
                    }
                    std::this_thread::sleep_for(
                        std::chrono::milliseconds(pauseMs_ > 0 ? pauseMs_ : 50));
                }
            });
        }
    }

    std::string answer_;
    int pauseMs_;
    net::Socket listener_;
    std::atomic<bool> done_{false};
    std::atomic<int> accepted_{0};
    std::thread server_;
    std::vector<std::thread> clients_;
};

// A plain HTTP proxy of the test's own: it hands each request to the judge
// as it came and passes the whole answer back through `change`.
class RelayProxy {
public:
    RelayProxy(int judgePort, std::function<std::string(std::string)> change)
        : judgePort_(judgePort),
          change_(std::move(change)),
          listener_(net::ListenTcp("127.0.0.1", 0, 16)) {
        server_ = std::thread([this] { Serve(); });
    }
    ~RelayProxy() {
        done_ = true;
        server_.join();
    }
    int Port() const { return net::LocalPortOf(listener_); }

private:
    static std::string ReadFrom(const net::Socket& peer, bool headOnly) {
        std::string bytes;
        char buffer[4096];
        while (!(headOnly && bytes.find("\r\n\r\n") != std::string::npos) &&
               net::WaitReadable(peer, 2000) == 1) {
            long got = net::Receive(peer, buffer, sizeof buffer);
            if (got <= 0)
                break;
            bytes.append(buffer, static_cast<size_t>(got));
        }
        return bytes;
    }
    void Serve() {
        while (!done_) {
            if (net::WaitReadable(listener_, 50) != 1)
                continue;
            net::Socket client = net::AcceptConnection(listener_);
            std::string request = ReadFrom(client, true);
            net::Socket judge = net::ConnectTcp("127.0.0.1", judgePort_, 2000);
            if (net::SendAll(judge, request))
                net::SendAll(client, change_(ReadFrom(judge, false)));
        }
    }

    int judgePort_;
    std::function<std::string(std::string)> change_;
    net::Socket listener_;
    std::atomic<bool> done_{false};
    std::thread server_;
};

// Proxies that pass the judge's page on but change what they relay are
// never found working, whichever check meets them.
TEST_F(ProxyPeersTest, AProxyThatAltersContentIsGradedSo) {
    OwnAddresses own;
    ASSERT_TRUE(AskJudgeDirectly(judge_, stop_, own));
    ASSERT_TRUE(own.contentKnown);
    auto lastByteFlipped = [](std::string answer) {
        answer.back() ^= 0x20;
        return answer;
    };
    auto scriptAppended = [](std::string answer) {
        const std::string script = "<script src=\"http://ads.example/a.js\"></script>";
        const std::string length = "Content-Length: ";
        size_t at = answer.find(length) + length.size();
        size_t end = answer.find("\r\n", at);
        if (answer.find("text/html") != std::string::npos)
            answer.replace(at, end - at,
                           std::to_string(std::stoul(answer.substr(at)) + script.size())) += script;
        return answer;
    };
    auto status203 = [](std::string answer) {
        return "HTTP/1.0 203 Non-Authoritative Information" + answer.substr(answer.find("\r\n"));
    };
    struct Row {
        const char* name;
        std::function<std::string(std::string)> change;
        CheckOutcome outcome;
    };
    const Row rows[] = {
        {"honest", [](std::string answer) { return answer; }, CheckOutcome::Passed},
        {"flips a byte", lastByteFlipped, CheckOutcome::AltersContent},
        {"appends a script", scriptAppended, CheckOutcome::AltersContent},
        {"says 203", status203, CheckOutcome::UnreliableAnswer},
    };
    std::vector<std::unique_ptr<RelayProxy>> relays;
    std::vector<net::ProxyAddress> proxies;
    for (const Row& row : rows) {
        relays.push_back(std::make_unique<RelayProxy>(judge_.port, row.change));
        proxies.emplace_back("127.0.0.1", relays.back()->Port());
        ProxyCheck check = CheckProxy(judge_, own, proxies.back(), stop_);
        EXPECT_EQ(row.outcome, check.outcome) << row.name;
        EXPECT_EQ(row.outcome, QuickCheckProxy(judge_, own, proxies.back(), stop_).outcome)
            << row.name;
    }
    std::mutex mutex;
    std::vector<CheckOutcome> outcomes(proxies.size(), CheckOutcome::Stopped);
    BulkCheckReceiver receiver;
    receiver.checked = [&](const BulkCheckResult& result) {
        std::lock_guard<std::mutex> lock(mutex);
        outcomes[result.index] = result.check.outcome;
    };
    RunBulkCheck(proxies, {judge_}, 4, stop_, receiver);
    for (size_t i = 0; i < proxies.size(); ++i)
        EXPECT_EQ(rows[i].outcome, outcomes[i]) << rows[i].name;
}

TEST_F(ProxyPeersTest, FindWorkingProxiesKeepsOnlyLiveOnesThatHideTheUser) {
    int anonymous = StartTinyproxy("bulk-anonymous", {"Bind 127.0.0.2"});
    int elite = StartTinyproxy("bulk-elite", {"Bind 127.0.0.3", "DisableViaHeader Yes"});
    int transparent = StartTinyproxy("bulk-transparent", {"Bind 127.0.0.4", "XTinyproxy Yes"});
    int socks = AnyFreePort();
    peers_.push_back(std::make_unique<Peer>(std::vector<std::string>{
        "microsocks", "-i", "127.0.0.1", "-p", std::to_string(socks), "-b", "127.0.0.6"}));
    ASSERT_TRUE(WaitFor([socks] { return Listening(socks); }));
    FakeProxy silent("", 0);
    FakeProxy garbage(
        std::string("\x16\x03\x01\x00\xff garbage, not HTTP\r\n\r\n") + std::string(300, '\xfe'),
        0);
    FakeProxy trickle("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", 300);
    using net::ProxyType;
    std::vector<net::ProxyAddress> proxies = {
        {"127.0.0.1", AnyFreePort()},
        {"127.0.0.1", silent.Port()},
        {"127.0.0.1", garbage.Port()},
        {"127.0.0.1", trickle.Port()},
        {"127.0.0.1", transparent},
        {"127.0.0.1", elite},
        {"127.0.0.1", socks, ProxyType::Socks5},
        {"127.0.0.1", anonymous},
        // An HTTP proxy asked as SOCKS is no working SOCKS proxy.
        {"127.0.0.1", anonymous, ProxyType::Socks5},
    };
    ProxyJudge refusedJudge = judge_;
    refusedJudge.port = AnyFreePort();
    std::mutex mutex;
    std::vector<BulkCheckResult> results;
    bool judgeTold = false;
    BulkCheckReceiver receiver;
    receiver.judgeAsked = [&](bool answered, const OwnAddresses& own) {
        std::lock_guard<std::mutex> lock(mutex);
        judgeTold = answered && own.seenDirectly == "127.0.0.1";
    };
    receiver.checked = [&](const BulkCheckResult& result) {
        std::lock_guard<std::mutex> lock(mutex);
        results.push_back(result);
    };
    auto started = std::chrono::steady_clock::now();
    // The first judge does not answer: the run asks the next, once.
    EXPECT_TRUE(RunBulkCheck(proxies, {refusedJudge, judge_}, 4, stop_, receiver));
    auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - started)
                      .count();
    EXPECT_TRUE(judgeTold);
    ASSERT_EQ(proxies.size(), results.size());
    std::vector<Anonymity> levels(proxies.size(), Anonymity::None);
    std::vector<bool> found(proxies.size(), false);
    for (const BulkCheckResult& result : results) {
        levels[result.index] = result.check.level;
        found[result.index] = IsFound(result.check);
        if (result.check.outcome == CheckOutcome::Passed)
            EXPECT_GE(result.check.responseMs, 1u);
    }
    EXPECT_EQ((std::vector<bool>{false, false, false, false, false, true, true, true, false}),
              found);
    EXPECT_EQ(Anonymity::Transparent, levels[4]);
    EXPECT_EQ(Anonymity::Elite, levels[5]);
    EXPECT_EQ(Anonymity::Elite, levels[6]);
    EXPECT_EQ(Anonymity::Anonymous, levels[7]);
    // The silent one and the trickle end at the whole check's limit.
    EXPECT_LT(tookMs, QuickCheckBudgetMs + 3000);
    EXPECT_EQ(1, silent.Accepted());
}

TEST_F(ProxyPeersTest, FindWorkingProxiesHoldsItsLimitAndStopsWithinASecond) {
    FakeProxy silent("", 0);
    std::vector<net::ProxyAddress> proxies(40, net::ProxyAddress("127.0.0.1", silent.Port()));
    std::atomic<bool> stop{false};
    std::atomic<int> reported{0};
    BulkCheckReceiver receiver;
    receiver.checked = [&](const BulkCheckResult&) { ++reported; };
    std::chrono::steady_clock::time_point ended;
    std::thread run([&] {
        RunBulkCheck(proxies, {judge_}, 6, stop, receiver);
        ended = std::chrono::steady_clock::now();
    });
    EXPECT_TRUE(WaitFor([&] { return silent.Accepted() == 6; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(6, silent.Accepted()) << "no more at once than the limit";
    auto stopped = std::chrono::steady_clock::now();
    stop = true;
    run.join();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - stopped).count(), 1000);
    EXPECT_EQ(0, reported) << "a stopped check is not reported";
    EXPECT_EQ(6, silent.Accepted());
}

TEST_F(ProxyPeersTest, AJudgeThatDoesNotAnswerGivesWayToTheNext) {
    ProxyJudge refused = judge_;
    refused.port = testing_support::FreePort();
    OwnAddresses own;
    ProxyJudge answered;
    ASSERT_TRUE(AskFirstJudgeDirectly({refused, judge_}, stop_, own, answered));
    EXPECT_EQ(judge_.port, answered.port);
    EXPECT_EQ("127.0.0.1", own.seenDirectly);
    EXPECT_FALSE(AskFirstJudgeDirectly({refused}, stop_, own, answered));
    EXPECT_EQ(refused.port, answered.port);
    EXPECT_EQ("", own.seenDirectly);
}

// Real SOCKS servers: microsocks (SOCKS5, its outgoing connections from an
// address of its own, with and without sign-in) and Dante (SOCKS5, and
// SOCKS4 for addresses only: it refuses the 4a form).
TEST_F(ProxyPeersTest, SocksPeersAreTestedByTheirTypeAndFoundWithoutOne) {
    OwnAddresses own;
    ASSERT_TRUE(AskJudgeDirectly(judge_, stop_, own));
    int plain = AnyFreePort();
    peers_.push_back(std::make_unique<Peer>(std::vector<std::string>{
        "microsocks", "-i", "127.0.0.1", "-p", std::to_string(plain), "-b", "127.0.0.6"}));
    int signing = AnyFreePort();
    peers_.push_back(std::make_unique<Peer>(
        std::vector<std::string>{"microsocks", "-i", "127.0.0.1", "-p", std::to_string(signing),
                                 "-b", "127.0.0.6", "-u", "ann", "-P", "pw"}));
    int dante = AnyFreePort();
    std::ofstream(folder_.File("danted.conf"))
        << "logoutput: " << folder_.File("danted.log") << "\ninternal: 127.0.0.1 port = " << dante
        << "\nexternal: 127.0.0.7\nsocksmethod: none\nclientmethod: none\n"
        << "user.privileged: root\nuser.unprivileged: nobody\n"
        << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
        << "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  command: connect\n}\n";
    peers_.push_back(std::make_unique<Peer>(std::vector<std::string>{
        "danted", "-f", folder_.File("danted.conf"), "-N", "1", "-p", folder_.File("danted.pid")}));
    for (int port : {plain, signing, dante})
        ASSERT_TRUE(WaitFor([port] { return Listening(port); }, std::chrono::seconds(20))) << port;
    // A judge known by name, which a SOCKS4 proxy without 4a cannot reach.
    ProxyJudge byName = judge_;
    byName.host = byName.secureHost = "localhost";

    const auto at = [](const char* scheme, int port) {
        return std::string(scheme) + "127.0.0.1:" + std::to_string(port);
    };
    struct Row {
        std::string text;
        const ProxyJudge* judge;
        CheckOutcome outcome;
        net::ProxyType type;
        const char* exit;
    };
    using net::ProxyType;
    const Row rows[] = {
        {at("socks5://", plain), &byName, CheckOutcome::Passed, ProxyType::Socks5, "127.0.0.6"},
        // Without a scheme: HTTP fails at once, SOCKS5 passes.
        {at("", plain) + "->DE", &judge_, CheckOutcome::Passed, ProxyType::Socks5, "127.0.0.6"},
        {at("socks5://ann:pw@", signing), &byName, CheckOutcome::Passed, ProxyType::Socks5,
         "127.0.0.6"},
        {at("socks5://", signing), &byName, CheckOutcome::NeedsCredentials, ProxyType::Socks5, ""},
        {at("", signing), &byName, CheckOutcome::NeedsCredentials, ProxyType::Socks5, ""},
        {at("socks5://ann:no@", signing), &byName, CheckOutcome::NeedsCredentials,
         ProxyType::Socks5, ""},
        {at("socks5h://", dante), &byName, CheckOutcome::Passed, ProxyType::Socks5, "127.0.0.7"},
        {at("socks4://", dante), &judge_, CheckOutcome::Passed, ProxyType::Socks4, "127.0.0.7"},
        {at("socks4a://", dante), &byName, CheckOutcome::RefusesNames, ProxyType::Socks4, ""},
    };
    for (const Row& row : rows) {
        ProxyCheck check = CheckProxyLine(*row.judge, own, row.text, stop_);
        EXPECT_EQ(row.outcome, check.outcome) << row.text;
        EXPECT_EQ(row.type, check.type) << row.text;
        EXPECT_EQ(row.exit, check.exitAddress) << row.text;
        if (row.outcome == CheckOutcome::Passed) {
            // No proxy header on the way: as elite as a proxy gets.
            EXPECT_EQ(Anonymity::Elite, check.level) << row.text;
            // The judge's own port stands in for 443: the tunnel opens.
            EXPECT_TRUE(check.secure) << row.text;
        }
    }
    // An HTTP proxy that asks for a password gets the Basic line, and one
    // asked without it is told as wanting it, whether or not a scheme says HTTP.
    int basic = StartTinyproxy("basic", {"Bind 127.0.0.8", "BasicAuth ann pw"});
    ProxyCheck signedIn = CheckProxyLine(judge_, own, at("http://ann:pw@", basic), stop_);
    EXPECT_EQ(CheckOutcome::Passed, signedIn.outcome);
    EXPECT_EQ("127.0.0.8", signedIn.exitAddress);
    EXPECT_EQ(CheckOutcome::NeedsCredentials,
              CheckProxyLine(judge_, own, at("", basic), stop_).outcome);
    EXPECT_EQ(CheckOutcome::NeedsCredentials,
              CheckProxyLine(judge_, own, at("http://ann:no@", basic), stop_).outcome);

    RecordingView view;
    // The type found is handed over with the outcome.
    ShowProxyCheck(CheckProxyLine(judge_, own, at("", plain), stop_), view);
    EXPECT_EQ("socks5", StoredText(setting::TMPProxyType));
    EXPECT_EQ("socks5://1.2.3.4:1->X", WithTestedType("1.2.3.4:1->X"));
    EXPECT_EQ("socks4://1.2.3.4:1", WithTestedType("socks4://1.2.3.4:1"));
    ProxyCheck wanting;
    wanting.outcome = CheckOutcome::NeedsCredentials;
    ShowProxyCheck(wanting, view);
    EXPECT_EQ("Needs a user name and password", view.responses.back());
    // Neither passed nor failed: no figures, and its row stays.
    EXPECT_EQ(0u, StoredFail());
    EXPECT_EQ("", StoredText(setting::TMPResponseTime));
    EXPECT_EQ("", StoredText(setting::TMPProxyType));
    wanting.outcome = CheckOutcome::JudgeUnreachable;
    ShowProxyCheck(wanting, view);
    EXPECT_EQ(0u, StoredFail());
    wanting.outcome = CheckOutcome::NoAnswer;
    ShowProxyCheck(wanting, view);
    EXPECT_EQ(1u, StoredFail());
}

TEST_F(ProxyPeersTest, AStopEndsATestAtOnce) {
    net::Socket silent = net::ListenTcp("127.0.0.1", 0, 4);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop_ = true;
    });
    auto started = std::chrono::steady_clock::now();
    ProxyCheck check = CheckProxy(judge_, {"127.0.0.1", {}},
                                  net::ProxyAddress("127.0.0.1", net::LocalPortOf(silent)), stop_);
    auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - started)
                      .count();
    stopper.join();
    EXPECT_EQ(CheckOutcome::Stopped, check.outcome);
    EXPECT_LT(tookMs, 3000);
}
#endif

}  // namespace
