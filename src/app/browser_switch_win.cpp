#include "app/browser_switch_win.h"

#include <memory>

#include "base/scoped_win.h"

namespace {

struct SwitchJob {
    const std::function<bool()>* work;
    bool answer = false;
};

DWORD WINAPI RunSwitchJob(void* parameter) {
    auto* job = static_cast<SwitchJob*>(parameter);
    // Nothing may unwind out of a thread's entry.
    try {
        job->answer = (*job->work)();
    } catch (...) {
        job->answer = false;
    }
    return 0;
}

// The messages answered during a switch: everything but timers (WM_TIMER)
// and the program's own posts (WM_APP to 0xBFFF), which wait in the queue.
struct MessageRange {
    UINT first;
    UINT last;
};
constexpr MessageRange AnsweredRanges[] = {
    {0, WM_TIMER - 1}, {WM_TIMER + 1, WM_APP - 1}, {0xC000, 0xFFFF}};

// A switch that may outlive its caller: the thread holds it too.
struct LeftSwitchJob {
    std::function<bool()> work;
    bool answer = false;
};

DWORD WINAPI RunLeftSwitchJob(void* parameter) {
    std::unique_ptr<std::shared_ptr<LeftSwitchJob>> job(
        static_cast<std::shared_ptr<LeftSwitchJob>*>(parameter));
    try {
        (*job)->answer = (*job)->work();
    } catch (...) {
        (*job)->answer = false;
    }
    return 0;
}

}  // namespace

bool BrowserSwitch::Run(HWND window, const std::function<bool()>& work) {
    if (busy_ || ending_)
        return work();
    // The job lives on this frame, which does not return before the worker
    // has ended.
    SwitchJob job{&work};
    base::ScopedHandle worker(CreateThread(nullptr, 0, RunSwitchJob, &job, 0, nullptr));
    if (!worker)
        return work();
    busy_ = true;
    worker_ = worker.Get();
    AnswerMessagesUntil(window, worker.Get());
    WaitForSingleObject(worker.Get(), INFINITE);
    worker_ = nullptr;
    busy_ = false;
    return job.answer;
}

void BrowserSwitch::AnswerMessagesUntil(HWND window, HANDLE worker) {
    HANDLE waited[] = {worker};
    for (;;) {
        // Checked first too: a stream of input must not keep the switch
        // from ending.
        if (WaitForSingleObject(worker, 0) == WAIT_OBJECT_0)
            return;
        MSG message;
        bool answered = false;
        for (const MessageRange& range : AnsweredRanges) {
            while (PeekMessageA(&message, nullptr, range.first, range.last, PM_REMOVE)) {
                answered = true;
                if (message.message == WM_QUIT) {
                    // Left for the loop that owns the program's end.
                    PostQuitMessage(static_cast<int>(message.wParam));
                    return;
                }
                if (!IsDialogMessageA(window, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
        }
        if (answered)
            continue;
        // Wakes for the worker's end and for messages that came after the
        // queue was last looked at, never again for those left waiting in
        // it (the timers and posts), so this does not spin.
        DWORD woke = MsgWaitForMultipleObjects(1, waited, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
            return;
    }
}

bool BrowserSwitch::EndAfterWorker(DWORD ms) {
    ending_ = true;
    return !worker_ || WaitForSingleObject(worker_, ms) == WAIT_OBJECT_0;
}

bool BrowserSwitch::RunWithin(const std::function<bool()>& work, DWORD ms) {
    ending_ = true;
    if (worker_ && WaitForSingleObject(worker_, 0) != WAIT_OBJECT_0)
        return false;
    auto job = std::make_shared<LeftSwitchJob>();
    job->work = work;
    auto* held = new std::shared_ptr<LeftSwitchJob>(job);
    base::ScopedHandle thread(CreateThread(nullptr, 0, RunLeftSwitchJob, held, 0, nullptr));
    if (!thread) {
        delete held;
        return false;
    }
    // The answer is read only once the thread has ended, so it is never
    // read while being written.
    return WaitForSingleObject(thread.Get(), ms) == WAIT_OBJECT_0 && job->answer;
}
