#include "base/small_thread.h"

#include <windows.h>

namespace base {

struct SmallThread::Handle {
    HANDLE thread = nullptr;
    std::function<void()> work;
};

namespace {

DWORD WINAPI Run(LPVOID handle) {
    try {
        static_cast<SmallThread::Handle*>(handle)->work();
    } catch (...) {
    }
    return 0;
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
    // The size is the reservation, not the first commit: without the flag
    // CreateThread takes it as the commit and reserves the executable's
    // default (1 MiB) all the same.
    handle->thread = CreateThread(nullptr, stackBytes, Run, handle.get(),
                                  STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!handle->thread)
        return false;
    handle_ = std::move(handle);
    return true;
}

void SmallThread::Join() {
    if (!handle_)
        return;
    WaitForSingleObject(handle_->thread, INFINITE);
    CloseHandle(handle_->thread);
    handle_.reset();
}

}  // namespace base
