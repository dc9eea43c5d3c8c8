// The user's own proxy options of each connection, as they were before
// Veilgate first pointed it at itself, kept under the user's own key so that
// they outlive a crash and Gatereset can put them back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browsers/connection_choice.h"
#include "settings/settings_backend.h"

// WinINet's connection types (PROXY_TYPE_... of wininet.h), named here so
// that the portable code can use them.
namespace proxy_type {
constexpr uint32_t Direct = 1;
constexpr uint32_t Proxy = 2;
constexpr uint32_t AutoProxyUrl = 4;
constexpr uint32_t AutoDetect = 8;
}  // namespace proxy_type

// The four per-connection options that Veilgate changes or that decide
// whether the proxy is used at all.
struct ConnectionOptions {
    uint32_t flags = proxy_type::Direct;
    std::string proxyServer;
    std::string proxyBypass;
    std::string autoConfigUrl;
};

bool operator==(const ConnectionOptions& a, const ConnectionOptions& b);
inline bool operator!=(const ConnectionOptions& a, const ConnectionOptions& b) {
    return !(a == b);
}

struct SavedConnection {
    ConnectionTarget target;
    ConnectionOptions options;
};

// Below HKEY_CURRENT_USER: the product's key, but never the machine's, since
// the record describes this user's connections only.
constexpr char SavedConnectionsKey[] = "Software\\Veilgate\\SavedConnections";

// False when there is no complete record.
bool LoadSavedConnections(std::vector<SavedConnection>& saved,
                          SettingsBackend& backend = DefaultSettingsBackend());
bool SaveConnections(const std::vector<SavedConnection>& saved,
                     SettingsBackend& backend = DefaultSettingsBackend());
bool ForgetSavedConnections(SettingsBackend& backend = DefaultSettingsBackend());

// The saved options of `target` in `saved`, or nullptr.
const ConnectionOptions* FindSaved(const std::vector<SavedConnection>& saved,
                                   const ConnectionTarget& target);
