// Typed wrappers for one settings value each. A wrapper names its value by one
// path, "Key\\Path\\ValueName", reads it once when made and serves it from a
// cache after the first successful read or write; most live for one operation,
// so every operation sees the store as it is at that moment. Unless told
// otherwise a wrapper names one of the product's settings (SettingsRoot::Product).
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings_backend.h"

// Splits "\\Software\\Veilgate\\LocalPort" into "Software\\Veilgate" and
// "LocalPort": leading separators dropped, the key path loses its trailing
// separators, the value name its leading ones.
void SplitSettingPath(const std::string& path, std::string& keyPath, std::string& valueName);

// Whether the product key's value held one run's state rather than a setting:
// LastDomain, UseProxy, ProxyName, FAIL and the TMP... hand-over values.
// Earlier versions let any user write the machine's key, so these are read
// from the user's own key only, and never copied from the machine's.
bool IsRunStateSetting(const std::string& keyPath, const std::string& name);

class RegDwordValue {
public:
    explicit RegDwordValue(const std::string& path, uint32_t defaultValue = 0, bool reread = false,
                           SettingsRoot root = SettingsRoot::Product,
                           SettingsBackend& backend = DefaultSettingsBackend());

    // The stored value, or the default when it cannot be read.
    uint32_t Get();
    // Stores the value unless it equals the cached one (and reread is off).
    void Set(uint32_t value);
    // Flags count as on only when they are exactly 1.
    bool IsOn() { return Get() == 1; }

private:
    uint32_t Read();

    SettingsBackend& backend_;
    SettingsRoot root_;
    std::string valueName_;
    std::string keyPath_;
    uint32_t cached_ = 0;
    uint32_t default_;
    bool loaded_ = false;
    bool reread_;
};

class RegStringValue {
public:
    explicit RegStringValue(const std::string& path, const std::string& defaultValue = "",
                            bool reread = false, SettingsRoot root = SettingsRoot::Product,
                            SettingsBackend& backend = DefaultSettingsBackend());

    std::string Get();
    // Stores the text unless it equals the cached one, case-sensitively.
    void Set(const std::string& value);

private:
    std::string Read();

    SettingsBackend& backend_;
    SettingsRoot root_;
    std::string valueName_;
    std::string keyPath_;
    std::string cached_;
    std::string default_;
    bool loaded_ = false;
    bool reread_;
};
