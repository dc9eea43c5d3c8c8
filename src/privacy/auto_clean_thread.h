// The background thread that cleans at once and then every N minutes.
//
// It is stopped cooperatively: StopThread asks the running thread to stop and
// returns without waiting, and the thread leaves at its next safe point. A
// thread started afterwards begins its pass as soon as the old one has left
// its pass, so there is never more than one pass at a time and never a thread
// killed while it holds a lock of the process.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "privacy/stop_token.h"
#include "settings/settings_backend.h"

// What the thread does; the program's cleaner on Windows, a fake in tests.
class AutoCleanWork {
public:
    virtual ~AutoCleanWork() = default;
    // Called on the thread before its first pass and after its last one
    // (COM is set up for the thread here).
    virtual void BeforeRun() {}
    virtual void AfterRun() {}
    virtual void RunPass(const StopToken& stop) = 0;
    // Minutes to wait after a pass; asked afresh after every pass.
    virtual uint32_t IntervalMinutes() = 0;
};

// The interval text as the C library's atoi reads it (leading blanks, an
// optional sign, the leading digits), except that a negative number counts as
// 0 and a huge one is held at MaxIntervalMinutes instead of overflowing.
constexpr uint32_t MaxIntervalMinutes = 1000000;
uint32_t ParseIntervalMinutes(const std::string& text);
// The stored `Sleep` setting, read through a fresh wrapper.
uint32_t ReadIntervalMinutes(SettingsBackend& backend = DefaultSettingsBackend());
std::chrono::milliseconds IntervalToWait(uint32_t minutes);

class AutoCleanThread {
public:
    explicit AutoCleanThread(AutoCleanWork& work);
    // Stops the thread and waits until every thread it started has ended.
    ~AutoCleanThread();
    AutoCleanThread(const AutoCleanThread&) = delete;
    AutoCleanThread& operator=(const AutoCleanThread&) = delete;

    // Starts a new thread whose first pass begins at once (after any pass of
    // an earlier thread that is still finishing). False when no thread could
    // be made; nothing is then held and a later call tries again.
    bool StartThread();
    // Asks the current thread to stop; does not wait for it.
    void StopThread();
    // True between StartThread and StopThread.
    bool IsStarted() const;

private:
    struct Run {
        std::thread thread;
        std::shared_ptr<StopToken> stop;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    void ThreadEntry(const StopToken& stop);
    void RunLoop(const StopToken& stop);
    // Joins the stopped threads that have already ended.
    void ReapFinished();

    AutoCleanWork& work_;
    // Held by a thread for the whole of each pass.
    std::mutex passMutex_;
    // Guards current_ and retired_ (StartThread, StopThread, the destructor).
    mutable std::mutex controlMutex_;
    std::unique_ptr<Run> current_;
    std::vector<std::unique_ptr<Run>> retired_;
};
