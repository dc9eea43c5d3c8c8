// One time limit on the engine's loop, over an Asio timer that is set again
// only when the limit comes sooner. Setting a timer costs a system call
// whenever it becomes the loop's earliest, and a connection moves its limit
// several times a request; a limit moved later is found by the wait under
// way when it comes due, which then waits again for the rest.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    // `expired` is told on the loop once a limit set has passed.
    Deadline(asio::io_context& io, std::function<void()> expired)
        : timer_(io), expired_(std::move(expired)) {}

    // Tells `expired` at `until` (unless set again or cleared first),
    // keeping `owner` while the wait is under way.
    void Set(Clock::time_point until, const std::shared_ptr<void>& owner);
    void SetAfter(std::chrono::milliseconds limit, const std::shared_ptr<void>& owner) {
        Set(Clock::now() + limit, owner);
    }
    // No limit for now; the wait under way (and the owner it keeps) stays
    // until it comes due, or until Cancel.
    void Clear() { until_ = Clock::time_point::max(); }
    // Ends the wait under way, so that it lets go of its owner now.
    void Cancel();

private:
    void Wait(const std::shared_ptr<void>& owner);

    asio::steady_timer timer_;
    std::function<void()> expired_;
    Clock::time_point until_ = Clock::time_point::max();
    bool waiting_ = false;
    // A wait that was already due when the timer was set again is told
    // apart by its round.
    unsigned round_ = 0;
};
