#include "browsers/webrtc_policy.h"

#include <vector>

namespace webrtc_policy {

namespace {

// The record: "<browser>Written" (1) for each value written, and "<browser>"
// with the user's earlier value when there was one.
std::string WrittenName(const BrowserPolicy& policy) {
    return std::string(policy.browser) + "Written";
}

// No browser reads it.
constexpr char WriteCheckName[] = "VeilgateWriteCheck";

bool UsersKeyWritable(const BrowserPolicy& policy, SettingsBackend& backend) {
    // The keys the write makes, deepest first, so that they go again.
    std::vector<std::string> made;
    std::string key = policy.key;
    while (!key.empty() && !backend.KeyExists(SettingsRoot::CurrentUser, key)) {
        made.push_back(key);
        size_t parent = key.find_last_of('\\');
        key = parent == std::string::npos ? std::string() : key.substr(0, parent);
    }
    bool writable = backend.WriteDword(SettingsRoot::CurrentUser, policy.key, WriteCheckName, 1);
    backend.DeleteValue(SettingsRoot::CurrentUser, policy.key, WriteCheckName);
    for (const std::string& each : made)
        backend.DeleteKey(SettingsRoot::CurrentUser, each);
    return writable;
}

}  // namespace

Reading Read(const BrowserPolicy& policy, SettingsBackend& backend) {
    Reading reading;
    reading.machineSet =
        backend.ReadText(SettingsRoot::LocalMachine, policy.key, policy.value, reading.machine);
    reading.userSet =
        backend.ReadText(SettingsRoot::CurrentUser, policy.key, policy.value, reading.user);
    return reading;
}

Reading ReadAndTryWrite(const BrowserPolicy& policy, SettingsBackend& backend) {
    Reading reading = Read(policy, backend);
    if (!reading.machineSet && !HoldsToProxy(reading))
        reading.userWritable = UsersKeyWritable(policy, backend);
    return reading;
}

bool HoldsToProxy(const Reading& reading) {
    if (reading.machineSet)
        return reading.machine == HeldToProxy;
    return reading.userSet && reading.user == HeldToProxy;
}

bool WriteUsersOwn(SettingsBackend& backend) {
    bool ok = true;
    for (const BrowserPolicy& policy : Browsers) {
        Reading reading = Read(policy, backend);
        if (reading.machineSet || HoldsToProxy(reading))
            continue;
        // The record first, so that a value written is never left unrecorded.
        uint32_t written = 0;
        bool recorded = backend.ReadDword(SettingsRoot::CurrentUser, SavedWebRtcPoliciesKey,
                                          WrittenName(policy), written) ||
                        ((!reading.userSet ||
                          backend.WriteText(SettingsRoot::CurrentUser, SavedWebRtcPoliciesKey,
                                            policy.browser, reading.user)) &&
                         backend.WriteDword(SettingsRoot::CurrentUser, SavedWebRtcPoliciesKey,
                                            WrittenName(policy), 1));
        ok = recorded &&
             backend.WriteText(SettingsRoot::CurrentUser, policy.key, policy.value, HeldToProxy) &&
             ok;
    }
    return ok;
}

bool RemoveWritten(SettingsBackend& backend) {
    if (!backend.KeyExists(SettingsRoot::CurrentUser, SavedWebRtcPoliciesKey))
        return true;
    bool ok = true;
    for (const BrowserPolicy& policy : Browsers) {
        uint32_t written = 0;
        if (!backend.ReadDword(SettingsRoot::CurrentUser, SavedWebRtcPoliciesKey,
                               WrittenName(policy), written) ||
            written != 1)
            continue;
        Reading reading = Read(policy, backend);
        if (!reading.userSet || reading.user != HeldToProxy)
            continue;
        std::string earlier;
        bool had = backend.ReadText(SettingsRoot::CurrentUser, SavedWebRtcPoliciesKey,
                                    policy.browser, earlier);
        ok = (had ? backend.WriteText(SettingsRoot::CurrentUser, policy.key, policy.value, earlier)
                  : backend.DeleteValue(SettingsRoot::CurrentUser, policy.key, policy.value)) &&
             ok;
    }
    return ok && backend.DeleteKey(SettingsRoot::CurrentUser, SavedWebRtcPoliciesKey);
}

}  // namespace webrtc_policy
