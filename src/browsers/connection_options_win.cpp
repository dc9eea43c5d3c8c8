#include "browsers/connection_options_win.h"

#include "browsers/connection_switch.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/opera_win.h"
#include "browsers/webrtc_policy.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

constexpr char SetFailure[] = "failed to allocat memory in SetConnectionOptions()";
constexpr char DisableFailure[] = "failed to allocat memory in DisableConnectionProxy()";
constexpr char ProxyBypass[] = "local";

std::string InternetSettingsValue(const char* name) {
    return std::string(InternetSettingsKey) + "\\" + name;
}

void WriteInternetSettingsFlag(const char* name) {
    RegDwordValue(InternetSettingsValue(name), 0, false, SettingsRoot::CurrentUser).Set(1);
}

bool IsFlagOn(const char* path) {
    return RegDwordValue(path).IsOn();
}

}  // namespace

bool SetConnectionOptions(const std::string& connectionName, const std::string& proxyServer,
                          InternetSettingsApi& api,
                          std::vector<std::string>* unchangedFirefoxProfiles,
                          bool* firefoxRunning) {
    // A server text without a protocol prefix ("127.0.0.1:8080", not
    // "http=...") serves every protocol, secure traffic included, so it takes
    // HTTPS through the local proxy as well.
    WinConnectionSystem system(api);
    if (!PointConnectionsAt(system, proxyServer, ProxyBypass)) {
        if (system.OutOfMemory())
            api.DebugOutput(SetFailure);
        return false;
    }
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
        SetFirefoxProxy(unchangedFirefoxProfiles, firefoxRunning);
    }
    return true;
}

bool DisableConnectionProxy(const std::string& connectionName, InternetSettingsApi& api,
                            bool* firefoxRunning) {
    if (!RestoreConnectionsToUsersOwn(api))
        return false;
    WriteInternetSettingsFlag("ProxyHttp1.1");

    bool opera = IsFlagOn(setting::Opera);
    bool netscape = IsFlagOn(setting::Netscape);
    bool mozilla = IsFlagOn(setting::Mozilla);
    if (opera) {
        for (OperaFile file : OperaFiles)
            DisableOperaProxy(file, WithoutRecord::OnlyWhenPointedAtEngine);
    }
    if (netscape)
        DisableMozillaProxy(WithoutRecord::OnlyWhenPointedAtEngine);
    if (mozilla) {
        DisableMozillaProxy(WithoutRecord::OnlyWhenPointedAtEngine);
        DisableFirefoxProxy(firefoxRunning, WithoutRecord::OnlyWhenPointedAtEngine);
    }
    return true;
}

bool RestoreConnectionsToUsersOwn(InternetSettingsApi& api) {
    WinConnectionSystem system(api);
    int localPort =
        static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
    RestoreConnections(system, LoopbackProxyServer(localPort));
    // Chrome's and Edge's WebRTC policies that "Check My Protection" wrote go
    // with every restore of the connections, as everything else Veilgate set.
    webrtc_policy::RemoveWritten();
    if (system.OutOfMemory()) {
        api.DebugOutput(DisableFailure);
        return false;
    }
    return true;
}

bool ResetConnectionsToUsersOwn(InternetSettingsApi& api) {
    WinConnectionSystem system(api);
    bool ok = ResetConnections(system);
    webrtc_policy::RemoveWritten();
    if (system.OutOfMemory()) {
        api.DebugOutput(DisableFailure);
        return false;
    }
    return ok;
}
