// A stop request that a worker checks at its safe points and can wait on.
// The auto-clean thread is never killed: it is asked to stop and leaves at the
// next point where it holds nothing (between files, between tasks, or while
// it waits for the next pass).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class StopToken {
public:
    StopToken() = default;
    StopToken(const StopToken&) = delete;
    StopToken& operator=(const StopToken&) = delete;

    void RequestStop();
    bool StopRequested() const { return stopped_.load(); }
    // Waits until a stop is requested or `duration` passes; true when stopped.
    bool WaitForStop(std::chrono::milliseconds duration) const;

    // A token that is never stopped, for callers that run a pass to its end.
    static const StopToken& Never();

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::atomic<bool> stopped_{false};
};
