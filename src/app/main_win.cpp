// Veilgate.exe: one copy per machine, the auto-clean thread when the user
// asked for it, and the main window run modally for the whole life of the
// program.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window_res.h"
#include "app/main_window_win.h"
#include "app/self_watch.h"
#include "base/scoped_win.h"
#include "browsers/browsing_mark.h"
#include "browsers/connection_options_win.h"
#include "browsers/restore_lock_win.h"
#include "privacy/privacy_runtime_win.h"
#include "settings/user_settings_copy.h"

namespace {

constexpr char SingleInstanceMutex[] = "AFX_Harbor_H__5B5F33E8_2175_4C23_BB38_A334CADD6B88";

// Asks a copy that already runs to show its window; false when there is no
// such copy to ask.
bool BringFirstCopyForward() {
    HWND first = FindWindowA(nullptr, MainWindowTitle);
    if (!first)
        return false;
    DWORD process = 0;
    GetWindowThreadProcessId(first, &process);
    AllowSetForegroundWindow(process);
    // Its own handler takes the icon out of the tray and shows the window.
    PostMessageA(first, WM_COMMAND, ID_TRAY_CONFIGURATION, 0);
    return true;
}

// The event that tells this process's watcher to restore now (made before
// any watcher starts, held for the whole run).
HANDLE restoreNowEvent = nullptr;

// A crash does the least here: the faulting thread may hold the heap's lock
// or any other, so a restore run on it (registry, WinINet, file rewrites)
// could deadlock, and the process would then never end for the watcher that
// waits for it. Signalling an event takes no lock; the watcher, a sound
// process, restores while the crash goes on.
LONG WINAPI TellWatcherToRestoreNow(EXCEPTION_POINTERS*) {
    if (restoreNowEvent)
        SetEvent(restoreNowEvent);
    return EXCEPTION_CONTINUE_SEARCH;
}

// What a run that did not end in order left pointed at the engine goes back
// before anything else, unless this start takes it over. The lock waits for
// a watcher or a log-on restore still at work.
void RestoreLeftover() {
    RestoreLock lock;
    if (IsLeftoverToRestore() && DisableConnectionProxy(DefaultConnectionName))
        ClearBrowsingMark();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // A name without a "Global\\" prefix lives in this session's namespace,
    // and the window search sees this session's desktop only: a Veilgate of
    // another user logged on at the same time neither counts as running here
    // nor keeps this user's leftover from being put back.
    base::ScopedHandle mutex(CreateMutexA(nullptr, TRUE, SingleInstanceMutex));
    bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mutex)
        ReleaseMutex(mutex.Get());
    if (alreadyRunning && BringFirstCopyForward())
        return 0;

    // Before anything reads a setting: a user's first run of this version
    // starts from the settings that earlier versions kept for the machine.
    CopyMachineSettingsForNewUser(DefaultSettingsBackend());
    // Left open until the process ends: a crash may come at any time.
    restoreNowEvent =
        CreateEventA(nullptr, TRUE, FALSE, RestoreNowEventName(GetCurrentProcessId()).c_str());
    SetUnhandledExceptionFilter(TellWatcherToRestoreNow);
    if (!alreadyRunning)
        RestoreLeftover();

    PrivacyRuntime privacy;
    privacy.StartAutoCleanIfEnabled();
    LocalProxyServer server;
    MainWindow window(server, privacy);
    window.DoModal();
    return 0;
}
