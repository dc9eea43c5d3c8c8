// The two entry points of the browser configuration: the system's Internet
// settings (and so every WinINet client) pointed at the local proxy or back to
// a direct connection, followed by the routines of the other browsers that
// the user chose.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "browsers/connection_system_win.h"

constexpr char InternetSettingsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char DefaultConnectionName[] = "DefaultConnectionSettings";

// Proxy `proxyServer` ("127.0.0.1:<port>") with the bypass list "local" for
// the LAN and every phone-book entry, each connection's own options saved
// first, then the enable routines of the flagged browsers. `connectionName`
// is not used. False, with nothing else done, when an option array cannot
// be allocated or a connection did not take the proxy (every connection is
// then as it was). The Firefox prefs.js files that could not be changed are
// added to `unchangedFirefoxProfiles`, when given; they do not make it false.
// `firefoxRunning` is set, when given, when Firefox runs on a profile that was
// changed (see SetFirefoxProxy).
bool SetConnectionOptions(const std::string& connectionName, const std::string& proxyServer,
                          InternetSettingsApi& api = SystemInternetSettings(),
                          std::vector<std::string>* unchangedFirefoxProfiles = nullptr,
                          bool* firefoxRunning = nullptr);

// Each connection's own options put back (see RestoreConnections), then the
// restore routines of the flagged browsers.
bool DisableConnectionProxy(const std::string& connectionName,
                            InternetSettingsApi& api = SystemInternetSettings(),
                            bool* firefoxRunning = nullptr);

// Each connection's own options put back, and one without a record only when
// it points at the local proxy (see RestoreConnections); false only when
// memory ran out.
bool RestoreConnectionsToUsersOwn(InternetSettingsApi& api = SystemInternetSettings());

// The restore tool's reset of every connection (see ResetConnections); it
// reads no setting of the main program but the record of the user's own.
bool ResetConnectionsToUsersOwn(InternetSettingsApi& api = SystemInternetSettings());
