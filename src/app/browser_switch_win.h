// Pointing the browsers at the engine and back takes WinINet calls, the
// search of every Firefox profile and file rewrites: a slow disk or a busy
// WinINet makes that seconds. It runs on a worker thread of its own while
// the window's thread goes on answering its messages, so the window is
// never "Not Responding" and paints "Switching on...".
//
// The caller's code stays as simple as a direct call: Run returns the
// work's answer once the worker has ended. Meanwhile only the window's own
// messages are answered (painting, input, the tray icon, the system's);
// workers' posts and timers wait in the queue until the switch is done,
// since their handlers may switch again. The window ignores its commands
// while Busy.
#pragma once

#include <windows.h>

#include <functional>

class BrowserSwitch {
public:
    BrowserSwitch() = default;
    BrowserSwitch(const BrowserSwitch&) = delete;
    BrowserSwitch& operator=(const BrowserSwitch&) = delete;

    // Runs `work` on the worker and answers its answer, `window`'s messages
    // answered meanwhile. A switch asked for while one runs, or once the
    // program ends (EndAfterWorker), runs here on the caller's thread; so
    // does one for which no thread could be started.
    bool Run(HWND window, const std::function<bool()>& work);
    bool Busy() const { return busy_; }
    // For the end of the session: waits up to `ms` for a switch that runs,
    // and runs every later one on the caller's thread. True when none runs
    // now.
    bool EndAfterWorker(DWORD ms);
    // The last switch of the session, which Windows gives a few seconds:
    // runs `work` on a thread of its own and waits up to `ms` for it. False
    // when a switch still runs (nothing is started then: two switches at
    // once would undo each other) or when `work` did not end in time; it is
    // then left to end on its own, and what it changed is not counted as
    // done.
    bool RunWithin(const std::function<bool()>& work, DWORD ms);

private:
    // Answers `window`'s messages until `worker` ends.
    void AnswerMessagesUntil(HWND window, HANDLE worker);

    bool busy_ = false;
    bool ending_ = false;
    HANDLE worker_ = nullptr;
};
