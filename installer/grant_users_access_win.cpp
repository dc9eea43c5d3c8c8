// GrantUsersAccess.exe, run by the elevated setup program: lets the built-in
// Users group keep Veilgate's settings and data files, which the programs,
// running as the invoking user, write.
//
//   GrantUsersAccess.exe "<data folder>"
//
// Creates HKEY_LOCAL_MACHINE\Software\Veilgate (64-bit view) and grants Users
// reading, changing values and creating subkeys there, inherited by every
// subkey; creates the data folder and grants Users changing the files in it.
// Nothing wider: Users may not delete the key or change its access list.
// Exit code 0 when both were granted.
#include <windows.h>
#include <aclapi.h>

#include <string>

#include "base/scoped_win.h"
#include "settings/settings_names.h"

namespace {

constexpr DWORD UsersKeyRights = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
// Windows' "Modify" on files: everything but changing access or ownership.
constexpr DWORD UsersFolderRights =
    FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

struct UsersSid {
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
    PSID Get() { return bytes; }
};

bool MakeUsersSid(UsersSid& sid) {
    DWORD size = sizeof(sid.bytes);
    return CreateWellKnownSid(WinBuiltinUsersSid, nullptr, sid.Get(), &size) != 0;
}

EXPLICIT_ACCESS_A GrantFor(UsersSid& sid, DWORD rights, DWORD inheritance) {
    EXPLICIT_ACCESS_A access = {};
    access.grfAccessPermissions = rights;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = inheritance;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPSTR>(sid.Get());
    return access;
}

// The old access list with `access` merged in; null when that fails.
base::ScopedLocalMemory MergedAcl(PACL oldAcl, EXPLICIT_ACCESS_A& access) {
    PACL merged = nullptr;
    if (SetEntriesInAclA(1, &access, oldAcl, &merged) != ERROR_SUCCESS)
        return base::ScopedLocalMemory();
    return base::ScopedLocalMemory(merged);
}

bool GrantOnProductKey(UsersSid& users) {
    base::ScopedRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, setting::ProductKey, 0, nullptr, 0,
                        READ_CONTROL | WRITE_DAC | KEY_WOW64_64KEY, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    PACL oldAcl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &oldAcl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    base::ScopedLocalMemory ownedDescriptor(descriptor);
    EXPLICIT_ACCESS_A access = GrantFor(users, UsersKeyRights, SUB_CONTAINERS_ONLY_INHERIT);
    base::ScopedLocalMemory acl = MergedAcl(oldAcl, access);
    // SetSecurityInfo also hands the inherited entry to subkeys that exist
    // already, such as "Setari" left by an earlier version.
    return acl && SetSecurityInfo(key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, static_cast<PACL>(acl.Get()), nullptr) == ERROR_SUCCESS;
}

bool GrantOnDataFolder(UsersSid& users, const std::string& folder) {
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    PACL oldAcl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &oldAcl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    base::ScopedLocalMemory ownedDescriptor(descriptor);
    EXPLICIT_ACCESS_A access =
        GrantFor(users, UsersFolderRights, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    base::ScopedLocalMemory acl = MergedAcl(oldAcl, access);
    std::string path = folder;
    return acl &&
           SetNamedSecurityInfoA(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, static_cast<PACL>(acl.Get()), nullptr) == ERROR_SUCCESS;
}

// The one argument, without the quotes around it.
std::string FolderArgument(const char* commandLine) {
    std::string folder = commandLine ? commandLine : "";
    size_t first = folder.find_first_not_of(" \"");
    size_t last = folder.find_last_not_of(" \"\\");
    if (first == std::string::npos || last == std::string::npos || last < first)
        return std::string();
    return folder.substr(first, last - first + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    std::string folder = FolderArgument(commandLine);
    UsersSid users;
    if (folder.empty() || !MakeUsersSid(users))
        return 2;
    bool keyGranted = GrantOnProductKey(users);
    bool folderGranted = GrantOnDataFolder(users, folder);
    return keyGranted && folderGranted ? 0 : 1;
}
