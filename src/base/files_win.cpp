// The platform half of the file routines on Windows.
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <vector>

#include "base/files.h"
#include "base/process_account_win.h"
#include "base/scoped_win.h"

namespace base {

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FlushFileToDisk(const std::string& path) {
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.Get()) != 0;
}

bool IsReadOnlyFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool FileExists(const std::string& path) {
    if (path.empty())
        return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsOwnedByTrustedAccount(const std::string& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                             IsWellKnownSid(owner, WinLocalSystemSid));
    std::vector<BYTE> user;
    if (owner && !trusted && ProcessAccount(GetCurrentProcess(), user))
        trusted = EqualSid(owner, AccountSid(user)) != 0;
    LocalFree(descriptor);
    return trusted;
}

std::string ProgramPath() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    return std::string(path, length);
}

std::string ProgramFolder() {
    std::string program = ProgramPath();
    size_t separator = program.find_last_of("\\/");
    return separator == std::string::npos ? ".\\" : program.substr(0, separator + 1);
}

bool EnsureFolder(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr))
        return true;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return std::string();
    return path;
}

}  // namespace

std::string CommonAppDataFolder() {
    return ShellFolder(CSIDL_COMMON_APPDATA);
}

std::string LocalAppDataFolder() {
    return ShellFolder(CSIDL_LOCAL_APPDATA);
}

}  // namespace base
