#include "privacy/key_takeover_win.h"

#include <shlwapi.h>

#include <cstdio>

#include "base/scoped_win.h"
#include "privacy/protected_storage_keys.h"

namespace {

// One ACE as AddAce takes it: header, mask, then the SID in place of SidStart.
constexpr DWORD AceFixedSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK);
constexpr BYTE InheritFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

struct FreeSidDeleter {
    void operator()(void* sid) const {
        if (sid)
            FreeSid(sid);
    }
};
using AllocatedSid = std::unique_ptr<void, FreeSidDeleter>;

bool AddFullControlAce(PACL dacl, PSID sid) {
    DWORD sidLength = GetLengthSid(sid);
    DWORD aceSize = AceFixedSize + sidLength;
    HeapBlock ace(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, aceSize));
    if (!ace)
        return false;
    auto* header = static_cast<ACE_HEADER*>(ace.get());
    header->AceType = ACCESS_ALLOWED_ACE_TYPE;
    header->AceFlags = InheritFlags;
    header->AceSize = static_cast<WORD>(aceSize);
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace.get());
    allowed->Mask = KEY_ALL_ACCESS;
    if (!CopySid(sidLength, &allowed->SidStart, sid))
        return false;
    return AddAce(dacl, ACL_REVISION, MAXDWORD, ace.get(), aceSize) != FALSE;
}

}  // namespace

HeapBlock AllocateHeapBlock(size_t size) {
    return HeapBlock(HeapAlloc(GetProcessHeap(), 0, size));
}

bool GetCurrentUserSid(HeapBlock& sid) {
    base::ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
        return false;
    DWORD needed = 0;
    if (GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    HeapBlock info = AllocateHeapBlock(needed);
    if (!info || !GetTokenInformation(token.Get(), TokenUser, info.get(), needed, &needed))
        return false;
    PSID userSid = static_cast<TOKEN_USER*>(info.get())->User.Sid;
    DWORD length = GetLengthSid(userSid);
    HeapBlock copy = AllocateHeapBlock(length);
    if (!copy || !CopySid(length, copy.get(), userSid))
        return false;
    sid = std::move(copy);
    return true;
}

void SidToText(PSID sid, std::string& text) {
    char number[16];
    PSID_IDENTIFIER_AUTHORITY authority = GetSidIdentifierAuthority(sid);
    std::snprintf(number, sizeof(number), "S-1-%lu",
                  static_cast<unsigned long>(authority->Value[5]));
    text = number;
    BYTE count = *GetSidSubAuthorityCount(sid);
    for (BYTE i = 0; i < count; ++i) {
        std::snprintf(number, sizeof(number), "-%lu",
                      static_cast<unsigned long>(*GetSidSubAuthority(sid, i)));
        text += number;
    }
}

bool SaveKeyDacl(HKEY root, const std::string& keyPath, HeapBlock& descriptor) {
    base::ScopedRegKey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, READ_CONTROL, key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    if (status == ERROR_SUCCESS)
        return true;
    if (status != ERROR_INSUFFICIENT_BUFFER)
        return false;
    HeapBlock block = AllocateHeapBlock(size);
    if (!block)
        return false;
    if (RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, block.get(), &size) !=
        ERROR_SUCCESS)
        return false;
    descriptor = std::move(block);
    return true;
}

bool BuildOwnerDacl(PSID userSid, SECURITY_DESCRIPTOR& descriptor, HeapBlock& dacl) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID rawSystemSid = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                  &rawSystemSid))
        return false;
    AllocatedSid systemSid(rawSystemSid);

    DWORD size =
        GetLengthSid(systemSid.get()) + GetLengthSid(userSid) + sizeof(ACL) + 2 * AceFixedSize;
    dacl = AllocateHeapBlock(size);
    if (!dacl)
        return false;
    auto* list = static_cast<PACL>(dacl.get());
    if (!InitializeAcl(list, size, ACL_REVISION))
        return false;
    if (!AddFullControlAce(list, userSid) || !AddFullControlAce(list, systemSid.get()))
        return false;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION))
        return false;
    return SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) != FALSE;
}

bool ApplyKeyDacl(HKEY root, const std::string& keyPath, PSECURITY_DESCRIPTOR descriptor,
                  bool recursive) {
    if (keyPath.empty())
        return false;
    base::ScopedRegKey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, WRITE_DAC, key.Receive()) != ERROR_SUCCESS)
        return false;
    if (RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor) != ERROR_SUCCESS)
        return false;
    if (!recursive)
        return true;

    // Listing needs read access, which the list just set may only now give.
    key.Reset();
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD subkeyCount = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    for (DWORD index = 0; index < subkeyCount; ++index) {
        char name[MAX_PATH + 1];
        LONG status = RegEnumKeyA(key.Get(), index, name, sizeof(name));
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            ApplyKeyDacl(key.Get(), name, descriptor, true);
    }
    return true;
}

void ClearProtectedStorageForUser() {
    HeapBlock sid;
    if (!GetCurrentUserSid(sid))
        return;
    std::string sidText;
    SidToText(sid.get(), sidText);
    const std::string sidKey = protected_storage::ProviderKey + sidText;
    const std::string autocompleteKey = sidKey + protected_storage::AutocompleteSubkey;

    // Current systems have no protected storage at all: without the user's
    // key there is nothing to take over, and no access list is written.
    HeapBlock saved;
    if (!SaveKeyDacl(HKEY_CURRENT_USER, sidKey, saved))
        return;
    const bool haveSaved = static_cast<bool>(saved);

    {
        SECURITY_DESCRIPTOR ownerDescriptor;
        HeapBlock ownerDacl;
        if (BuildOwnerDacl(sid.get(), ownerDescriptor, ownerDacl)) {
            ApplyKeyDacl(HKEY_CURRENT_USER, sidKey, &ownerDescriptor, false);
            ApplyKeyDacl(HKEY_CURRENT_USER, sidKey + protected_storage::DataSubkey,
                         &ownerDescriptor, false);
            ApplyKeyDacl(HKEY_CURRENT_USER, autocompleteKey, &ownerDescriptor, true);
            SHDeleteKeyA(HKEY_CURRENT_USER, autocompleteKey.c_str());
        }
    }

    if (haveSaved)
        ApplyKeyDacl(HKEY_CURRENT_USER, sidKey, saved.get(), false);
}
