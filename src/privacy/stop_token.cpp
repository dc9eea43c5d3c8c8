#include "privacy/stop_token.h"

void StopToken::RequestStop() {
    {
        // Set under the lock so that a waiter cannot miss the wake-up between
        // its check and its wait.
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_.store(true);
    }
    changed_.notify_all();
}

bool StopToken::WaitForStop(std::chrono::milliseconds duration) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, duration, [this] { return stopped_.load(); });
}

const StopToken& StopToken::Never() {
    static const StopToken never;
    return never;
}
