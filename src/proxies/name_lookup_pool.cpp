#include "proxies/name_lookup_pool.h"

#include "net/socket.h"

namespace {

// getaddrinfo's own needs, with room; far below a default stack.
constexpr size_t LookupStackBytes = 256 * 1024;

}  // namespace

bool NameLookupPool::LookUp(const std::string& host, int timeoutMs, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ending_)
        return false;
    if (threads_.empty()) {
        for (size_t i = 0; i < wanted_; ++i) {
            base::SmallThread thread;
            if (thread.Start([this] { Work(); }, LookupStackBytes))
                threads_.push_back(std::move(thread));
        }
    }
    if (threads_.empty())
        return false;
    queue_.push_back(Lookup{host, timeoutMs, std::move(answer)});
    more_.notify_one();
    return true;
}

void NameLookupPool::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        queue_.clear();
    }
    more_.notify_all();
    for (base::SmallThread& thread : threads_)
        thread.Join();
}

void NameLookupPool::Work() {
    for (;;) {
        Lookup lookup;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            more_.wait(lock, [this] { return ending_ || !queue_.empty(); });
            if (ending_)
                return;
            lookup = std::move(queue_.front());
            queue_.pop_front();
        }
        std::string dotted;
        bool resolved = net::ResolveFirstAddress(lookup.host, lookup.timeoutMs, dotted, &ending_);
        if (!ending_)
            lookup.answer(resolved, dotted);
    }
}
