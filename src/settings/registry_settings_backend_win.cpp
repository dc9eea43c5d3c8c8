// The real settings store: values in the Windows registry.
#include <windows.h>

#include <vector>

#include "base/scoped_win.h"
#include "settings/settings_backend.h"

namespace {

HKEY RootKey(SettingsRoot root) {
    return root == SettingsRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool OpenForRead(SettingsRoot root, const std::string& keyPath, base::ScopedRegKey& key) {
    return RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, KEY_READ, key.Receive()) ==
           ERROR_SUCCESS;
}

bool CreateForWrite(SettingsRoot root, const std::string& keyPath, base::ScopedRegKey& key) {
    char emptyClass[] = "";
    return RegCreateKeyExA(RootKey(root), keyPath.c_str(), 0, emptyClass, 0, KEY_WRITE, nullptr,
                           key.Receive(), nullptr) == ERROR_SUCCESS;
}

class RegistrySettingsBackend : public SettingsBackend {
public:
    bool ReadDword(SettingsRoot root, const std::string& keyPath, const std::string& name,
                   uint32_t& value) override {
        base::ScopedRegKey key;
        if (!OpenForRead(root, keyPath, key))
            return false;
        // A 4-byte buffer: longer data fails with ERROR_MORE_DATA.
        DWORD data = value;
        DWORD size = sizeof(data);
        if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
            return false;
        value = data;
        return true;
    }

    bool ReadText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                  std::string& text) override {
        base::ScopedRegKey key;
        if (!OpenForRead(root, keyPath, key))
            return false;
        DWORD size = 0;
        if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return false;
        // The value may grow between the two queries; the stored bytes may
        // lack their terminating zero, so one extra zero byte is kept.
        for (int attempt = 0; attempt < 4; ++attempt) {
            std::vector<char> buffer(size + 1, '\0');
            DWORD got = size;
            LONG status = RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), &got);
            if (status == ERROR_MORE_DATA) {
                size = got;
                continue;
            }
            if (status != ERROR_SUCCESS)
                return false;
            text.assign(buffer.data());
            return true;
        }
        return false;
    }

    bool WriteDword(SettingsRoot root, const std::string& keyPath, const std::string& name,
                    uint32_t value) override {
        base::ScopedRegKey key;
        if (!CreateForWrite(root, keyPath, key))
            return false;
        DWORD data = value;
        return RegSetValueExA(key.Get(), name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
    }

    bool WriteText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                   const std::string& text) override {
        base::ScopedRegKey key;
        if (!CreateForWrite(root, keyPath, key))
            return false;
        return RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    }
};

}  // namespace

SettingsBackend& DefaultSettingsBackend() {
    static RegistrySettingsBackend backend;
    return backend;
}
