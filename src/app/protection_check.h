// "Check My Protection": every way the user's address could still reach a
// site past Veilgate, each measured afresh through narrow interfaces (the
// network, Windows' connections, the Firefox profile files, the browsers'
// policies) and answered "OK", "Problem" or "Could not check" with a
// sentence. Nothing is "OK" that was not measured in this check, and the
// check itself changes nothing: a fix runs only when the user asks for it.
// Portable and blocking: the window runs it on a worker thread.
#pragma once

#include <string>
#include <vector>

#include "browsers/connection_switch.h"
#include "browsers/webrtc_policy.h"
#include "proxies/proxy_check.h"

namespace protection {

enum class Verdict { Ok, Problem, CouldNotCheck };
// "OK", "Problem", "Could not check".
const char* VerdictWord(Verdict verdict);

// What "Fix" does for an item; None where Veilgate cannot put it right.
enum class Fix { None, PointConnections, PointFirefox, WriteWebRtcPolicies };

// The items in the order the dialog shows them.
enum class ItemId {
    WebSees,
    SecurePages,
    Connections,
    Firefox,
    ChromeEdge,
    EngineAndProxy,
    SystemPolicy,
    Ipv6,
};
constexpr int ItemCount = 8;

struct Item {
    ItemId id = ItemId::WebSees;
    std::string title;
    Verdict verdict = Verdict::CouldNotCheck;
    std::string sentence;
    Fix fix = Fix::None;
};

// The program's own state, from the window's thread.
struct EngineState {
    // The LocalPort setting, and the port the engine listens on (0: off).
    int localPort = 0;
    int enginePort = 0;
    // The active proxy's text and the level a test in this run gave it
    // ("" when none did).
    std::string activeProxy;
    std::string level;
};

// One Firefox profile as its files say.
struct FirefoxProfile {
    std::string folder;
    bool prefsRead = false;
    std::string prefsText;
    // user.js, which the browser reads at each start and which wins over
    // prefs.js; empty when there is none.
    bool userJsRead = true;
    std::string userJsText;
    // Firefox runs on it, and its files changed since it started.
    bool running = false;
    bool changedSinceStart = false;
};

// What the check reads. Each call measures afresh.
class ProtectionProbe {
public:
    virtual ~ProtectionProbe() = default;
    // The test page asked without a proxy (proxy_check.h's AskJudgeDirectly).
    virtual bool AskDirectly(OwnAddresses& own) = 0;
    // The whole test of a proxy (proxy_check.h's CheckProxy), made of the
    // engine itself on 127.0.0.1:port: exactly the path a browser's request
    // takes. `secureTarget` names where its tunnel went.
    virtual ProxyCheck AskThroughEngine(const OwnAddresses& own, int port,
                                        std::string& secureTarget) = 0;
    // Whether something accepts connections on 127.0.0.1:port.
    virtual bool Listens(int port) = 0;
    virtual ConnectionSystem& Connections() = 0;
    // Whether the Mozilla-family browsers are among those Veilgate sets up.
    virtual bool FirefoxConfigured() = 0;
    // False when the profile folders could not be listed.
    virtual bool FirefoxProfiles(std::vector<FirefoxProfile>& profiles) = 0;
    // The policy as webrtc_policy::ReadAndTryWrite finds it.
    virtual webrtc_policy::Reading Policy(const webrtc_policy::BrowserPolicy& policy) = 0;
    // Whether a machine policy makes Windows' proxy settings the machine's
    // rather than each user's (ProxySettingsPerUser 0); false when it cannot
    // be read.
    virtual bool ReadMachineWideProxyPolicy(bool& machineWide) = 0;
    virtual std::vector<std::string> InterfaceAddresses() = 0;
};

// The check, item by item, in ItemId order.
std::vector<Item> CheckProtection(ProtectionProbe& probe, const EngineState& state);

// The report as plain text, one item a paragraph, for the clipboard.
std::string ReportText(const std::vector<Item>& items);

// Whether `address` is a global IPv6 unicast address (2000::/3), one the
// whole Internet can reach the machine by.
bool IsGlobalIpv6(const std::string& address);

}  // namespace protection
