// The bulk run's quick check of many proxies on one event loop (Asio: I/O
// completion ports on Windows, epoll natively). Every check is a small state
// machine driven by readiness (connect, SOCKS handshake, the judge's request
// and answer), raced by a deadline of its own, so that a thousand proxies
// that accept and never answer cost a thousand sockets and timers, not a
// thousand threads. Names of proxies are looked up on a small pool of
// threads, never on the loop. The request, the marker and the grading are
// those of QuickCheckProxy.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "net/proxy_address.h"
#include "proxies/proxy_check.h"

struct QuickCheckLimits {
    int connectMs = QuickCheckConnectMs;
    int budgetMs = QuickCheckBudgetMs;
};

struct QuickCheckLoopStats {
    // The most checks that were in flight together.
    size_t mostAtOnce = 0;
};

using QuickCheckDone = std::function<void(size_t index, const ProxyCheck& check)>;

// Checks each of `proxies` through `judge`, at most `atOnce` at a time (fewer
// when the process can open no more sockets), and tells `done` of each as it
// ends, on the calling thread; a check ended by `stop` is not told. Returns
// once every proxy is checked, or within a tenth of a second of `stop`;
// false when no loop could be set up (nothing was checked then).
bool RunQuickChecks(const std::vector<net::ProxyAddress>& proxies, const ProxyJudge& judge,
                    const OwnAddresses& own, int atOnce, const std::atomic<bool>& stop,
                    const QuickCheckDone& done, const QuickCheckLimits& limits = {},
                    QuickCheckLoopStats* stats = nullptr);
