#include "proxies/failure_witness.h"

#include <thread>

namespace {

constexpr auto StopCheck = std::chrono::milliseconds(50);

}  // namespace

bool IsProxyFailure(const ProxyCheck& check) {
    return check.outcome != CheckOutcome::Passed &&
           check.outcome != CheckOutcome::NeedsCredentials &&
           check.outcome != CheckOutcome::Stopped &&
           check.outcome != CheckOutcome::JudgeUnreachable;
}

// The lock is held across the request: the checks that fail meanwhile wait
// for its answer, which speaks for every failure before it began.
bool FailureWitness::Confirms(Clock::time_point failedAt, const std::atomic<bool>& stop) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (asked_ && lastAsked_ >= failedAt)
        return lastAnswered_;
    if (asked_) {
        auto due = lastAsked_ + std::chrono::milliseconds(gapMs_);
        while (!stop && Clock::now() < due)
            std::this_thread::sleep_for(StopCheck);
    }
    if (stop)
        return false;
    lastAsked_ = Clock::now();
    asked_ = true;
    lastAnswered_ = ask_();
    return lastAnswered_;
}
