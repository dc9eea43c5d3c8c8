// The in-memory settings tree: the registry's model without the registry.
// Key paths and value names compare case-insensitively, as in the registry.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "settings/settings_backend.h"

class MemorySettingsBackend : public SettingsBackend {
public:
    bool ReadDword(SettingsRoot root, const std::string& keyPath, const std::string& name,
                   uint32_t& value) override;
    bool ReadText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                  std::string& text) override;
    bool WriteDword(SettingsRoot root, const std::string& keyPath, const std::string& name,
                    uint32_t value) override;
    bool WriteText(SettingsRoot root, const std::string& keyPath, const std::string& name,
                   const std::string& text) override;

    bool ValueExists(SettingsRoot root, const std::string& keyPath,
                     const std::string& name) override;
    bool KeyExists(SettingsRoot root, const std::string& keyPath) override;
    bool ListValues(SettingsRoot root, const std::string& keyPath,
                    std::vector<StoredValue>& values) override;
    bool WriteValue(SettingsRoot root, const std::string& keyPath,
                    const StoredValue& value) override;
    bool DeleteKey(SettingsRoot root, const std::string& keyPath) override;
    bool DeleteValue(SettingsRoot root, const std::string& keyPath,
                     const std::string& name) override;

    // Stores raw bytes under a name, as a program that wrote an odd type would.
    void WriteBytes(SettingsRoot root, const std::string& keyPath, const std::string& name,
                    const std::string& bytes);
    // How many values were stored through WriteDword and WriteText.
    int WriteCount() const;
    void Clear();

private:
    using Values = std::map<std::string, StoredValue>;  // lower-case name -> value

    static std::string KeyId(SettingsRoot root, const std::string& keyPath);
    const std::string* FindValue(SettingsRoot root, const std::string& keyPath,
                                 const std::string& name) const;
    void Store(SettingsRoot root, const std::string& keyPath, const StoredValue& value);

    mutable std::mutex mutex_;
    std::map<std::string, Values> keys_;  // KeyId -> values
    int writeCount_ = 0;
};
