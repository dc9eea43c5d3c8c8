// A few threads that look proxies' names up for the bulk run's event loop,
// which must never wait on a resolver itself. The threads start with the
// first name and end when the pool is stopped, each lookup given up within
// a twentieth of a second of that.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/small_thread.h"

class NameLookupPool {
public:
    // The dotted address, or false when the name did not resolve in time.
    using Answer = std::function<void(bool resolved, const std::string& dotted)>;

    explicit NameLookupPool(size_t threads) : wanted_(threads) {}
    ~NameLookupPool() { Stop(); }
    NameLookupPool(const NameLookupPool&) = delete;
    NameLookupPool& operator=(const NameLookupPool&) = delete;

    // Looks `host` up within timeoutMs and tells `answer` on a pool thread;
    // false when no thread could be had (nothing is told then).
    bool LookUp(const std::string& host, int timeoutMs, Answer answer);
    // Ends the threads; lookups not yet begun are never told.
    void Stop();

private:
    struct Lookup {
        std::string host;
        int timeoutMs;
        Answer answer;
    };
    void Work();

    size_t wanted_;
    std::mutex mutex_;
    std::condition_variable more_;
    std::deque<Lookup> queue_;
    std::atomic<bool> ending_{false};
    std::vector<base::SmallThread> threads_;
};
