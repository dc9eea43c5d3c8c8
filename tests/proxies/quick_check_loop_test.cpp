// What the event loop adds to the bulk check: a check that outlives its
// deadline does not hold up the others, and thousands wait at once.
#include "proxies/quick_check_loop.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "held_port.h"
#include "net/socket.h"

namespace {

// An HTTP proxy as the judge would answer through it: the exit address and
// the request it got (the marker included).
class EchoingProxy {
public:
    EchoingProxy() : listener_(net::ListenTcp("127.0.0.1", 0, 16)) {
        server_ = std::thread([this] {
            while (!done_) {
                if (net::WaitReadable(listener_, 50) != 1)
                    continue;
                net::Socket client = net::AcceptConnection(listener_);
                char request[4096];
                long got = net::WaitReadable(client, 2000) == 1
                               ? net::Receive(client, request, sizeof request)
                               : 0;
                net::SendAll(client, "HTTP/1.0 200 OK\r\n\r\n<b id=\"address\">127.0.0.9</b>" +
                                         std::string(request, got > 0 ? got : 0));
            }
        });
    }
    ~EchoingProxy() {
        done_ = true;
        server_.join();
    }
    int Port() const { return net::LocalPortOf(listener_); }

private:
    net::Socket listener_;
    std::atomic<bool> done_{false};
    std::thread server_;
};

ProxyJudge Judge() {
    ProxyJudge judge;
    judge.host = "127.0.0.1";
    judge.port = testing_support::FreePort();
    return judge;
}

TEST(QuickCheckLoopTest, AnOverdueCheckEndsAtItsDeadlineWhileOthersFinish) {
    net::NetworkInit network;
    net::Socket silent = net::ListenTcp("127.0.0.1", 0, 4);
    EchoingProxy live;
    int refused = testing_support::FreePort();
    std::vector<net::ProxyAddress> proxies = {
        {"127.0.0.1", net::LocalPortOf(silent)},
        {"127.0.0.1", live.Port()},
        {"127.0.0.1", refused},
        {"localhost", live.Port()},
        {"127.0.0.1", refused},
    };
    std::vector<size_t> order;
    std::vector<ProxyCheck> checks(proxies.size());
    std::atomic<bool> stop{false};
    auto done = [&](size_t index, const ProxyCheck& check) {
        order.push_back(index);
        checks[index] = check;
    };
    // Two at once: the silent one holds one while the rest pass the other.
    // The request line names the judge on 127.0.0.1, so the user is elsewhere.
    ASSERT_TRUE(RunQuickChecks(proxies, Judge(), {"127.0.0.8", {}}, 2, stop, done, {500, 1000}));
    ASSERT_EQ(proxies.size(), order.size());
    EXPECT_EQ(0u, order.back());
    EXPECT_EQ(CheckOutcome::NoAnswer, checks[0].outcome);
    for (size_t i : {1, 3}) {
        EXPECT_EQ(CheckOutcome::Passed, checks[i].outcome) << i;
        EXPECT_EQ(Anonymity::Elite, checks[i].level) << i;
        EXPECT_EQ("127.0.0.9", checks[i].exitAddress) << i;
    }
    EXPECT_EQ(CheckOutcome::NoConnection, checks[2].outcome);

    // Once the content test object is known, a proxy that passed is asked
    // for it on a second connection: this one answers it with an echo.
    OwnAddresses knowing{"127.0.0.8", {}};
    knowing.contentKnown = true;
    knowing.contentBytes = 5;
    ASSERT_TRUE(
        RunQuickChecks({proxies[1], proxies[2]}, Judge(), knowing, 2, stop, done, {500, 1000}));
    EXPECT_EQ(CheckOutcome::AltersContent, checks[0].outcome);
    EXPECT_EQ(CheckOutcome::NoConnection, checks[1].outcome);
}

TEST(QuickCheckLoopTest, TwoThousandSocketsWaitAtOnce) {
    constexpr size_t count = 2000;
#ifndef _WIN32
    // The sockets, the test's own and a margin, within the process's limit.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::max<rlim_t>(files.rlim_cur, std::min<rlim_t>(files.rlim_max, 3 * count));
    setrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < count + 100)
        GTEST_SKIP() << "the process may not open " << count << " sockets";
#endif
    net::NetworkInit network;
    // Never accepts: the system completes what its queue holds, and the
    // rest wait for their connect limit.
    net::Socket silent = net::ListenTcp("127.0.0.1", 0, 4096);
    std::vector<net::ProxyAddress> proxies(count, {"127.0.0.1", net::LocalPortOf(silent)});
    size_t told = 0;
    size_t passed = 0;
    std::atomic<bool> stop{false};
    QuickCheckLoopStats stats;
    ASSERT_TRUE(RunQuickChecks(
        proxies, Judge(), {"127.0.0.1", {}}, static_cast<int>(count), stop,
        [&](size_t, const ProxyCheck& check) {
            ++told;
            passed += check.outcome == CheckOutcome::Passed;
        },
        {1000, 1500}, &stats));
    EXPECT_EQ(count, told);
    EXPECT_EQ(0u, passed);
    EXPECT_EQ(count, stats.mostAtOnce);
}

#ifndef _WIN32
TEST(QuickCheckLoopTest, OutOfSocketsTheRestWaitTheirTurn) {
    net::NetworkInit network;
    net::Socket silent = net::ListenTcp("127.0.0.1", 0, 512);
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    rlimit few = files;
    // The descriptors open now, the loop's own few, and room for some checks.
    few.rlim_cur = static_cast<rlim_t>(silent.Get()) + 40;
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &few));
    std::vector<net::ProxyAddress> proxies(200, {"127.0.0.1", net::LocalPortOf(silent)});
    size_t told = 0;
    std::atomic<bool> stop{false};
    QuickCheckLoopStats stats;
    bool ran = RunQuickChecks(
        proxies, Judge(), {"127.0.0.1", {}}, 200, stop,
        [&](size_t, const ProxyCheck& check) {
            ++told;
            EXPECT_EQ(CheckOutcome::NoAnswer, check.outcome);
        },
        {500, 300}, &stats);
    setrlimit(RLIMIT_NOFILE, &files);
    ASSERT_TRUE(ran);
    EXPECT_EQ(proxies.size(), told);
    EXPECT_GT(stats.mostAtOnce, 0u);
    EXPECT_LT(stats.mostAtOnce, 40u);
}
#endif

}  // namespace
