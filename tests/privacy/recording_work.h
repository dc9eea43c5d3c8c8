// A stand-in for the cleaning work that records what the auto-clean thread
// does with it: passes begun and ended, how many ran at once, and how often
// the interval was asked for.
#pragma once

#include <atomic>
#include <chrono>

#include "privacy/auto_clean_thread.h"
#include "wait_for.h"

class RecordingWork : public AutoCleanWork {
public:
    void BeforeRun() override { ++threadsBegun; }
    void AfterRun() override { ++threadsEnded; }

    void RunPass(const StopToken& stop) override {
        int now = ++inPass;
        int seen = maxInPass.load();
        while (now > seen && !maxInPass.compare_exchange_weak(seen, now)) {
        }
        ++passesStarted;
        if (passRunsUntilStopped) {
            // A long pass: it looks at the token between its "files", and
            // after a stop it still finishes the file it is on.
            WaitFor([&] { return stop.StopRequested(); }, std::chrono::seconds(20));
            WaitFor([&] { return currentFileMayEnd.load(); }, std::chrono::seconds(20));
        }
        --inPass;
        ++passesFinished;
    }

    uint32_t IntervalMinutes() override {
        int read = ++intervalReads;
        return read <= zeroIntervalReads ? 0 : interval.load();
    }

    std::atomic<int> threadsBegun{0};
    std::atomic<int> threadsEnded{0};
    std::atomic<int> passesStarted{0};
    std::atomic<int> passesFinished{0};
    std::atomic<int> inPass{0};
    std::atomic<int> maxInPass{0};
    std::atomic<int> intervalReads{0};
    std::atomic<uint32_t> interval{99};
    int zeroIntervalReads = 0;
    bool passRunsUntilStopped = false;
    std::atomic<bool> currentFileMayEnd{true};
};
