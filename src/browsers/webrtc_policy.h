// Chrome's and Edge's policies that hold WebRTC to the proxy. Without them a
// page can learn the user's own address through WebRTC, which does not go
// through an HTTP proxy. The machine's policy wins over the user's; Veilgate
// writes only the user's own value, on the user's request, records that it
// did, and takes it back with every restore of the browsers.
#pragma once

#include <string>

#include "settings/settings_backend.h"

namespace webrtc_policy {

// The one value of both policies that keeps WebRTC off every path but the
// proxy: no UDP unless the proxy carries it, and no local address shown.
constexpr char HeldToProxy[] = "disable_non_proxied_udp";

struct BrowserPolicy {
    const char* browser;  // "Chrome", "Edge"
    const char* key;      // below either root
    const char* value;
};

constexpr BrowserPolicy Chrome = {"Chrome", "Software\\Policies\\Google\\Chrome",
                                  "WebRtcIPHandling"};
constexpr BrowserPolicy Edge = {"Edge", "Software\\Policies\\Microsoft\\Edge",
                                "WebRtcLocalhostIpHandling"};
constexpr BrowserPolicy Browsers[] = {Chrome, Edge};

// Below HKEY_CURRENT_USER, beside the other records of the user's own values.
constexpr char SavedWebRtcPoliciesKey[] = "Software\\Veilgate\\SavedWebRtcPolicies";

// One policy as the machine's and the user's keys hold it.
struct Reading {
    bool machineSet = false;
    std::string machine;
    bool userSet = false;
    std::string user;
    // This process may write the user's policy key (only ReadAndTryWrite
    // finds out).
    bool userWritable = false;
};

Reading Read(const BrowserPolicy& policy, SettingsBackend& backend = DefaultSettingsBackend());
// Read, and, where the user's own value would be the fix (nothing holds
// WebRTC and no machine policy decides), whether this process may write the
// user's policy key: Windows lets only administrators write below
// HKEY_CURRENT_USER\Software\Policies, so a value is written there and
// taken back again, with any key the write made.
Reading ReadAndTryWrite(const BrowserPolicy& policy,
                        SettingsBackend& backend = DefaultSettingsBackend());
// The value the browser obeys: the machine's when there is one.
bool HoldsToProxy(const Reading& reading);

// Writes the user's own value of each policy that does not hold WebRTC to the
// proxy and that no machine policy decides, each recorded before it is
// written. False when one could not be written (a standard user may not write
// the user's policy keys on Windows); what was written stays recorded.
bool WriteUsersOwn(SettingsBackend& backend = DefaultSettingsBackend());

// Takes back what WriteUsersOwn wrote: a value still as written goes, or gets
// the user's earlier value again; one changed since is left alone. The record
// goes when everything was put back.
bool RemoveWritten(SettingsBackend& backend = DefaultSettingsBackend());

}  // namespace webrtc_policy
