// "Find Working Proxies" and "Test All Proxies": thousands of proxies checked
// with the bulk run's test (QuickCheckProxy), many at once.
//
// Each check runs on a thread of its own from a fixed set, with a small
// stack: the test is the one blocking, step-by-step test of the tester, so
// the grading rule stays in one place, and each thread waits on one socket
// only, so Windows' limit of 64 handles in one wait never applies. 256
// threads with 128 KiB stacks reserve 32 MiB of address space; with the
// default stack they would reserve 256 MiB. Every wait inside a check looks
// at the stop flag at least every 50 ms, so a stop ends the run within a
// second.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "net/proxy_address.h"
#include "proxies/proxy_check.h"

// The default and the most checks at once ("ChecksAtOnce").
constexpr int DefaultChecksAtOnce = 256;
constexpr int MaxChecksAtOnce = 256;
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

// Which test each proxy gets: the bulk run's (QuickCheckProxy), or the
// whole test (CheckProxy: speed object and tunnel too), as "Test All
// Proxies" runs it.
enum class BulkTest { Quick, Whole };

// Runs the whole bulk check on the calling thread: one direct request to
// the judges (the first that answers is used), then every proxy, at most
// `atOnce` at a time. Returns when all are checked or `stop` is set and the
// checks have ended; false when the judges did not answer (the proxies are
// checked all the same: without the user's own address each is Unknown).
bool RunBulkCheck(const std::vector<net::ProxyAddress>& proxies,
                  const std::vector<ProxyJudge>& judges, int atOnce, const std::atomic<bool>& stop,
                  const BulkCheckReceiver& receiver, BulkTest test = BulkTest::Quick);

// Whether a bulk result goes into "Already Tested Proxies": only a proxy
// that passed and hides the user's address.
bool IsFound(const ProxyCheck& check);
