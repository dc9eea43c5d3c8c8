// Bounded waiting for something another thread or process does.
#pragma once

#include <chrono>
#include <thread>

// Polls `condition` every few milliseconds; true as soon as it holds, false
// when `limit` passes first.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
