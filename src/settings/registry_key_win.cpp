#include "settings/registry_key_win.h"

RegistryKey::RegistryKey(HKEY root, const std::string& keyPath, REGSAM access)
    : root_(root), keyPath_(keyPath), access_(access) {}

LONG RegistryKey::Open() {
    if (keyPath_.size() > MaxKeyPathLength)
        return ERROR_FILENAME_EXCED_RANGE;
    char emptyClass[] = "";
    return RegCreateKeyExA(root_, keyPath_.c_str(), 0, emptyClass, 0, access_, nullptr,
                           key_.Receive(), nullptr);
}

LONG RegistryKey::ReadText(const std::string& valueName, std::string& text) {
    if (!key_)
        return ERROR_INVALID_HANDLE;
    // 1024 bytes of data; the extra byte keeps an unterminated value terminated.
    char buffer[1025] = {};
    DWORD size = 1024;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key_.Get(), valueName.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_CANTREAD;
    text = buffer;
    return ERROR_SUCCESS;
}

void RegistryKey::Close() {
    key_.Reset();
}
