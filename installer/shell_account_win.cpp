// ShellAccountCheck.exe, run by the elevated uninstaller: whether it runs
// under the account of the user whose desktop it is shown on. A standard
// user who asks an administrator to approve the uninstall runs it with that
// administrator's account: its HKEY_CURRENT_USER, folders and browsers are
// the administrator's own, not those of the user who used Veilgate, and the
// uninstaller must leave them alone.
//
// Exit code 0: the same account as the desktop's shell; 1: another account,
// or no shell to compare with (a deployment run without anyone logged on),
// where nothing of any user's own is touched either.
#include <windows.h>

#include <vector>

#include "base/process_account_win.h"
#include "base/scoped_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND shell = GetShellWindow();
    DWORD shellProcessId = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &shellProcessId) || shellProcessId == 0)
        return 1;
    base::ScopedHandle shellProcess(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcessId));
    std::vector<BYTE> shellUser;
    std::vector<BYTE> ownUser;
    if (!shellProcess || !base::ProcessAccount(shellProcess.Get(), shellUser) ||
        !base::ProcessAccount(GetCurrentProcess(), ownUser))
        return 1;
    return EqualSid(base::AccountSid(shellUser), base::AccountSid(ownUser)) ? 0 : 1;
}
