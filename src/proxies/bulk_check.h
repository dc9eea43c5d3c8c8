// "Find Working Proxies" and "Test All Proxies": thousands of proxies checked
// many at once.
//
// "Find Working Proxies" runs the bulk run's test (QuickCheckProxy's request,
// marker and grading) on one event loop (quick_check_loop.h): a proxy that
// accepts and never answers holds a socket and a timer, not a thread, so a
// thousand can wait at once. "Test All Proxies" runs the whole, blocking
// test, each on a thread of its own from a fixed set with a small stack, so
// that each thread waits on one socket only and Windows' limit of 64 handles
// in one wait never applies: 256 threads with 128 KiB stacks reserve 32 MiB
// of address space, with the default stack they would reserve 256 MiB. Every
// wait looks at the stop flag at least every 50 ms, so a stop ends either
// run within a second.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "net/proxy_address.h"
#include "proxies/proxy_check.h"

// The default and the most checks at once ("ChecksAtOnce"): sockets on the
// event loop, whose system (epoll, I/O completion ports) takes thousands. A
// public list of 10,000 is mostly dead proxies that each hold a place until
// their limit ends them; 2,048 places get through it in about 20 s (30 s
// with 1,024), in under 20 MiB.
constexpr int DefaultChecksAtOnce = 2048;
constexpr int MaxChecksAtOnce = 4096;
// The blocking tests of "Test All Proxies" take a thread each, and no more
// than this many at once.
constexpr int MaxCheckThreads = 256;
// Each checking thread's stack.
constexpr size_t CheckStackBytes = 128 * 1024;

// The ChecksAtOnce setting, kept within 1 and MaxChecksAtOnce.
int ConfiguredChecksAtOnce();

struct BulkCheckResult {
    size_t index = 0;  // in the run's list
    ProxyCheck check;
};

// What a run tells its caller, from its own threads: the judge once, then
// each proxy as its check ends (in any order); never after the run ended.
struct BulkCheckReceiver {
    std::function<void(bool judgeAnswered, const OwnAddresses& own)> judgeAsked;
    std::function<void(const BulkCheckResult& result)> checked;
};

// The test one proxy gets: the index of the proxy in the run, the judge
// that answered, the user's own addresses and the stop flag.
using BulkTest = std::function<ProxyCheck(size_t index, const ProxyJudge& judge,
                                          const OwnAddresses& own, const std::atomic<bool>& stop)>;

// Runs a whole bulk run on the calling thread: one direct request to the
// judges (the first that answers is used), then `test` of each of `count`
// proxies, at most `atOnce` (and MaxCheckThreads) at a time. Returns when all are checked or
// `stop` is set and the checks have ended; false when the judges did not
// answer (the proxies are checked all the same: without the user's own
// address each is Unknown).
bool RunBulkTests(size_t count, const BulkTest& test, const std::vector<ProxyJudge>& judges,
                  int atOnce, const std::atomic<bool>& stop, const BulkCheckReceiver& receiver);

// "Find Working Proxies": the same with the bulk run's test of each proxy,
// on the event loop (on threads, as RunBulkTests, should no loop be had).
bool RunBulkCheck(const std::vector<net::ProxyAddress>& proxies,
                  const std::vector<ProxyJudge>& judges, int atOnce, const std::atomic<bool>& stop,
                  const BulkCheckReceiver& receiver);

// Whether a bulk result goes into "Already Tested Proxies": only a proxy
// that passed and hides the user's address.
bool IsFound(const ProxyCheck& check);
