#include "app/protection_check.h"

#include <algorithm>

#include "browsers/prefs_text.h"

namespace protection {

namespace {

constexpr char LoopbackQuoted[] = "\"127.0.0.1\"";

Item Make(ItemId id, const char* title, Verdict verdict, const std::string& sentence,
          Fix fix = Fix::None) {
    Item item;
    item.id = id;
    item.title = title;
    item.verdict = verdict;
    item.sentence = sentence;
    // Sentences may begin with a connection's name ("the LAN").
    if (!item.sentence.empty() && item.sentence[0] >= 'a' && item.sentence[0] <= 'z')
        item.sentence[0] = static_cast<char>(item.sentence[0] - 'a' + 'A');
    item.fix = fix;
    return item;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            joined += i + 1 == names.size() ? " and " : ", ";
        joined += names[i];
    }
    return joined;
}

std::string EngineText(int port) {
    return "127.0.0.1:" + std::to_string(port);
}

// Items 1, 2 and the time of item 6 come from one test made through the
// engine; this is what it found.
struct WebMeasure {
    bool direct = false;
    OwnAddresses own;
    ProxyCheck check;
    std::string secureTarget;
};

Item WebSees(const EngineState& state, const WebMeasure& web) {
    const char* title = "What the web sees";
    if (state.enginePort == 0)
        return Make(ItemId::WebSees, title, Verdict::Problem,
                    "Veilgate is off: sites see your own address.");
    // The page came, but changed: that says more than its not coming.
    if (IsNeverUsed(web.check.outcome))
        return Make(ItemId::WebSees, title, Verdict::Problem,
                    "Through Veilgate (" + EngineText(state.enginePort) +
                        ") the test pages did not come back as the test page sent them (" +
                        NeverUsedWord(web.check.outcome) + "): the proxy in use changes them.");
    if (web.check.outcome != CheckOutcome::Passed) {
        std::string sentence =
            "The test page did not answer through Veilgate (" + EngineText(state.enginePort) + ")";
        sentence += web.direct ? ", though it answers directly." : ", nor directly.";
        return Make(ItemId::WebSees, title, Verdict::CouldNotCheck, sentence);
    }
    std::string seen = web.check.exitAddress.empty() ? "no address" : web.check.exitAddress;
    if (web.check.level == Anonymity::Transparent)
        return Make(ItemId::WebSees, title, Verdict::Problem,
                    "Through Veilgate the test page saw " + seen +
                        " and was also given your own address: sites see who you are.");
    if (!web.direct || web.own.seenDirectly.empty())
        return Make(ItemId::WebSees, title, Verdict::CouldNotCheck,
                    "Through Veilgate the test page saw " + seen +
                        ", but it cannot be reached directly, so your own address is unknown.");
    return Make(ItemId::WebSees, title, Verdict::Ok,
                "Through Veilgate the test page saw " + seen + " (" +
                    AnonymityWord(web.check.level) + "); directly it sees " + web.own.seenDirectly +
                    ".");
}

Item SecurePages(const EngineState& state, const WebMeasure& web) {
    const char* title = "Secure pages";
    if (state.enginePort == 0)
        return Make(ItemId::SecurePages, title, Verdict::CouldNotCheck, "Veilgate is off.");
    if (web.check.outcome != CheckOutcome::Passed)
        return Make(ItemId::SecurePages, title, Verdict::CouldNotCheck,
                    "The test page did not answer through Veilgate, so no tunnel was tried.");
    if (!web.check.secure)
        return Make(ItemId::SecurePages, title, Verdict::Problem,
                    "A secure connection to " + web.secureTarget +
                        " did not open through Veilgate and " + state.activeProxy +
                        ": secure pages may not load through it.");
    return Make(ItemId::SecurePages, title, Verdict::Ok,
                "A secure connection to " + web.secureTarget + " opened through Veilgate and " +
                    state.activeProxy + ".");
}

// Whether the connection sends everything to the engine: its proxy on, our
// server, and no automatic setting that would take precedence.
bool PointsAtEngine(const ConnectionOptions& options, int port) {
    return IsPointedAtEngine(options, {port}) &&
           !(options.flags & (proxy_type::AutoDetect | proxy_type::AutoProxyUrl));
}

std::string ConnectionName(const ConnectionTarget& target) {
    return target.isLan ? std::string("the LAN") : "\"" + target.name + "\"";
}

Item Connections(ProtectionProbe& probe, const EngineState& state) {
    const char* title = "Windows' connections";
    if (state.enginePort == 0)
        return Make(ItemId::Connections, title, Verdict::CouldNotCheck, "Veilgate is off.");
    ConnectionSystem& system = probe.Connections();
    std::vector<ConnectionTarget> targets =
        ConnectionsToConfigure(system.PhoneBookEntries(), system.DefaultEntry());
    std::vector<std::string> unread;
    std::vector<std::string> elsewhere;
    std::vector<std::string> fine;
    for (const ConnectionTarget& target : targets) {
        ConnectionOptions options;
        if (!system.Read(target, options))
            unread.push_back(ConnectionName(target));
        else if (!PointsAtEngine(options, state.localPort))
            elsewhere.push_back(ConnectionName(target));
        else
            fine.push_back(ConnectionName(target));
    }
    if (!elsewhere.empty())
        return Make(ItemId::Connections, title, Verdict::Problem,
                    JoinNames(elsewhere) + (elsewhere.size() == 1 ? " does" : " do") +
                        " not point at Veilgate (" + EngineText(state.localPort) + ").",
                    Fix::PointConnections);
    if (!unread.empty())
        return Make(ItemId::Connections, title, Verdict::CouldNotCheck,
                    "The settings of " + JoinNames(unread) + " cannot be read.");
    return Make(ItemId::Connections, title, Verdict::Ok,
                JoinNames(fine) + (fine.size() == 1 ? " points" : " point") + " at Veilgate (" +
                    EngineText(state.localPort) + ").");
}

// What one profile gets wrong, as short phrases; empty when nothing.
std::vector<std::string> FirefoxFaults(const FirefoxProfile& profile, int port) {
    std::vector<SavedEntry> obeyed = prefs::ObeyedEntries(profile.prefsText);
    // user.js is read after prefs.js at each start and wins.
    for (const SavedEntry& entry : prefs::ObeyedEntries(profile.userJsText)) {
        for (SavedEntry& each : obeyed) {
            if (entry.present && each.name == entry.name)
                each = entry;
        }
    }
    auto value = [&obeyed](const char* name) {
        for (const SavedEntry& entry : obeyed) {
            if (entry.name == name && entry.present)
                return entry.value;
        }
        return std::string();
    };
    std::string portText = std::to_string(port);
    std::vector<std::string> faults;
    if (value("network.proxy.type") != "1" || value("network.proxy.http") != LoopbackQuoted ||
        value("network.proxy.http_port") != portText)
        faults.push_back("plain pages do not go through Veilgate");
    if (value("network.proxy.ssl") != LoopbackQuoted || value("network.proxy.ssl_port") != portText)
        faults.push_back("secure pages do not go through Veilgate");
    if (value("media.peerconnection.ice.proxy_only") != "true")
        faults.push_back("WebRTC is not held to the proxy");
    if (value("network.dns.disablePrefetch") != "true")
        faults.push_back("DNS prefetching is on");
    return faults;
}

Item Firefox(ProtectionProbe& probe, const EngineState& state) {
    const char* title = "Firefox";
    if (state.enginePort == 0)
        return Make(ItemId::Firefox, title, Verdict::CouldNotCheck, "Veilgate is off.");
    std::vector<FirefoxProfile> profiles;
    if (!probe.FirefoxProfiles(profiles))
        return Make(ItemId::Firefox, title, Verdict::CouldNotCheck,
                    "The Firefox profile folders cannot be listed.");
    if (profiles.empty())
        return Make(ItemId::Firefox, title, Verdict::Ok, "No Firefox profile was found.");
    if (!probe.FirefoxConfigured())
        return Make(ItemId::Firefox, title, Verdict::Problem,
                    "Veilgate is not set to configure Firefox (its box in the browser "
                    "configuration is not ticked), so Firefox connects directly.",
                    Fix::PointFirefox);
    std::vector<std::string> problems;
    std::vector<std::string> unread;
    std::vector<std::string> restart;
    for (const FirefoxProfile& profile : profiles) {
        if (!profile.prefsRead || !profile.userJsRead) {
            unread.push_back("\"" + profile.folder + "\"");
            continue;
        }
        std::vector<std::string> faults = FirefoxFaults(profile, state.localPort);
        if (!faults.empty())
            problems.push_back("in \"" + profile.folder + "\" " + JoinNames(faults));
        else if (profile.running && profile.changedSinceStart)
            restart.push_back("\"" + profile.folder + "\"");
    }
    if (!problems.empty()) {
        return Make(ItemId::Firefox, title, Verdict::Problem, JoinNames(problems) + ".",
                    Fix::PointFirefox);
    }
    if (!restart.empty())
        return Make(ItemId::Firefox, title, Verdict::Problem,
                    "Firefox runs on " + JoinNames(restart) +
                        " and reads its new settings only when it starts: Restart Firefox.");
    if (!unread.empty())
        return Make(ItemId::Firefox, title, Verdict::CouldNotCheck,
                    "The settings of " + JoinNames(unread) + " cannot be read.");
    return Make(ItemId::Firefox, title, Verdict::Ok,
                std::to_string(profiles.size()) +
                    (profiles.size() == 1 ? " profile sends" : " profiles send") +
                    " plain and secure pages through Veilgate, with WebRTC held to the proxy "
                    "and DNS prefetching off.");
}

Item ChromeEdge(ProtectionProbe& probe) {
    const char* title = "Chrome and Edge WebRTC";
    std::vector<std::string> open;
    std::vector<std::string> fixable;
    // The user's own value would do, but Windows lets only an administrator
    // write it: the machine's policies are named instead.
    std::vector<std::string> adminOnly;
    std::string machinePolicies;
    std::vector<std::string> held;
    for (const webrtc_policy::BrowserPolicy& policy : webrtc_policy::Browsers) {
        webrtc_policy::Reading reading = probe.Policy(policy);
        if (webrtc_policy::HoldsToProxy(reading)) {
            held.push_back(policy.browser);
        } else if (reading.machineSet) {
            open.push_back(policy.browser);
        } else if (reading.userWritable) {
            fixable.push_back(policy.browser);
        } else {
            adminOnly.push_back(policy.browser);
            machinePolicies += std::string(machinePolicies.empty() ? "" : " and ") +
                               "HKEY_LOCAL_MACHINE\\" + policy.key + " " + policy.value;
        }
    }
    if (!open.empty() || !fixable.empty() || !adminOnly.empty()) {
        std::vector<std::string> all = open;
        all.insert(all.end(), fixable.begin(), fixable.end());
        all.insert(all.end(), adminOnly.begin(), adminOnly.end());
        std::string sentence = "No policy holds the WebRTC of " + JoinNames(all) +
                               " to the proxy: a page can learn your own address through it.";
        if (!open.empty())
            sentence += " Your administrator's policy for " + JoinNames(open) + " decides.";
        if (!adminOnly.empty())
            sentence += " Only an administrator may set it for " + JoinNames(adminOnly) + ": " +
                        machinePolicies + " \"" + webrtc_policy::HeldToProxy +
                        "\" (the setup program's \"Stop Chrome and Edge from showing my address "
                        "through WebRTC\").";
        return Make(ItemId::ChromeEdge, title, Verdict::Problem, sentence,
                    fixable.empty() ? Fix::None : Fix::WriteWebRtcPolicies);
    }
    return Make(ItemId::ChromeEdge, title, Verdict::Ok,
                "A policy holds the WebRTC of Chrome and Edge to the proxy.");
}

Item EngineAndProxy(ProtectionProbe& probe, const EngineState& state, const WebMeasure& web) {
    const char* title = "The engine and the proxy";
    std::string where = EngineText(state.localPort);
    if (state.enginePort == 0)
        return Make(ItemId::EngineAndProxy, title, Verdict::Problem,
                    "Veilgate is off: nothing listens for the browsers on " + where + ".");
    if (state.enginePort != state.localPort || !probe.Listens(state.localPort))
        return Make(ItemId::EngineAndProxy, title, Verdict::Problem,
                    "The engine does not answer on " + where + ", where the browsers are sent.");
    Anonymity level = AnonymityFromWord(state.level);
    std::string proxy = state.activeProxy;
    // What the page was given just now outweighs an earlier grade.
    if (web.check.outcome == CheckOutcome::Passed && web.check.level == Anonymity::Transparent)
        return Make(ItemId::EngineAndProxy, title, Verdict::Problem,
                    "The engine listens on " + where + "; its proxy " + proxy +
                        " handed your own address on just now.");
    if (level == Anonymity::Transparent)
        return Make(ItemId::EngineAndProxy, title, Verdict::Problem,
                    "The engine listens on " + where + "; its proxy " + proxy +
                        " was found Transparent in this run.");
    if (!HidesUserAddress(level))
        return Make(ItemId::EngineAndProxy, title, Verdict::CouldNotCheck,
                    "The engine listens on " + where + "; its proxy " + proxy +
                        " has not been graded by a test in this run.");
    if (web.check.outcome != CheckOutcome::Passed)
        return Make(ItemId::EngineAndProxy, title, Verdict::CouldNotCheck,
                    "The engine listens on " + where + "; its proxy " + proxy + " is " +
                        AnonymityWord(level) + ", but no page came through it now.");
    return Make(ItemId::EngineAndProxy, title, Verdict::Ok,
                "The engine listens on " + where + "; its proxy " + proxy + " is " +
                    AnonymityWord(level) + " and answered in " +
                    std::to_string(web.check.responseMs) + " ms.");
}

Item SystemPolicy(ProtectionProbe& probe) {
    const char* title = "Machine-wide proxy policy";
    bool machineWide = false;
    if (!probe.ReadMachineWideProxyPolicy(machineWide))
        return Make(ItemId::SystemPolicy, title, Verdict::CouldNotCheck,
                    "The machine's proxy policy cannot be read.");
    if (machineWide)
        return Make(ItemId::SystemPolicy, title, Verdict::Problem,
                    "A policy makes Windows' proxy settings the same for every user, so the "
                    "settings Veilgate makes for you may not be the ones used.");
    return Make(ItemId::SystemPolicy, title, Verdict::Ok,
                "No policy takes Windows' proxy settings away from you.");
}

Item Ipv6(ProtectionProbe& probe, bool webRtcHeld) {
    const char* title = "IPv6";
    std::vector<std::string> global;
    for (const std::string& address : probe.InterfaceAddresses()) {
        if (IsGlobalIpv6(address))
            global.push_back(address);
    }
    if (global.empty())
        return Make(ItemId::Ipv6, title, Verdict::Ok, "This computer has no global IPv6 address.");
    std::string sentence = "This computer has the global IPv6 address " + global.front();
    if (webRtcHeld)
        return Make(ItemId::Ipv6, title, Verdict::Ok,
                    sentence +
                        "; with WebRTC held to the proxy in every browser it does not "
                        "reach a site.");
    return Make(ItemId::Ipv6, title, Verdict::Problem,
                sentence +
                    ", which a page could learn through WebRTC (see the Firefox and "
                    "Chrome and Edge items).");
}

}  // namespace

const char* VerdictWord(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok:
        return "OK";
    case Verdict::Problem:
        return "Problem";
    default:
        return "Could not check";
    }
}

bool IsGlobalIpv6(const std::string& address) {
    if (address.find(':') == std::string::npos || address.size() < 4)
        return false;
    // 2000::/3: the first group is 2xxx or 3xxx, written with all four digits.
    size_t firstColon = address.find(':');
    if (firstColon != 4)
        return false;
    return address[0] == '2' || address[0] == '3';
}

std::vector<Item> CheckProtection(ProtectionProbe& probe, const EngineState& state) {
    WebMeasure web;
    web.direct = probe.AskDirectly(web.own);
    if (state.enginePort != 0)
        web.check = probe.AskThroughEngine(web.own, state.enginePort, web.secureTarget);
    std::vector<Item> items;
    items.push_back(WebSees(state, web));
    items.push_back(SecurePages(state, web));
    items.push_back(Connections(probe, state));
    items.push_back(Firefox(probe, state));
    items.push_back(ChromeEdge(probe));
    items.push_back(EngineAndProxy(probe, state, web));
    items.push_back(SystemPolicy(probe));
    // Firefox's WebRTC counts as held when no profile exists either.
    bool webRtcHeld = items[3].verdict == Verdict::Ok && items[4].verdict == Verdict::Ok;
    items.push_back(Ipv6(probe, webRtcHeld));
    return items;
}

std::string ReportText(const std::vector<Item>& items) {
    std::string text = "Veilgate: Check My Protection\r\n";
    for (const Item& item : items)
        text += "\r\n" + item.title + ": " + VerdictWord(item.verdict) + "\r\n" + item.sentence +
                "\r\n";
    return text;
}

}  // namespace protection
