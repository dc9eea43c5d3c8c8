// Where settings values live. The program uses the Windows registry; the
// portable build uses an in-memory tree with the same model (keys holding
// named 32-bit integers and texts), so the same wrappers run on both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// LocalMachine and CurrentUser are the registry's two roots. Product is the
// program's own settings as each user sees them: written under the current
// user's root only, and read from there, or from the machine's root for a
// value the user's key does not hold (an administrator's default for every
// user). The wrappers resolve Product; a backend is only given the two roots.
enum class SettingsRoot { LocalMachine, CurrentUser, Product };

// A value as the store holds it, for copying it unchanged.
struct StoredValue {
    std::string name;
    uint32_t type = 0;  // the registry's REG_... number
    std::string bytes;
};

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

    // True when the value is there, whatever its type and size.
    virtual bool ValueExists(SettingsRoot root, const std::string& keyPath,
                             const std::string& name) = 0;
    virtual bool KeyExists(SettingsRoot root, const std::string& keyPath) = 0;
    // Every value of the key itself (not of its subkeys); false when the key
    // cannot be read.
    virtual bool ListValues(SettingsRoot root, const std::string& keyPath,
                            std::vector<StoredValue>& values) = 0;
    // Creates the key when missing and stores the value's type and bytes.
    virtual bool WriteValue(SettingsRoot root, const std::string& keyPath,
                            const StoredValue& value) = 0;
    // Removes a key that holds values only (no subkeys); true when it is gone,
    // whether or not it was there.
    virtual bool DeleteKey(SettingsRoot root, const std::string& keyPath) = 0;
    // Removes one value of a key that other programs' values share; true when
    // it is gone, whether or not it was there.
    virtual bool DeleteValue(SettingsRoot root, const std::string& keyPath,
                             const std::string& name) = 0;
};

// The registry on Windows, a process-wide in-memory tree elsewhere.
SettingsBackend& DefaultSettingsBackend();

// How many times any backend of this process has changed its store, each
// counted once the change is made; a reader that keeps what it read may keep
// it while this stays the same, as far as this process's own changes go.
uint64_t SettingsChangeCount();
// Counts one change; the backends call it after each write or delete.
void NoteSettingsChange();
