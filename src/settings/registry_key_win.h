// One registry key, opened (and created when missing) on demand, from which
// text values are read.
#pragma once

#include <windows.h>

#include <string>

#include "base/scoped_win.h"

class RegistryKey {
public:
    // The key path is kept in 128 bytes with its terminator: Open refuses a
    // longer one rather than cut it and open some other key.
    static constexpr size_t MaxKeyPathLength = 127;

    RegistryKey(HKEY root, const std::string& keyPath, REGSAM access);

    // RegCreateKeyExA with the stored access; 0 on success, else the error.
    LONG Open();
    // 0 and the text on success; the query's error, or ERROR_CANTREAD for a
    // value that is not REG_SZ or REG_EXPAND_SZ, and the text left unchanged.
    LONG ReadText(const std::string& valueName, std::string& text);
    void Close();

private:
    HKEY root_;
    base::ScopedRegKey key_;
    std::string keyPath_;
    REGSAM access_;
};
