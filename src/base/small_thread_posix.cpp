#include "base/small_thread.h"

#include <pthread.h>

#include <climits>

namespace base {

struct SmallThread::Handle {
    pthread_t thread;
    std::function<void()> work;
};

namespace {

void* Run(void* handle) {
    try {
        static_cast<SmallThread::Handle*>(handle)->work();
    } catch (...) {
    }
    return nullptr;
}

}  // namespace

SmallThread::SmallThread() = default;

SmallThread::~SmallThread() {
    Join();
}

SmallThread::SmallThread(SmallThread&& other) noexcept : handle_(std::move(other.handle_)) {}

bool SmallThread::Start(std::function<void()> work, size_t stackBytes) {
    if (handle_)
        return false;
    auto handle = std::make_unique<Handle>();
    handle->work = std::move(work);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    // Sanitizers need room of their own on every stack.
    size_t minimum = PTHREAD_STACK_MIN > 65536 ? PTHREAD_STACK_MIN : 65536;
    pthread_attr_setstacksize(&attributes, stackBytes < minimum ? minimum : stackBytes);
    bool started = pthread_create(&handle->thread, &attributes, Run, handle.get()) == 0;
    pthread_attr_destroy(&attributes);
    if (!started)
        return false;
    handle_ = std::move(handle);
    return true;
}

void SmallThread::Join() {
    if (!handle_)
        return;
    pthread_join(handle_->thread, nullptr);
    handle_.reset();
}

}  // namespace base
