#include "base/process_account_win.h"

#include "base/scoped_win.h"

namespace base {

bool ProcessAccount(HANDLE process, std::vector<BYTE>& tokenUser) {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &opened))
        return false;
    ScopedHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return false;
    tokenUser.assign(size, 0);
    return GetTokenInformation(token.Get(), TokenUser, tokenUser.data(), size, &size) != 0;
}

}  // namespace base
