// Whether a failed check of a proxy says anything of the proxy. A check
// fails alike when the proxy is dead and when the user's own connection has
// dropped: a row may be removed for it only when the test page answered a
// direct request made after the failure. The direct request is shared by the
// checks that fail together, and made again no sooner than a few seconds
// after the one before, so a run of failures does not flood the test page.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "proxies/proxy_check.h"

// Whether a check failed in a way that counts against the proxy: no
// connection, or no answer that was the judge's. One that wants a password,
// or that was stopped, says nothing of whether the proxy works; one that
// alters content or answers unreliably works, but is never used: its row
// stays, marked with its word, rather than going as a dead proxy's does.
bool IsProxyFailure(const ProxyCheck& check);

class FailureWitness {
public:
    using Clock = std::chrono::steady_clock;
    // Asks the test page directly; true when it answered as the test page.
    using AskDirectly = std::function<bool()>;

    static constexpr int DefaultGapMs = 2000;

    explicit FailureWitness(AskDirectly ask, int gapMs = DefaultGapMs)
        : ask_(std::move(ask)), gapMs_(gapMs) {}

    // After a check that failed at `failedAt`: true when the test page
    // answered a direct request begun at or after it. May wait for the gap
    // to pass (checking `stop`); any thread may call it.
    bool Confirms(Clock::time_point failedAt, const std::atomic<bool>& stop);

private:
    AskDirectly ask_;
    int gapMs_;
    std::mutex mutex_;
    std::condition_variable answered_;
    bool asking_ = false;  // a thread asks, without the lock
    bool asked_ = false;
    Clock::time_point lastAsked_{};
    bool lastAnswered_ = false;
};
