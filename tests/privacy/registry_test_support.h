// Registry helpers for the privacy tests, which run in the throwaway Wine
// prefix's registry and look at it past the code under test.
#pragma once

#include <windows.h>

#include <sddl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "base/scoped_win.h"

inline bool KeyExists(HKEY root, const std::string& path) {
    base::ScopedRegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

inline bool CreateKey(HKEY root, const std::string& path) {
    base::ScopedRegKey key;
    return RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           key.Receive(), nullptr) == ERROR_SUCCESS;
}

inline void SetTextValue(HKEY root, const std::string& path, const std::string& name,
                         const std::string& text) {
    base::ScopedRegKey key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(),
                        nullptr) == ERROR_SUCCESS)
        RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
}

// The key's DACL as the raw bytes of each entry; `present` is false when the
// key cannot be read or has no DACL.
struct KeyDacl {
    bool present = false;
    std::vector<std::string> aces;
};

inline KeyDacl ReadKeyDacl(HKEY root, const std::string& path) {
    KeyDacl result;
    base::ScopedRegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, READ_CONTROL, key.Receive()) != ERROR_SUCCESS)
        return result;
    DWORD size = 0;
    RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<char> buffer(size + 16);
    size = static_cast<DWORD>(buffer.size());
    if (RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, buffer.data(), &size) !=
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
inline bool SetKeyDaclFromText(HKEY root, const std::string& path, const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    base::ScopedRegKey key;
    bool ok = RegOpenKeyExA(root, path.c_str(), 0, WRITE_DAC, key.Receive()) == ERROR_SUCCESS &&
              RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return ok;
}

// Gives the whole tree back to everyone and removes it.
inline void ForceDeleteTree(HKEY root, const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;KA;;;WD)", SDDL_REVISION_1,
                                                             &descriptor, nullptr)) {
        struct Walker {
            static void Open(HKEY parent, const std::string& name, PSECURITY_DESCRIPTOR sd) {
                base::ScopedRegKey key;
                if (RegOpenKeyExA(parent, name.c_str(), 0, WRITE_DAC, key.Receive()) ==
                    ERROR_SUCCESS)
                    RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, sd);
                key.Reset();
                if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, key.Receive()) !=
                    ERROR_SUCCESS)
                    return;
                char sub[MAX_PATH + 1];
                for (DWORD i = 0; RegEnumKeyA(key.Get(), i, sub, sizeof(sub)) == ERROR_SUCCESS; ++i)
                    Open(key.Get(), sub, sd);
            }
        };
        Walker::Open(root, path, descriptor);
        LocalFree(descriptor);
    }
    SHDeleteKeyA(root, path.c_str());
}
