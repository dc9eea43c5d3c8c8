// The registry as it is, read and changed past the program's own wrappers
// (Windows only). The tests run in the throwaway Wine prefix's registry.
#pragma once

#include <windows.h>

#include <sddl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "base/scoped_win.h"
#include "settings/settings_names.h"

namespace testing_support {

// Where the product keeps its settings: ProductKey below this root.
const HKEY ProductRoot = HKEY_CURRENT_USER;
using setting::ProductKey;

constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

inline bool KeyExists(HKEY root, const std::string& key) {
    base::ScopedRegKey handle;
    return RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, handle.Receive()) == ERROR_SUCCESS;
}

// Creates the key and any parents it lacks.
inline bool CreateKey(HKEY root, const std::string& key) {
    base::ScopedRegKey handle;
    return RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           handle.Receive(), nullptr) == ERROR_SUCCESS;
}

inline bool ValueExists(HKEY root, const std::string& key, const std::string& name) {
    base::ScopedRegKey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, handle.Receive()) != ERROR_SUCCESS)
        return false;
    return RegQueryValueExA(handle.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

// A REG_SZ value; `text` is left alone when there is none.
inline bool ReadText(HKEY root, const std::string& key, const std::string& name,
                     std::string& text) {
    base::ScopedRegKey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, handle.Receive()) != ERROR_SUCCESS)
        return false;
    char buffer[2048] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(handle.Get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    text = buffer;
    return true;
}

// A REG_DWORD value; `value` is left alone when there is none.
inline bool ReadDword(HKEY root, const std::string& key, const std::string& name, DWORD& value) {
    base::ScopedRegKey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, handle.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD stored = 0;
    DWORD size = sizeof(stored);
    DWORD type = 0;
    if (RegQueryValueExA(handle.Get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&stored), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    value = stored;
    return true;
}

// Stores raw bytes of any type, creating the key when it is missing.
inline bool WriteValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
                       const void* data, DWORD size) {
    base::ScopedRegKey handle;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, handle.Receive(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(handle.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS;
}

inline bool WriteText(HKEY root, const std::string& key, const std::string& name,
                      const std::string& text) {
    return WriteValue(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

inline bool WriteDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
    return WriteValue(root, key, name, REG_DWORD, &value, sizeof(value));
}

inline void DeleteValue(HKEY root, const std::string& key, const std::string& name) {
    base::ScopedRegKey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, handle.Receive()) == ERROR_SUCCESS)
        RegDeleteValueA(handle.Get(), name.c_str());
}

// The key's DACL as the raw bytes of each entry; `present` is false when the
// key cannot be read or has no DACL.
struct KeyDacl {
    bool present = false;
    std::vector<std::string> aces;
};

inline KeyDacl ReadKeyDacl(HKEY root, const std::string& key) {
    KeyDacl result;
    base::ScopedRegKey handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, READ_CONTROL, handle.Receive()) != ERROR_SUCCESS)
        return result;
    DWORD size = 0;
    RegGetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<char> buffer(size + 16);
    size = static_cast<DWORD>(buffer.size());
    if (RegGetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, buffer.data(), &size) !=
        ERROR_SUCCESS)
        return result;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(buffer.data(), &present, &dacl, &defaulted) || !present || !dacl)
        return result;
    result.present = true;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(dacl, i, &ace)) {
            auto* header = static_cast<ACE_HEADER*>(ace);
            result.aces.emplace_back(static_cast<const char*>(ace), header->AceSize);
        }
    }
    return result;
}

// Sets a DACL written in the system's descriptor language ("D:(A;;KR;;;WD)").
inline bool SetKeyDaclFromText(HKEY root, const std::string& key, const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    base::ScopedLocalMemory owned(descriptor);
    base::ScopedRegKey handle;
    return RegOpenKeyExA(root, key.c_str(), 0, WRITE_DAC, handle.Receive()) == ERROR_SUCCESS &&
           RegSetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
}

// Opens the key and everything below it to everyone, so that a tree locked
// by a test can still go.
inline void GrantEveryoneTree(HKEY parent, const std::string& key, PSECURITY_DESCRIPTOR everyone) {
    base::ScopedRegKey handle;
    if (RegOpenKeyExA(parent, key.c_str(), 0, WRITE_DAC, handle.Receive()) == ERROR_SUCCESS)
        RegSetKeySecurity(handle.Get(), DACL_SECURITY_INFORMATION, everyone);
    if (RegOpenKeyExA(parent, key.c_str(), 0, KEY_READ, handle.Receive()) != ERROR_SUCCESS)
        return;
    char sub[MAX_PATH + 1];
    for (DWORD i = 0; RegEnumKeyA(handle.Get(), i, sub, sizeof(sub)) == ERROR_SUCCESS; ++i)
        GrantEveryoneTree(handle.Get(), sub, everyone);
}

// Gives the whole tree back to everyone and removes it.
inline void ForceDeleteTree(HKEY root, const std::string& key) {
    PSECURITY_DESCRIPTOR everyone = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;KA;;;WD)", SDDL_REVISION_1,
                                                             &everyone, nullptr)) {
        base::ScopedLocalMemory owned(everyone);
        GrantEveryoneTree(root, key, everyone);
    }
    SHDeleteKeyA(root, key.c_str());
}

}  // namespace testing_support
