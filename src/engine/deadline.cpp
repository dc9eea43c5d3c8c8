#include "engine/deadline.h"

void Deadline::Set(Clock::time_point until, const std::shared_ptr<void>& owner) {
    until_ = until;
    if (waiting_ && timer_.expiry() <= until_)
        return;  // the wait under way comes first, and looks again then
    Wait(owner);
}

void Deadline::Cancel() {
    until_ = Clock::time_point::max();
    if (!waiting_)
        return;
    waiting_ = false;
    ++round_;
    timer_.cancel();
}

void Deadline::Wait(const std::shared_ptr<void>& owner) {
    waiting_ = true;
    timer_.expires_at(until_);
    unsigned round = ++round_;
    timer_.async_wait([this, owner, round](const asio::error_code& error) {
        if (error || round != round_)
            return;
        waiting_ = false;
        if (until_ == Clock::time_point::max())
            return;
        if (Clock::now() < until_)
            Wait(owner);
        else
            expired_();
    });
}
