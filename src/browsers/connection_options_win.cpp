#include "browsers/connection_options_win.h"

#include <cstring>
#include <new>
#include <vector>

#include "browsers/connection_choice.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/opera_win.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

constexpr char SetFailure[] = "failed to allocat memory in SetConnectionOptions()";
constexpr char DisableFailure[] = "failed to allocat memory in DisableConnectionProxy()";
constexpr char ProxyBypass[] = "local";

std::string InternetSettingsValue(const char* name) {
    return std::string(InternetSettingsKey) + "\\" + name;
}

AutodialSettings ReadAutodialSettings() {
    AutodialSettings settings;
    settings.enableAutodial =
        RegDwordValue(InternetSettingsValue("EnableAutodial"), 0, false, SettingsRoot::CurrentUser)
            .Get();
    settings.noNetAutodial =
        RegDwordValue(InternetSettingsValue("NoNetAutodial"), 0, false, SettingsRoot::CurrentUser)
            .Get();
    if (settings.enableAutodial == 1)
        settings.defaultInternet =
            RegStringValue("SOFTWARE\\Microsoft\\RAS AutoDial\\Default\\DefaultInternet", "",
                           false, SettingsRoot::LocalMachine)
                .Get();
    return settings;
}

// What one list sets: the flags, and for a proxy the server and bypass texts.
struct OptionValues {
    DWORD flags = PROXY_TYPE_DIRECT;
    bool withProxy = false;
    std::string server;
};

// Applies the values to one connection; false when the option array cannot
// be allocated.
bool ApplyToConnection(InternetSettingsApi& api, const ConnectionTarget& target,
                       const OptionValues& values) {
    DWORD count = values.withProxy ? 3 : 1;
    INTERNET_PER_CONN_OPTIONA* options = api.AllocateOptions(count);
    if (!options)
        return false;
    // The system wants writable texts.
    std::vector<char> name(target.name.begin(), target.name.end());
    name.push_back('\0');
    std::vector<char> server(values.server.begin(), values.server.end());
    server.push_back('\0');
    char bypass[sizeof(ProxyBypass)];
    memcpy(bypass, ProxyBypass, sizeof(ProxyBypass));

    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[0].Value.dwValue = values.flags;
    if (values.withProxy) {
        options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
        options[1].Value.pszValue = server.data();
        options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
        options[2].Value.pszValue = bypass;
    }
    INTERNET_PER_CONN_OPTION_LISTA list = {};
    list.dwSize = sizeof(list);
    list.pszConnection = target.isLan ? nullptr : name.data();
    list.dwOptionCount = count;
    list.dwOptionError = 0;
    list.pOptions = options;
    api.SetOption(INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof(list));
    api.FreeOptions(options);
    return true;
}

bool ApplyToChosenConnections(InternetSettingsApi& api, const OptionValues& values) {
    for (const ConnectionTarget& target : ConnectionsToConfigure(ReadAutodialSettings())) {
        if (!ApplyToConnection(api, target, values))
            return false;
    }
    return true;
}

void NotifySettingsChanged(InternetSettingsApi& api) {
    api.SetOption(INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    api.SetOption(INTERNET_OPTION_REFRESH, nullptr, 0);
}

void WriteInternetSettingsFlag(const char* name) {
    RegDwordValue(InternetSettingsValue(name), 0, false, SettingsRoot::CurrentUser).Set(1);
}

bool IsFlagOn(const char* path) {
    return RegDwordValue(path).IsOn();
}

}  // namespace

INTERNET_PER_CONN_OPTIONA* InternetSettingsApi::AllocateOptions(DWORD count) {
    return new (std::nothrow) INTERNET_PER_CONN_OPTIONA[count]();
}

void InternetSettingsApi::FreeOptions(INTERNET_PER_CONN_OPTIONA* options) {
    delete[] options;
}

bool InternetSettingsApi::SetOption(DWORD option, void* buffer, DWORD length) {
    return InternetSetOptionA(nullptr, option, buffer, length) != FALSE;
}

void InternetSettingsApi::DebugOutput(const char* text) {
    OutputDebugStringA(text);
}

InternetSettingsApi& SystemInternetSettings() {
    static InternetSettingsApi api;
    return api;
}

bool SetConnectionOptions(const std::string& connectionName, const std::string& proxyServer,
                          InternetSettingsApi& api) {
    OptionValues values;
    values.flags = PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY;
    values.withProxy = true;
    // A server text without a protocol prefix ("127.0.0.1:8080", not
    // "http=...") serves every protocol, secure traffic included, so it takes
    // HTTPS through the local proxy as well.
    values.server = proxyServer;
    if (!ApplyToChosenConnections(api, values)) {
        api.DebugOutput(SetFailure);
        return false;
    }
    NotifySettingsChanged(api);
    WriteInternetSettingsFlag("EnableHttp1_1");

    bool opera = IsFlagOn(setting::Opera);
    bool netscape = IsFlagOn(setting::Netscape);
    bool mozilla = IsFlagOn(setting::Mozilla);
    if (opera) {
        for (OperaFile file : OperaFiles)
            SetOperaProxy(file);
    }
    if (netscape)
        SetMozillaProxy();
    if (mozilla) {
        SetMozillaProxy();
        SetFirefoxProxy();
    }
    return true;
}

bool DisableConnectionProxy(const std::string& connectionName, InternetSettingsApi& api) {
    OptionValues values;
    values.flags = PROXY_TYPE_DIRECT;
    if (!ApplyToChosenConnections(api, values)) {
        api.DebugOutput(DisableFailure);
        return false;
    }
    NotifySettingsChanged(api);
    WriteInternetSettingsFlag("ProxyHttp1.1");

    bool opera = IsFlagOn(setting::Opera);
    bool netscape = IsFlagOn(setting::Netscape);
    bool mozilla = IsFlagOn(setting::Mozilla);
    if (opera) {
        for (OperaFile file : OperaFiles)
            DisableOperaProxy(file);
    }
    if (netscape)
        DisableMozillaProxy();
    if (mozilla) {
        DisableMozillaProxy();
        DisableFirefoxProxy();
    }
    return true;
}

bool SetDefaultConnectionDirect(InternetSettingsApi& api) {
    OptionValues values;
    values.flags = PROXY_TYPE_DIRECT;
    if (!ApplyToConnection(api, ConnectionTarget{true, ""}, values)) {
        api.DebugOutput(DisableFailure);
        return false;
    }
    NotifySettingsChanged(api);
    return true;
}
