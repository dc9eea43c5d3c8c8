// The real settings store: values in the Windows registry.
#include <windows.h>

#include <vector>

#include "base/scoped_win.h"
#include "settings/settings_backend.h"

namespace {

// Product is resolved by the wrappers; should it arrive here, it is the
// user's key, where product settings are written.
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
        bool written =
            RegSetValueExA(key.Get(), name.c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
        NoteSettingsChange();
        return written;
    }

    bool WriteText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                   const std::string& text) override {
        base::ScopedRegKey key;
        if (!CreateForWrite(root, keyPath, key))
            return false;
        bool written = RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(text.c_str()),
                                      static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
        NoteSettingsChange();
        return written;
    }

    bool ValueExists(SettingsRoot root, const std::string& keyPath,
                     const std::string& name) override {
        base::ScopedRegKey key;
        return OpenForRead(root, keyPath, key) &&
               RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                   ERROR_SUCCESS;
    }

    bool KeyExists(SettingsRoot root, const std::string& keyPath) override {
        base::ScopedRegKey key;
        return OpenForRead(root, keyPath, key);
    }

    bool ListValues(SettingsRoot root, const std::string& keyPath,
                    std::vector<StoredValue>& values) override {
        base::ScopedRegKey key;
        if (!OpenForRead(root, keyPath, key))
            return false;
        DWORD count = 0, longestName = 0, longestData = 0;
        if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &count, &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        values.clear();
        std::vector<char> name(longestName + 1);
        std::vector<BYTE> data(longestData + 1);
        for (DWORD i = 0; i < count; ++i) {
            DWORD nameSize = static_cast<DWORD>(name.size());
            DWORD dataSize = static_cast<DWORD>(data.size());
            DWORD type = 0;
            if (RegEnumValueA(key.Get(), i, name.data(), &nameSize, nullptr, &type, data.data(),
                              &dataSize) != ERROR_SUCCESS)
                return false;
            values.push_back({std::string(name.data(), nameSize), type,
                              std::string(reinterpret_cast<const char*>(data.data()), dataSize)});
        }
        return true;
    }

    bool WriteValue(SettingsRoot root, const std::string& keyPath,
                    const StoredValue& value) override {
        base::ScopedRegKey key;
        if (!CreateForWrite(root, keyPath, key))
            return false;
        bool written = RegSetValueExA(key.Get(), value.name.c_str(), 0, value.type,
                                      reinterpret_cast<const BYTE*>(value.bytes.data()),
                                      static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
        NoteSettingsChange();
        return written;
    }

    bool DeleteKey(SettingsRoot root, const std::string& keyPath) override {
        LONG status = RegDeleteKeyA(RootKey(root), keyPath.c_str());
        NoteSettingsChange();
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }

    bool DeleteValue(SettingsRoot root, const std::string& keyPath,
                     const std::string& name) override {
        base::ScopedRegKey key;
        LONG status =
            RegOpenKeyExA(RootKey(root), keyPath.c_str(), 0, KEY_SET_VALUE, key.Receive());
        if (status == ERROR_SUCCESS)
            status = RegDeleteValueA(key.Get(), name.c_str());
        NoteSettingsChange();
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
};

}  // namespace

SettingsBackend& DefaultSettingsBackend() {
    static RegistrySettingsBackend backend;
    return backend;
}
