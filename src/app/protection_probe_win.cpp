#include "app/protection_probe_win.h"

#include <windows.h>

#include "session/activation.h"
#include "base/files.h"
#include "browsers/connection_options_win.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/profile_folders_win.h"
#include "browsers/text_file.h"
#include "net/interface_addresses.h"
#include "net/socket.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// A machine policy (Internet Explorer's "Make proxy settings per-machine")
// under which WinINet takes every user's proxy settings from the machine.
constexpr char ProxyPolicyKey[] =
    "Software\\Policies\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char ProxyPerUserName[] = "ProxySettingsPerUser";
constexpr int ListenCheckMs = 2000;

std::string FolderOf(const std::string& path) {
    size_t end = path.find_last_of('\\');
    return end == std::string::npos ? std::string() : path.substr(0, end);
}

bool FileTimes(const std::string& path, FILETIME& created, FILETIME& written) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    created = data.ftCreationTime;
    written = data.ftLastWriteTime;
    return true;
}

// Whether `path` was written after the browser took the profile's lock, that
// is after it started: it then runs on what the file said before.
bool WrittenSinceStart(const std::string& path, const std::string& lock) {
    FILETIME lockCreated{}, lockWritten{}, created{}, written{};
    return FileTimes(lock, lockCreated, lockWritten) && FileTimes(path, created, written) &&
           CompareFileTime(&written, &lockCreated) > 0;
}

class SystemProbe : public protection::ProtectionProbe {
public:
    explicit SystemProbe(const std::atomic<bool>& stop) : stop_(stop), judge_(ConfiguredJudge()) {
        // A test page on a port of its own (one set up for the purpose)
        // serves nothing known on the secure port of its host; its own port
        // then carries the tunnel, which shows the same: that a CONNECT
        // through the engine and the active proxy opens.
        if (judge_.port != 80 && judge_.secureHost == judge_.host)
            judge_.securePort = judge_.port;
    }

    bool AskDirectly(OwnAddresses& own) override { return AskJudgeDirectly(judge_, stop_, own); }
    ProxyCheck AskThroughEngine(const OwnAddresses& own, int port,
                                std::string& secureTarget) override {
        secureTarget = judge_.secureHost + ":" + std::to_string(judge_.securePort);
        return CheckProxy(judge_, own, net::ProxyAddress("127.0.0.1", port), stop_);
    }
    bool Listens(int port) override {
        net::NetworkInit network;
        return network.Ok() &&
               net::ConnectTcpUnless("127.0.0.1", port, ListenCheckMs, stop_).IsValid();
    }
    ConnectionSystem& Connections() override { return connections_; }
    bool FirefoxConfigured() override { return RegDwordValue(setting::Mozilla).IsOn(); }
    bool FirefoxProfiles(std::vector<protection::FirefoxProfile>& profiles) override {
        std::string root = FirefoxProfileRoot();
        if (root.empty())
            return false;
        for (const std::string& prefs : FindPrefsFiles(root)) {
            protection::FirefoxProfile profile;
            std::string folder = FolderOf(prefs);
            profile.folder = folder.substr(std::min(folder.size(), root.size()));
            if (profile.folder.empty())
                profile.folder = folder;
            profile.prefsRead = ReadTextFile(prefs, profile.prefsText);
            std::string userJs = folder + "\\user.js";
            if (base::FileExists(userJs))
                profile.userJsRead = ReadTextFile(userJs, profile.userJsText);
            profile.running = IsProfileInUse(folder);
            std::string lock = folder + "\\parent.lock";
            profile.changedSinceStart = profile.running && (WrittenSinceStart(prefs, lock) ||
                                                            WrittenSinceStart(userJs, lock));
            profiles.push_back(profile);
        }
        return true;
    }
    webrtc_policy::Reading Policy(const webrtc_policy::BrowserPolicy& policy) override {
        return webrtc_policy::ReadAndTryWrite(policy);
    }
    bool ReadMachineWideProxyPolicy(bool& machineWide) override {
        uint32_t perUser = 1;
        // A missing value is the default: settings per user.
        bool set = DefaultSettingsBackend().ReadDword(SettingsRoot::LocalMachine, ProxyPolicyKey,
                                                      ProxyPerUserName, perUser);
        machineWide = set && perUser == 0;
        return true;
    }
    std::vector<std::string> InterfaceAddresses() override { return net::InterfaceAddresses(); }

private:
    const std::atomic<bool>& stop_;
    ProxyJudge judge_;
    WinConnectionSystem connections_;
};

}  // namespace

std::vector<protection::Item> SystemProtectionWork::Check(const protection::EngineState& state,
                                                          const std::atomic<bool>& stop) {
    SystemProbe probe(stop);
    return protection::CheckProtection(probe, state);
}

void SystemProtectionWork::ApplyFix(protection::Fix fix, const protection::EngineState& state,
                                    std::string& told) {
    switch (fix) {
    case protection::Fix::WriteWebRtcPolicies:
        if (!webrtc_policy::WriteUsersOwn())
            told = WebRtcPoliciesRefused;
        return;
    default:
        return;
    }
}
