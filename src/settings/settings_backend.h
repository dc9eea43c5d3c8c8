// Where settings values live. The program uses the Windows registry; the
// portable build uses an in-memory tree with the same model (keys holding
// named 32-bit integers and texts), so the same wrappers run on both.
#pragma once

#include <cstdint>
#include <string>

enum class SettingsRoot { LocalMachine, CurrentUser };

class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;

    // Reads a value of at most 4 bytes into `value` (a shorter one replaces
    // only its low bytes, as a 4-byte read buffer would). Fails when the key or
    // value is missing or the data is longer than 4 bytes. The type is not
    // looked at: whatever bytes are stored under the name are taken.
    virtual bool ReadDword(SettingsRoot root, const std::string& keyPath, const std::string& name,
                           uint32_t& value) = 0;
    // Reads a value's bytes up to the first zero byte, whatever its type.
    virtual bool ReadText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                          std::string& text) = 0;
    // Creates the key (and its parents) when missing, then stores the value.
    virtual bool WriteDword(SettingsRoot root, const std::string& keyPath, const std::string& name,
                            uint32_t value) = 0;
    virtual bool WriteText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                           const std::string& text) = 0;
};

// The registry on Windows, a process-wide in-memory tree elsewhere.
SettingsBackend& DefaultSettingsBackend();
