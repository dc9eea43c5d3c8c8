#include "proxies/failure_witness.h"

#include <thread>

namespace {

constexpr auto StopCheck = std::chrono::milliseconds(50);

}  // namespace

bool IsProxyFailure(const ProxyCheck& check) {
    return check.outcome != CheckOutcome::Passed &&
           check.outcome != CheckOutcome::NeedsCredentials &&
           check.outcome != CheckOutcome::Stopped &&
           check.outcome != CheckOutcome::JudgeUnreachable && !IsNeverUsed(check.outcome);
}

// One thread at a time asks, without the lock: a check whose failure came
// before the last request began must learn its answer at once, not wait
// behind a newer failure that waits for the gap. Held across the gap, the
// lock let a few threads through every two seconds while hundreds waited.
bool FailureWitness::Confirms(Clock::time_point failedAt, const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (asked_ && lastAsked_ >= failedAt)
            return lastAnswered_;
        if (stop)
            return false;
        if (asking_) {
            answered_.wait_for(lock, StopCheck);
            continue;
        }
        asking_ = true;
        Clock::time_point due = asked_ ? lastAsked_ + std::chrono::milliseconds(gapMs_) : failedAt;
        lock.unlock();
        while (!stop && Clock::now() < due)
            std::this_thread::sleep_for(StopCheck);
        Clock::time_point began = Clock::now();
        bool answered = !stop && ask_();
        lock.lock();
        asking_ = false;
        if (!stop) {
            asked_ = true;
            lastAsked_ = began;
            lastAnswered_ = answered;
        }
        answered_.notify_all();
    }
}
