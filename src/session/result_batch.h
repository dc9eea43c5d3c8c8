// Results that many workers hand to one reader, the window's thread, in
// batches. A message per result could fill the thread's message queue (ten
// thousand by default) when thousands of checks fail at once, and a post
// that fails loses its result, or the end of a run; here a result is never
// lost: the workers push, only the push that finds no wake-up pending asks
// for one, and the reader takes what is there, a bounded batch at a time.
#pragma once

#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

template <typename T>
class ResultBatch {
public:
    // True when the caller is to wake the reader (post it one message):
    // no wake-up was pending.
    bool Push(T item) {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(std::move(item));
        if (wakePending_)
            return false;
        wakePending_ = true;
        return true;
    }
    // The wake-up asked for could not be delivered: the next push asks
    // again, and a reader that also looks on a timer finds what waits.
    void WakeLost() {
        std::lock_guard<std::mutex> lock(mutex_);
        wakePending_ = false;
    }
    // Up to `most` of the waiting items, oldest first. `more` tells whether
    // some are left; the wake-up then stays pending, and the reader is to
    // wake itself again (or call WakeLost when it cannot).
    std::vector<T> Take(size_t most, bool& more) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<T> taken;
        if (items_.size() <= most) {
            taken.swap(items_);
        } else {
            taken.assign(std::make_move_iterator(items_.begin()),
                         std::make_move_iterator(items_.begin() + most));
            items_.erase(items_.begin(), items_.begin() + most);
        }
        more = !items_.empty();
        wakePending_ = more;
        return taken;
    }

private:
    std::mutex mutex_;
    std::vector<T> items_;
    bool wakePending_ = false;
};
