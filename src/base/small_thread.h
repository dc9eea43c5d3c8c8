// A thread with a small stack of its own size, for work that runs many
// threads at once: the default reservation (1 MiB on Windows, 8 MiB on
// Linux) times hundreds of threads would take address space and, on 32-bit
// systems, run out of it. The work must not need more stack than it gets.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace base {

class SmallThread {
public:
    SmallThread();
    ~SmallThread();  // joins a thread still running
    SmallThread(const SmallThread&) = delete;
    SmallThread& operator=(const SmallThread&) = delete;
    SmallThread(SmallThread&& other) noexcept;
    SmallThread& operator=(SmallThread&&) = delete;

    // False when no thread could be made; nothing runs then.
    bool Start(std::function<void()> work, size_t stackBytes);
    void Join();
    bool Started() const { return handle_ != nullptr; }

    // The thread and its work, as the system's thread routine gets them.
    struct Handle;

private:
    std::unique_ptr<Handle> handle_;
};

}  // namespace base
