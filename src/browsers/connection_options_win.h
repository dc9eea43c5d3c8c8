// The two entry points of the browser configuration: the system's Internet
// settings (and so every WinINet client) pointed at the local proxy or back to
// a direct connection, followed by the routines of the other browsers that
// the user chose.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

// The calls through which the settings reach the system; tests replace them
// to see exactly what is sent.
class InternetSettingsApi {
public:
    virtual ~InternetSettingsApi() = default;
    // An option array of `count` entries, or nullptr when out of memory.
    virtual INTERNET_PER_CONN_OPTIONA* AllocateOptions(DWORD count);
    virtual void FreeOptions(INTERNET_PER_CONN_OPTIONA* options);
    // InternetSetOptionA without an Internet handle.
    virtual bool SetOption(DWORD option, void* buffer, DWORD length);
    virtual void DebugOutput(const char* text);
};

InternetSettingsApi& SystemInternetSettings();

constexpr char InternetSettingsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char DefaultConnectionName[] = "DefaultConnectionSettings";

// Proxy `proxyServer` ("127.0.0.1:<port>") with the bypass list "local" for
// the connections the autodial settings choose, then the enable routines of
// the flagged browsers. `connectionName` is not used. False, with nothing
// else done, when an option array cannot be allocated.
bool SetConnectionOptions(const std::string& connectionName, const std::string& proxyServer,
                          InternetSettingsApi& api = SystemInternetSettings());

// A direct connection for the same connections (the proxy server and bypass
// list stay stored), then the restore routines of the flagged browsers.
bool DisableConnectionProxy(const std::string& connectionName,
                            InternetSettingsApi& api = SystemInternetSettings());

// Only the switch of the default connection to direct, with the two
// notifications; for the restore tool, which reads no setting of its own.
bool SetDefaultConnectionDirect(InternetSettingsApi& api = SystemInternetSettings());
