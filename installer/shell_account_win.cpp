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

#include "base/scoped_win.h"

namespace {

// The account a process runs under, as its token's user SID; false when it
// cannot be read.
bool AccountOf(HANDLE process, std::vector<BYTE>& user) {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &opened))
        return false;
    base::ScopedHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return false;
    user.assign(size, 0);
    return GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size) != 0;
}

PSID SidIn(std::vector<BYTE>& user) {
    return reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND shell = GetShellWindow();
    DWORD shellProcessId = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &shellProcessId) || shellProcessId == 0)
        return 1;
    base::ScopedHandle shellProcess(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcessId));
    std::vector<BYTE> shellUser;
    std::vector<BYTE> ownUser;
    if (!shellProcess || !AccountOf(shellProcess.Get(), shellUser) ||
        !AccountOf(GetCurrentProcess(), ownUser))
        return 1;
    return EqualSid(SidIn(shellUser), SidIn(ownUser)) ? 0 : 1;
}
