// "Check My Protection" over fakes of everything it reads: one table, each
// row one way the user's address could still leak (or could not be
// measured), from a machine where everything holds.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "app/protection_check.h"
#include "app/report_privacy.h"
#include "browsers/prefs_text.h"

namespace {

using protection::FirefoxProfile;
using protection::Fix;

constexpr int Port = 8080;
const char* const Judge = "<p id=\"address\">127.0.0.2</p> via: 1.1 tinyproxy";

class FakeConnections : public ConnectionSystem {
public:
    std::vector<std::string> entries;
    std::map<std::string, ConnectionOptions> options;  // "" is the LAN
    std::vector<std::string> unreadable;
    std::vector<std::string> PhoneBookEntries() override { return entries; }
    std::string DefaultEntry() override { return ""; }
    bool Read(const ConnectionTarget& target, ConnectionOptions& read) override {
        for (const std::string& name : unreadable) {
            if (name == target.name)
                return false;
        }
        read = options[target.name];
        return true;
    }
    bool WriteProxy(const ConnectionTarget&, const ConnectionOptions&) override { return false; }
    bool Write(const ConnectionTarget&, const ConnectionOptions&) override { return false; }
    void NotifyChanged() override {}
};

class FakeProbe : public protection::ProtectionProbe {
public:
    FakeProbe() {
        ConnectionOptions pointed;
        pointed.flags = proxy_type::Direct | proxy_type::Proxy;
        pointed.proxyServer = "127.0.0.1:8080";
        pointed.proxyBypass = "local";
        connections.options[""] = pointed;
        connections.options["Office VPN"] = pointed;
        connections.entries = {"Office VPN"};
        FirefoxProfile profile;
        profile.folder = "abc.default";
        profile.prefsRead = true;
        profile.prefsText = prefs::EnableProxy("user_pref(\"a\", 1);\n", Port);
        profiles = {profile};
        check.outcome = CheckOutcome::Passed;
        check.exitAddress = "127.0.0.2";
        check.level = Anonymity::Anonymous;
        check.responseMs = 42;
        check.secure = true;
        for (const webrtc_policy::BrowserPolicy& policy : webrtc_policy::Browsers) {
            webrtc_policy::Reading held;
            held.machineSet = true;
            held.machine = webrtc_policy::HeldToProxy;
            policies[policy.browser] = held;
        }
        addresses = {"192.168.1.20", "fe80::1"};
    }

    bool AskDirectly(OwnAddresses& own) override {
        own.seenDirectly = directAddress;
        own.local = addresses;
        return direct;
    }
    ProxyCheck AskThroughEngine(const OwnAddresses& own, int port,
                                std::string& secureTarget) override {
        askedPort = port;
        secureTarget = "judge.example:443";
        ProxyCheck answer = check;
        // The grade is the real one over what the page echoed.
        if (answer.outcome == CheckOutcome::Passed)
            answer.level = GradeEcho(own, echo);
        return answer;
    }
    bool Listens(int port) override { return port == listening; }
    ConnectionSystem& Connections() override { return connections; }
    bool FirefoxConfigured() override { return firefoxConfigured; }
    bool FirefoxProfiles(std::vector<FirefoxProfile>& found) override {
        found = profiles;
        return profilesListed;
    }
    webrtc_policy::Reading Policy(const webrtc_policy::BrowserPolicy& policy) override {
        return policies[policy.browser];
    }
    bool ReadMachineWideProxyPolicy(bool& machineWide) override {
        machineWide = proxyMachineWide;
        return proxyPolicyRead;
    }
    std::vector<std::string> InterfaceAddresses() override { return addresses; }

    bool direct = true;
    std::string directAddress = "127.0.0.1";
    std::string echo = Judge;
    ProxyCheck check;
    int askedPort = 0;
    int listening = Port;
    FakeConnections connections;
    bool firefoxConfigured = true;
    bool profilesListed = true;
    std::vector<FirefoxProfile> profiles;
    std::map<std::string, webrtc_policy::Reading> policies;
    bool proxyMachineWide = false;
    bool proxyPolicyRead = true;
    std::vector<std::string> addresses;
};

struct Row {
    const char* what;
    std::function<void(FakeProbe&, protection::EngineState&)> change;
    // One letter an item, in the dialog's order: O OK, P Problem, C Could
    // not check.
    const char* verdicts;
    // The item that the row is about, its fix and a part of its sentence.
    protection::ItemId item;
    Fix fix;
    const char* says;
};

char Letter(protection::Verdict verdict) {
    return verdict == protection::Verdict::Ok        ? 'O'
           : verdict == protection::Verdict::Problem ? 'P'
                                                     : 'C';
}

TEST(CheckProtection, Table) {
    using protection::ItemId;
    const Row rows[] = {
        {"everything holds", [](FakeProbe&, protection::EngineState&) {}, "OOOOOOOO",
         ItemId::WebSees, Fix::None, "saw 127.0.0.2 (Anonymous); directly it sees 127.0.0.1"},
        {"Veilgate is off", [](FakeProbe&, protection::EngineState& s) { s.enginePort = 0; },
         "PCCCOPOO", ItemId::WebSees, Fix::None, "Veilgate is off"},
        {"a transparent proxy: the page saw the user's own address",
         [](FakeProbe& p, protection::EngineState&) {
             p.echo = "<p id=\"address\">127.0.0.2</p> X-Tinyproxy: 127.0.0.1";
         },
         "POOOOPOO", ItemId::WebSees, Fix::None, "was also given your own address"},
        {"one of the machine's own addresses in the page is the user's too",
         [](FakeProbe& p, protection::EngineState&) {
             p.echo = "<p id=\"address\">127.0.0.2</p> Forwarded: for=192.168.1.20";
         },
         "POOOOPOO", ItemId::EngineAndProxy, Fix::None, "handed your own address on just now"},
        {"the page not reachable directly: nothing proves the proxy hides the user",
         [](FakeProbe& p, protection::EngineState&) {
             p.direct = false;
             p.directAddress.clear();
         },
         "COOOOOOO", ItemId::WebSees, Fix::None, "cannot be reached directly"},
        {"no answer through the engine",
         [](FakeProbe& p, protection::EngineState&) { p.check.outcome = CheckOutcome::NoAnswer; },
         "CCOOOCOO", ItemId::WebSees, Fix::None,
         "did not answer through Veilgate (127.0.0.1:8080), though it answers directly"},
        {"the proxy in use alters content",
         [](FakeProbe& p, protection::EngineState&) {
             p.check.outcome = CheckOutcome::AltersContent;
         },
         "PCOOOCOO", ItemId::WebSees, Fix::None, "(Alters content)"},
        {"no tunnel through the engine",
         [](FakeProbe& p, protection::EngineState&) { p.check.secure = false; }, "OPOOOOOO",
         ItemId::SecurePages, Fix::None, "judge.example:443 did not open"},
        {"the LAN changed behind Veilgate's back",
         [](FakeProbe& p, protection::EngineState&) {
             p.connections.options[""].flags = proxy_type::Direct;
         },
         "OOPOOOOO", ItemId::Connections, Fix::PointConnections, "The LAN does not point"},
        {"a VPN given automatic detection, which wins over the proxy",
         [](FakeProbe& p, protection::EngineState&) {
             p.connections.options["Office VPN"].flags |= proxy_type::AutoDetect;
         },
         "OOPOOOOO", ItemId::Connections, Fix::PointConnections, "\"Office VPN\" does not"},
        {"a connection pointed at another port than LocalPort",
         [](FakeProbe& p, protection::EngineState&) {
             p.connections.options["Office VPN"].proxyServer = "127.0.0.1:9090";
         },
         "OOPOOOOO", ItemId::Connections, Fix::PointConnections, "\"Office VPN\" does not"},
        {"a connection that cannot be read",
         [](FakeProbe& p, protection::EngineState&) { p.connections.unreadable = {"Office VPN"}; },
         "OOCOOOOO", ItemId::Connections, Fix::None, "\"Office VPN\" cannot be read"},
        {"a Firefox profile without the WebRTC entry",
         [](FakeProbe& p, protection::EngineState&) {
             std::string& text = p.profiles[0].prefsText;
             text.erase(text.find(prefs::ProxyOnlyKey), prefs::ProxyOnlyFragment().size() - 2);
         },
         "OOOPOOOO", ItemId::Firefox, Fix::PointFirefox, "WebRTC is not held to the proxy"},
        {"a user.js that says otherwise wins over prefs.js",
         [](FakeProbe& p, protection::EngineState&) {
             p.profiles[0].userJsText = "user_pref(\"network.dns.disablePrefetch\", false);\n";
         },
         "OOOPOOOO", ItemId::Firefox, Fix::PointFirefox, "DNS prefetching is on"},
        {"a user.js that keeps an alternative in a comment: the entry above it counts",
         [](FakeProbe& p, protection::EngineState&) {
             p.profiles[0].userJsText =
                 "user_pref(\"network.proxy.type\", 0);\n// user_pref(\"network.proxy.type\", "
                 "1);\n";
         },
         "OOOPOOOO", ItemId::Firefox, Fix::PointFirefox, "plain pages do not go through"},
        {"a later entry than ours is the one Firefox obeys",
         [](FakeProbe& p, protection::EngineState&) {
             p.profiles[0].prefsText += "\nuser_pref(\"network.proxy.type\", 0);";
         },
         "OOOPOOOO", ItemId::Firefox, Fix::PointFirefox, "plain pages do not go through"},
        {"Firefox pointed at another port",
         [](FakeProbe&, protection::EngineState& s) {
             s.localPort = 9090;
             s.enginePort = 9090;
         },
         "OOPPOPOO", ItemId::Firefox, Fix::PointFirefox, "secure pages do not go through"},
        {"Firefox runs on a profile changed since it started",
         [](FakeProbe& p, protection::EngineState&) {
             p.profiles[0].running = true;
             p.profiles[0].changedSinceStart = true;
         },
         "OOOPOOOO", ItemId::Firefox, Fix::None, "Restart Firefox"},
        {"Firefox not among the browsers Veilgate sets up",
         [](FakeProbe& p, protection::EngineState&) { p.firefoxConfigured = false; }, "OOOPOOOO",
         ItemId::Firefox, Fix::PointFirefox, "not set to configure Firefox"},
        {"a profile that cannot be read",
         [](FakeProbe& p, protection::EngineState&) { p.profiles[0].prefsRead = false; },
         "OOOCOOOO", ItemId::Firefox, Fix::None, "cannot be read"},
        {"no Firefox at all", [](FakeProbe& p, protection::EngineState&) { p.profiles.clear(); },
         "OOOOOOOO", ItemId::Firefox, Fix::None, "No Firefox profile"},
        {"no WebRTC policy: the user's own can be written",
         [](FakeProbe& p, protection::EngineState&) {
             p.policies["Edge"] = webrtc_policy::Reading();
             p.policies["Edge"].userWritable = true;
         },
         "OOOOPOOO", ItemId::ChromeEdge, Fix::WriteWebRtcPolicies, "WebRTC of Edge"},
        {"no WebRTC policy, and only an administrator may write one: the machine's is named",
         [](FakeProbe& p, protection::EngineState&) {
             p.policies["Edge"] = webrtc_policy::Reading();
         },
         "OOOOPOOO", ItemId::ChromeEdge, Fix::None,
         "HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\Edge WebRtcLocalhostIpHandling "
         "\"disable_non_proxied_udp\""},
        {"the user's own policy holds it",
         [](FakeProbe& p, protection::EngineState&) {
             webrtc_policy::Reading user;
             user.userSet = true;
             user.user = webrtc_policy::HeldToProxy;
             p.policies["Chrome"] = user;
         },
         "OOOOOOOO", ItemId::ChromeEdge, Fix::None, "holds the WebRTC"},
        {"the machine's policy lets WebRTC go direct: the user's value would not count",
         [](FakeProbe& p, protection::EngineState&) {
             p.policies["Chrome"].machine = "default";
             p.policies["Chrome"].userSet = true;
             p.policies["Chrome"].user = webrtc_policy::HeldToProxy;
         },
         "OOOOPOOO", ItemId::ChromeEdge, Fix::None, "administrator's policy for Chrome"},
        {"the engine not on LocalPort",
         [](FakeProbe& p, protection::EngineState&) { p.listening = 0; }, "OOOOOPOO",
         ItemId::EngineAndProxy, Fix::None, "does not answer on 127.0.0.1:8080"},
        {"the active proxy not graded in this run",
         [](FakeProbe&, protection::EngineState& s) { s.level.clear(); }, "OOOOOCOO",
         ItemId::EngineAndProxy, Fix::None, "has not been graded"},
        {"the active proxy graded transparent",
         [](FakeProbe&, protection::EngineState& s) { s.level = "Transparent"; }, "OOOOOPOO",
         ItemId::EngineAndProxy, Fix::None, "Transparent"},
        {"the engine's answer time", [](FakeProbe&, protection::EngineState&) {}, "OOOOOOOO",
         ItemId::EngineAndProxy, Fix::None, "Anonymous and answered in 42 ms"},
        {"a machine-wide proxy policy",
         [](FakeProbe& p, protection::EngineState&) { p.proxyMachineWide = true; }, "OOOOOOPO",
         ItemId::SystemPolicy, Fix::None, "same for every user"},
        {"a global IPv6 address with WebRTC held everywhere",
         [](FakeProbe& p, protection::EngineState&) { p.addresses.push_back("2001:db8::5"); },
         "OOOOOOOO", ItemId::Ipv6, Fix::None, "2001:db8::5; with WebRTC held"},
        {"a global IPv6 address and WebRTC open in a browser",
         [](FakeProbe& p, protection::EngineState&) {
             p.addresses.push_back("2a00:1450::1");
             p.policies["Chrome"] = webrtc_policy::Reading();
         },
         "OOOOPOOP", ItemId::Ipv6, Fix::None, "could learn through WebRTC"},
        {"a unique-local IPv6 address is no global one",
         [](FakeProbe& p, protection::EngineState&) { p.addresses.push_back("fd00::1"); },
         "OOOOOOOO", ItemId::Ipv6, Fix::None, "no global IPv6"},
    };
    for (const Row& row : rows) {
        FakeProbe probe;
        protection::EngineState state;
        state.localPort = Port;
        state.enginePort = Port;
        state.activeProxy = "127.0.0.1:8888";
        state.level = "Anonymous";
        row.change(probe, state);
        std::vector<protection::Item> items = protection::CheckProtection(probe, state);
        ASSERT_EQ(static_cast<size_t>(protection::ItemCount), items.size()) << row.what;
        std::string verdicts;
        for (const protection::Item& item : items)
            verdicts += Letter(item.verdict);
        EXPECT_EQ(row.verdicts, verdicts) << row.what;
        const protection::Item& item = items[static_cast<size_t>(row.item)];
        EXPECT_EQ(row.item, item.id) << row.what;
        EXPECT_EQ(row.fix, item.fix) << row.what << ": " << item.sentence;
        EXPECT_NE(std::string::npos, item.sentence.find(row.says))
            << row.what << ": " << item.sentence;
        if (state.enginePort != 0) {
            EXPECT_EQ(state.enginePort, probe.askedPort) << row.what;
        }
        std::string report = protection::ReportText(items);
        EXPECT_NE(std::string::npos,
                  report.find(item.title + ": " + protection::VerdictWord(item.verdict) + "\r\n" +
                              item.sentence))
            << row.what;
    }
}

// What "Copy" leaves out unless the user asks: addresses but loopback ones,
// and proxies' user names.
TEST(WithoutAddresses, Table) {
    const std::pair<const char*, const char*> rows[] = {
        {"the page saw 203.0.113.7 (Anonymous); directly it sees 198.51.100.2.",
         "the page saw [address] (Anonymous); directly it sees [address]."},
        {"Your address 2001:db8:85a3::8a2e:370:7334 and fe80::1%3 reach the web.",
         "Your address [address] and [address]%3 reach the web."},
        {"via socks5://ann@203.0.113.9:1080 on 127.0.0.1:8080 and [::1]:8080",
         "via socks5://[user name]@[address]:1080 on 127.0.0.1:8080 and [::1]:8080"},
        {"::ffff:192.0.2.1, http://u:p@h.example:80/",
         "[address], http://[user name]@h.example:80/"},
        {"At 12:30:45 on 1.2.3 the cafe at 300.1.1.1 said Add: 10.0.0.1x",
         "At 12:30:45 on 1.2.3 the cafe at 300.1.1.1 said Add: 10.0.0.1x"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.second, protection::WithoutAddresses(row.first)) << row.first;
}

}  // namespace
