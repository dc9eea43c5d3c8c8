// The account a process runs under, for the checks that tell one user's
// files and processes from another's.
#pragma once

#include <windows.h>

#include <vector>

namespace base {

// The process's token user (a TOKEN_USER with its SID) in `tokenUser`; false
// when it cannot be read.
bool ProcessAccount(HANDLE process, std::vector<BYTE>& tokenUser);

// The SID inside what ProcessAccount read.
inline PSID AccountSid(std::vector<BYTE>& tokenUser) {
    return reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
}

}  // namespace base
