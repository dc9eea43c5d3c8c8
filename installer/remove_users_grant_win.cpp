// RemoveUsersGrant.exe, run by the elevated setup program: takes back the
// rights that earlier versions gave the built-in Users group on Veilgate's
// machine-wide settings key and data folder. With them, any user could
// steer the next upgrade and every other user's traffic.
//
//   RemoveUsersGrant.exe "<data folder>"
//
// For HKEY_LOCAL_MACHINE\Software\Veilgate (64-bit view) and the data folder,
// where they exist: every entry of the object's own that names Users goes,
// the other entries of its own stay, and the object inherits from its parent
// again, so it gets back the access list it would have had without the grant.
// Removing the grant does not take back what users made under it: a subkey
// or file a user created is that user's, who may change its access list at
// will. So the whole tree is given to Administrators, and every object below
// the top gets the inherited access list alone.
// Exit code 0 when nothing is left to take back.
#include <windows.h>
#include <aclapi.h>

#include <string>
#include <vector>

#include "base/scoped_win.h"
#include "settings/settings_names.h"

namespace {

struct UsersSid {
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
    PSID Get() { return bytes; }
};

bool MakeUsersSid(UsersSid& sid) {
    DWORD size = sizeof(sid.bytes);
    return CreateWellKnownSid(WinBuiltinUsersSid, nullptr, sid.Get(), &size) != 0;
}

bool MakeAdministratorsSid(UsersSid& sid) {
    DWORD size = sizeof(sid.bytes);
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid.Get(), &size) != 0;
}

// An administrator holds these rights without their being on: taking
// ownership of what a user made, whose access list may not let anyone else
// in, needs the first; naming Administrators as the owner of everything
// below, the second.
void EnablePrivilege(const char* name) {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &opened))
        return;
    base::ScopedHandle token(opened);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

// Gives the tree at `name` (in the form the security functions take) to
// Administrators: first the owner of every object, which the privilege
// allows whatever their access lists say; then, as the new owner, `rootDacl`
// on the top, unprotected, and on every object below only what it inherits.
bool GiveTreeToAdministrators(const std::wstring& name, SE_OBJECT_TYPE type, PSID administrators,
                              std::vector<BYTE>& rootDacl) {
    std::wstring path = name;
    DWORD owner = TreeResetNamedSecurityInfoW(path.data(), type, OWNER_SECURITY_INFORMATION,
                                              administrators, nullptr, nullptr, nullptr, FALSE,
                                              nullptr, ProgressInvokeNever, nullptr);
    DWORD access = TreeResetNamedSecurityInfoW(
        path.data(), type, DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, reinterpret_cast<PACL>(rootDacl.data()), nullptr, FALSE, nullptr,
        ProgressInvokeNever, nullptr);
    return owner == ERROR_SUCCESS && access == ERROR_SUCCESS;
}

std::wstring Wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

// The SID an allow or deny entry names; null for other kinds of entry.
PSID SidOf(ACE_HEADER* header) {
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE)
        return &reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE)
        return &reinterpret_cast<ACCESS_DENIED_ACE*>(header)->SidStart;
    return nullptr;
}

// The object's own (not inherited) entries but those naming Users. Inherited
// entries are left out: the system puts them back from the parent when the
// list is set as one that inherits.
bool OwnEntriesWithoutUsers(PACL acl, PSID users, std::vector<BYTE>& result) {
    DWORD size = acl ? acl->AclSize : sizeof(ACL);
    result.assign(size < sizeof(ACL) ? sizeof(ACL) : size, 0);
    PACL target = reinterpret_cast<PACL>(result.data());
    if (!InitializeAcl(target, static_cast<DWORD>(result.size()), ACL_REVISION))
        return false;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace))
            return false;
        auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceFlags & INHERITED_ACE)
            continue;
        PSID sid = SidOf(header);
        if (sid && EqualSid(sid, users))
            continue;
        if (!AddAce(target, acl->AclRevision, MAXDWORD, ace, header->AceSize))
            return false;
    }
    return true;
}

bool RemoveFromKey(PSID users, PSID administrators) {
    base::ScopedRegKey key;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, setting::ProductKey, 0,
                                READ_CONTROL | WRITE_DAC | KEY_WOW64_64KEY, key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &acl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    base::ScopedLocalMemory ownedDescriptor(descriptor);
    std::vector<BYTE> own;
    bool removed =
        OwnEntriesWithoutUsers(acl, users, own) &&
        SetSecurityInfo(key.Get(), SE_REGISTRY_KEY,
                        DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, reinterpret_cast<PACL>(own.data()), nullptr) == ERROR_SUCCESS;
    key.Reset();
    return removed && GiveTreeToAdministrators(L"MACHINE\\SOFTWARE\\Veilgate", SE_REGISTRY_KEY,
                                               administrators, own);
}

bool RemoveFromFolder(PSID users, PSID administrators, const std::string& folder) {
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    base::ScopedLocalMemory ownedDescriptor(descriptor);
    std::vector<BYTE> own;
    std::string path = folder;
    bool removed = OwnEntriesWithoutUsers(acl, users, own) &&
                   SetNamedSecurityInfoA(
                       path.data(), SE_FILE_OBJECT,
                       DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                       nullptr, reinterpret_cast<PACL>(own.data()), nullptr) == ERROR_SUCCESS;
    return removed && GiveTreeToAdministrators(Wide(folder), SE_FILE_OBJECT, administrators, own);
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
    UsersSid administrators;
    if (folder.empty() || !MakeUsersSid(users) || !MakeAdministratorsSid(administrators))
        return 2;
    EnablePrivilege(SE_TAKE_OWNERSHIP_NAME);
    EnablePrivilege(SE_RESTORE_NAME);
    bool keyDone = RemoveFromKey(users.Get(), administrators.Get());
    bool folderDone = RemoveFromFolder(users.Get(), administrators.Get(), folder);
    return keyDone && folderDone ? 0 : 1;
}
