#include "proxies/bulk_check.h"

#include <algorithm>

#include "base/small_thread.h"
#include "proxies/quick_check_loop.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

int ConfiguredChecksAtOnce() {
    uint32_t atOnce = RegDwordValue(setting::ChecksAtOnce, DefaultChecksAtOnce, true).Get();
    return static_cast<int>(std::min<uint32_t>(std::max<uint32_t>(atOnce, 1), MaxChecksAtOnce));
}

bool IsFound(const ProxyCheck& check) {
    return check.outcome == CheckOutcome::Passed && HidesUserAddress(check.level);
}

namespace {

void TestOnThreads(size_t count, const BulkTest& test, const ProxyJudge& judge,
                   const OwnAddresses& own, int atOnce, const std::atomic<bool>& stop,
                   const BulkCheckReceiver& receiver) {
    std::atomic<size_t> next{0};
    auto checker = [&] {
        for (size_t i = next++; i < count && !stop; i = next++) {
            BulkCheckResult result;
            result.index = i;
            result.check = test(i, judge, own, stop);
            if (!stop && receiver.checked)
                receiver.checked(result);
        }
    };
    size_t wanted = std::min(count, static_cast<size_t>(std::clamp(atOnce, 1, MaxCheckThreads)));
    std::vector<base::SmallThread> threads(wanted);
    size_t started = 0;
    for (base::SmallThread& thread : threads)
        started += thread.Start(checker, CheckStackBytes) ? 1 : 0;
    // Without a thread of its own the run still gets done, one at a time.
    if (started == 0)
        checker();
    for (base::SmallThread& thread : threads)
        thread.Join();
}

bool AskJudges(const std::vector<ProxyJudge>& judges, const std::atomic<bool>& stop,
               const BulkCheckReceiver& receiver, OwnAddresses& own, ProxyJudge& judge) {
    bool answered = AskFirstJudgeDirectly(judges, stop, own, judge);
    if (receiver.judgeAsked)
        receiver.judgeAsked(answered, own);
    return answered;
}

}  // namespace

bool RunBulkTests(size_t count, const BulkTest& test, const std::vector<ProxyJudge>& judges,
                  int atOnce, const std::atomic<bool>& stop, const BulkCheckReceiver& receiver) {
    OwnAddresses own;
    ProxyJudge judge;
    bool answered = AskJudges(judges, stop, receiver, own, judge);
    TestOnThreads(count, test, judge, own, atOnce, stop, receiver);
    return answered;
}

bool RunBulkCheck(const std::vector<net::ProxyAddress>& proxies,
                  const std::vector<ProxyJudge>& judges, int atOnce, const std::atomic<bool>& stop,
                  const BulkCheckReceiver& receiver) {
    OwnAddresses own;
    ProxyJudge judge;
    bool answered = AskJudges(judges, stop, receiver, own, judge);
    auto done = [&receiver](size_t index, const ProxyCheck& check) {
        if (receiver.checked)
            receiver.checked(BulkCheckResult{index, check});
    };
    if (stop || RunQuickChecks(proxies, judge, own, atOnce, stop, done))
        return answered;
    auto test = [&proxies](size_t index, const ProxyJudge& judge, const OwnAddresses& own,
                           const std::atomic<bool>& stop) {
        return QuickCheckProxy(judge, own, proxies[index], stop);
    };
    TestOnThreads(proxies.size(), test, judge, own, atOnce, stop, receiver);
    return answered;
}
