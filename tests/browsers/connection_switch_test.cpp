// Saving, pointing and putting back every connection's proxy options, over a
// fake of the system's per-connection options that behaves as WinINet is
// documented to: the LAN plus phone-book entries (VPN, dial-up) of their own,
// and a machine-wide policy under which a user's change is not kept.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "browsers/connection_switch.h"
#include "browsers/webrtc_policy.h"
#include "settings/memory_settings_backend.h"

namespace {

constexpr char Ours[] = "127.0.0.1:8080";
constexpr char Lan[] = "LAN";

// "flags|server|bypass|script", the four options in one line.
std::string Describe(const ConnectionOptions& o) {
    return std::to_string(o.flags) + "|" + o.proxyServer + "|" + o.proxyBypass + "|" +
           o.autoConfigUrl;
}

ConnectionOptions Parse(const std::string& text) {
    ConnectionOptions o;
    std::istringstream in(text);
    std::string flags;
    std::getline(in, flags, '|');
    std::getline(in, o.proxyServer, '|');
    std::getline(in, o.proxyBypass, '|');
    std::getline(in, o.autoConfigUrl);
    o.flags = static_cast<uint32_t>(std::stoul(flags));
    return o;
}

using State = std::map<std::string, std::string>;  // connection -> Describe()

class FakeConnections : public ConnectionSystem {
public:
    FakeConnections(const State& state, SettingsBackend& backend) : backend_(backend) {
        for (const auto& entry : state) {
            options_[entry.first] = Parse(entry.second);
            if (entry.first != Lan)
                entries_.push_back(entry.first);
        }
    }
    std::vector<std::string> PhoneBookEntries() override { return entries_; }
    std::string DefaultEntry() override { return defaultEntry; }
    bool Read(const ConnectionTarget& target, ConnectionOptions& options) override {
        auto found = options_.find(Key(target));
        if (found == options_.end())
            return false;
        options = found->second;
        return true;
    }
    bool WriteProxy(const ConnectionTarget& target, const ConnectionOptions& options) override {
        ConnectionOptions changed = options_[Key(target)];
        changed.flags = options.flags;
        changed.proxyServer = options.proxyServer;
        changed.proxyBypass = options.proxyBypass;
        return Store(target, changed);
    }
    bool Write(const ConnectionTarget& target, const ConnectionOptions& options) override {
        return Store(target, options);
    }
    void NotifyChanged() override { ++notifications; }

    State Now() const {
        State state;
        for (const auto& entry : options_)
            state[entry.first] = Describe(entry.second);
        return state;
    }

    // Under ProxySettingsPerUser 0 the call may succeed while the machine's
    // settings stay in force.
    bool machineWide = false;
    std::string refuses;  // a connection whose every change fails
    std::string defaultEntry;
    int notifications = 0;
    bool recordBeforeFirstChange = true;

private:
    static std::string Key(const ConnectionTarget& target) {
        return target.isLan ? Lan : target.name;
    }
    bool Store(const ConnectionTarget& target, const ConnectionOptions& options) {
        std::vector<SavedConnection> saved;
        if (!LoadSavedConnections(saved, backend_))
            recordBeforeFirstChange = recordBeforeFirstChange && changes_ > 0;
        ++changes_;
        if (Key(target) == refuses || !options_.count(Key(target)))
            return false;
        if (!machineWide)
            options_[Key(target)] = options;
        return true;
    }

    SettingsBackend& backend_;
    std::map<std::string, ConnectionOptions> options_;
    std::vector<std::string> entries_;
    int changes_ = 0;
};

class ConnectionSwitchTest : public testing::Test {
protected:
    bool HasRecord() {
        std::vector<SavedConnection> saved;
        return LoadSavedConnections(saved, backend);
    }
    MemorySettingsBackend backend;
};

const std::string OnLan = "3|127.0.0.1:8080|local|";

// "LAN=1|||,VPN=on": connection=options, "on" standing for OnLan and "pac" for a script's.
State Connections(const std::string& text) {
    State state;
    std::istringstream in(text);
    for (std::string entry; std::getline(in, entry, ',');) {
        size_t equals = entry.find('=');
        std::string options = entry.substr(equals + 1);
        state[entry.substr(0, equals)] = options == "on"    ? OnLan
                                         : options == "pac" ? "5|||http://wpad/proxy.pac"
                                                            : options;
    }
    return state;
}

TEST_F(ConnectionSwitchTest, EachCaseBeforeWhileOnAndAfter) {
    enum Fault { None, MachineWide, VpnRefuses };
    // on and after are empty where they stay as before; record is left by a run that did not end
    // in order.
    struct Case {
        const char *name, *before, *on, *after = "", *record = "";
        Fault fault = None;
        int pointings = 1;  // more than one: the program died while on and started again
        int usedPort = 0;   // a port an earlier run pointed the connections at
        bool portChangedWhileOn = false;  // on at usedPort first, then at ours
    };
    const Case cases[] = {
        {"direct", "LAN=1|||", "LAN=on"},
        {"auto-detect", "LAN=9|||", "LAN=on"},
        {"configuration script", "LAN=pac", "LAN=3|127.0.0.1:8080|local|http://wpad/proxy.pac"},
        {"own proxy", "LAN=3|proxy.corp:3128|<local>;*.corp|", "LAN=on"},
        {"leftover at us, no record", "LAN=on", "LAN=on", "LAN=9|||"},
        {"leftover at us, the crashed run's record", "LAN=on", "LAN=on", "LAN=pac", "LAN=pac"},
        {"LAN, VPN and dial-up", "LAN=1|||,VPN=3|vpn:8080||,Dial=9|||", "LAN=on,VPN=on,Dial=on"},
        {"machine-wide policy, nothing takes", "LAN=pac,VPN=9|||", "", "", "", MachineWide},
        {"VPN refuses, LAN put back", "LAN=3|proxy.corp:3128||,VPN=9|||", "", "", "", VpnRefuses},
        {"on again after a crash", "LAN=3|proxy.corp:3128||", "LAN=on", "", "", None, 2},
        {"pointed at us on another port, no record",
         "LAN=3|127.0.0.1:8081|local|,VPN=3|LocalHost:8081||", "LAN=on,VPN=on", "LAN=9|||,VPN=9|||",
         "", None, 1, 8081},
        {"pointed at us on another port, with the record", "LAN=3|127.0.0.1:8081|local|,VPN=pac",
         "LAN=on,VPN=3|127.0.0.1:8080|local|http://wpad/proxy.pac", "LAN=pac,VPN=pac", "LAN=pac",
         None, 1, 8081},
        {"the port changed while on", "LAN=3|proxy.corp:3128|<local>|,VPN=pac",
         "LAN=on,VPN=3|127.0.0.1:8080|local|http://wpad/proxy.pac", "", "", None, 1, 8081, true},
        {"a loopback proxy of the user's own", "LAN=3|127.0.0.1:3128||", "LAN=on", "", "", None, 1,
         8081},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        backend.Clear();
        std::vector<SavedConnection> record;
        for (const auto& entry : Connections(c.record))
            record.push_back(
                {{entry.first == Lan, entry.first == Lan ? "" : entry.first}, Parse(entry.second)});
        if (!record.empty()) {
            ASSERT_TRUE(SaveConnections(record, backend));
        }
        FakeConnections system(Connections(c.before), backend);
        system.machineWide = c.fault == MachineWide;
        system.refuses = c.fault == VpnRefuses ? "VPN" : "";
        const bool takes = c.fault == None;

        if (c.portChangedWhileOn) {
            ASSERT_TRUE(
                PointConnectionsAt(system, LoopbackProxyServer(c.usedPort), "local", backend));
        } else if (c.usedPort != 0) {
            ASSERT_TRUE(RememberEnginePort(c.usedPort, backend));
        }
        for (int i = 0; i < c.pointings; ++i)
            EXPECT_EQ(takes, PointConnectionsAt(system, Ours, "local", backend));
        EXPECT_EQ(Connections(*c.on ? c.on : c.before), system.Now());
        EXPECT_TRUE(system.recordBeforeFirstChange);
        EXPECT_EQ(takes, HasRecord());
        if (takes) {
            EXPECT_TRUE(RestoreConnections(system, Ours, backend));
        }
        EXPECT_EQ(Connections(*c.after ? c.after : c.before), system.Now());
        EXPECT_FALSE(HasRecord());
        EXPECT_GT(system.notifications, 0);
    }
}

TEST_F(ConnectionSwitchTest, ARestoreWithoutARecordLeavesTheUsersOwnSettingsAlone) {
    FakeConnections system({{Lan, "5|||http://wpad/proxy.pac"}, {"VPN", OnLan}}, backend);
    EXPECT_TRUE(RestoreConnections(system, Ours, backend));
    EXPECT_EQ((State{{Lan, "5|||http://wpad/proxy.pac"}, {"VPN", "9|||"}}), system.Now());
}

TEST_F(ConnectionSwitchTest, ARecordOfAnEntryRemovedSinceIsStillForgotten) {
    std::vector<SavedConnection> record = {{{false, "Gone VPN"}, Parse("1|||")},
                                           {{true, ""}, Parse("9|||")}};
    ASSERT_TRUE(SaveConnections(record, backend));
    FakeConnections system({{Lan, OnLan}}, backend);
    EXPECT_TRUE(RestoreConnections(system, Ours, backend));
    EXPECT_EQ((State{{Lan, "9|||"}}), system.Now());
    EXPECT_FALSE(HasRecord());
}

TEST_F(ConnectionSwitchTest, GateresetUsesTheRecordOrElseWindowsDefaultEverywhere) {
    {
        SCOPED_TRACE("with a record");
        FakeConnections system({{Lan, "3|proxy.corp:3128||"}, {"VPN", "1|||"}}, backend);
        ASSERT_TRUE(PointConnectionsAt(system, Ours, "local", backend));
        EXPECT_TRUE(ResetConnections(system, backend));
        EXPECT_EQ((State{{Lan, "3|proxy.corp:3128||"}, {"VPN", "1|||"}}), system.Now());
        EXPECT_FALSE(HasRecord());
    }
    {
        SCOPED_TRACE("without one, whatever the port");
        FakeConnections system({{Lan, "3|127.0.0.1:9999|local|"}, {"VPN", "1|||"}}, backend);
        system.defaultEntry = "VPN";
        EXPECT_TRUE(ResetConnections(system, backend));
        EXPECT_EQ((State{{Lan, "9|||"}, {"VPN", "9|||"}}), system.Now());
    }
    {
        SCOPED_TRACE("a damaged one counts as none, and goes");
        FakeConnections system({{Lan, "3|proxy.corp:3128||"}}, backend);
        ASSERT_TRUE(PointConnectionsAt(system, Ours, "local", backend));
        backend.WriteText(SettingsRoot::CurrentUser, SavedConnectionsKey, "Flags0", "damaged");
        EXPECT_TRUE(ResetConnections(system, backend));
        EXPECT_EQ((State{{Lan, "9|||"}}), system.Now());
        EXPECT_FALSE(backend.KeyExists(SettingsRoot::CurrentUser, SavedConnectionsKey));
    }
}

TEST_F(ConnectionSwitchTest, TheLastPortsUsedAreKeptNewestFirst) {
    EXPECT_EQ(std::vector<int>{}, UsedEnginePorts(backend));
    for (int port = 9001; port <= 9010; ++port)
        ASSERT_TRUE(RememberEnginePort(port, backend));
    ASSERT_TRUE(RememberEnginePort(9005, backend));
    EXPECT_EQ((std::vector<int>{9005, 9010, 9009, 9008, 9007, 9006, 9004, 9003}),
              UsedEnginePorts(backend));
    EXPECT_FALSE(RememberEnginePort(0, backend));
    // A value that some other hand wrote yields only what reads as a port.
    backend.WriteText(SettingsRoot::CurrentUser, EnginePortsKey, "Ports", "8080,x,99999,,8081 ");
    EXPECT_EQ(std::vector<int>{8080}, UsedEnginePorts(backend));
    EXPECT_EQ((std::vector<int>{3128, 8080}), EnginePortsWith(3128, backend));
}

TEST_F(ConnectionSwitchTest, OnlyTheLoopbackAddressOnAUsedPortIsTheEngine) {
    const std::vector<int> ports = {8080, 8081};
    EXPECT_TRUE(IsEngineServer("127.0.0.1:8081", ports));
    EXPECT_TRUE(IsEngineServer("LOCALHOST:8080", ports));
    EXPECT_FALSE(IsEngineServer("127.0.0.1:3128", ports));
    EXPECT_FALSE(IsEngineServer("127.0.0.2:8080", ports));
    EXPECT_FALSE(IsEngineServer("http=127.0.0.1:8080", ports));
    EXPECT_FALSE(IsEngineServer("127.0.0.1:8080x", ports));
    EXPECT_EQ(0, LoopbackPort("127.0.0.1:"));
}

TEST_F(ConnectionSwitchTest, AnUnreadableConnectionChangesNothing) {
    FakeConnections system({{Lan, "9|||"}}, backend);
    system.defaultEntry = "Not in the phone book";
    EXPECT_FALSE(PointConnectionsAt(system, Ours, "local", backend));
    EXPECT_EQ((State{{Lan, "9|||"}}), system.Now());
    EXPECT_FALSE(HasRecord());
}

// Chrome's and Edge's WebRTC policies: the user's own value written only
// where no policy holds WebRTC to the proxy, and taken back by a restore.
struct PolicyCase {
    const char* what;
    const char* machine;  // nullptr: no machine value
    const char* user;     // nullptr: no user value
    bool heldBefore;
    const char* userAfterFix;  // nullptr: none
    bool heldAfterFix;
    // The user's value after the fix, changed by the user (nullptr: left as
    // the fix wrote it), and after the restore.
    const char* userChangedTo;
    const char* userAfterRestore;
};

TEST(WebRtcPolicy, FixAndRestoreTable) {
    const char* held = webrtc_policy::HeldToProxy;
    const PolicyCase cases[] = {
        {"none set: the user's value written, then removed", nullptr, nullptr, false, held, true,
         nullptr, nullptr},
        {"the user's own other value: replaced, then put back", nullptr, "default", false, held,
         true, nullptr, "default"},
        {"already held by the user: nothing written or removed", nullptr, held, true, held, true,
         nullptr, held},
        {"the machine holds it: the user's key untouched", held, nullptr, true, nullptr, true,
         nullptr, nullptr},
        {"the machine says otherwise: nothing the user's value could change", "default", nullptr,
         false, nullptr, false, nullptr, nullptr},
        {"changed by the user after the fix: left alone by the restore", nullptr, nullptr, false,
         held, true, "default_public_interface_only", "default_public_interface_only"},
    };
    for (const PolicyCase& c : cases) {
        MemorySettingsBackend backend;
        for (const webrtc_policy::BrowserPolicy& policy : webrtc_policy::Browsers) {
            if (c.machine)
                backend.WriteText(SettingsRoot::LocalMachine, policy.key, policy.value, c.machine);
            if (c.user)
                backend.WriteText(SettingsRoot::CurrentUser, policy.key, policy.value, c.user);
        }
        auto user = [&backend](const webrtc_policy::BrowserPolicy& policy) {
            std::string value;
            return backend.ReadText(SettingsRoot::CurrentUser, policy.key, policy.value, value)
                       ? value
                       : std::string("(none)");
        };
        auto text = [](const char* value) { return std::string(value ? value : "(none)"); };
        for (const webrtc_policy::BrowserPolicy& policy : webrtc_policy::Browsers)
            EXPECT_EQ(c.heldBefore,
                      webrtc_policy::HoldsToProxy(webrtc_policy::Read(policy, backend)))
                << c.what << " " << policy.browser;
        EXPECT_TRUE(webrtc_policy::WriteUsersOwn(backend)) << c.what;
        for (const webrtc_policy::BrowserPolicy& policy : webrtc_policy::Browsers) {
            EXPECT_EQ(text(c.userAfterFix == nullptr ? c.user : c.userAfterFix), user(policy))
                << c.what << " " << policy.browser;
            EXPECT_EQ(c.heldAfterFix,
                      webrtc_policy::HoldsToProxy(webrtc_policy::Read(policy, backend)))
                << c.what;
            if (c.userChangedTo)
                backend.WriteText(SettingsRoot::CurrentUser, policy.key, policy.value,
                                  c.userChangedTo);
        }
        // Twice, as EXIT after an untick does: the second finds nothing to do.
        EXPECT_TRUE(webrtc_policy::RemoveWritten(backend)) << c.what;
        EXPECT_TRUE(webrtc_policy::RemoveWritten(backend)) << c.what;
        for (const webrtc_policy::BrowserPolicy& policy : webrtc_policy::Browsers)
            EXPECT_EQ(text(c.userAfterRestore), user(policy)) << c.what << " " << policy.browser;
        EXPECT_FALSE(
            backend.KeyExists(SettingsRoot::CurrentUser, webrtc_policy::SavedWebRtcPoliciesKey))
            << c.what;
    }
}

// A backend whose policy keys only an administrator may write, as Windows
// has them for a standard user.
class PoliciesReadOnly : public MemorySettingsBackend {
public:
    bool WriteDword(SettingsRoot root, const std::string& key, const std::string& name,
                    uint32_t value) override {
        return key.compare(0, 18, "Software\\Policies\\") != 0 &&
               MemorySettingsBackend::WriteDword(root, key, name, value);
    }
};

TEST(WebRtcPolicy, TheUsersKeyIsTriedAndLeftAsItWas) {
    MemorySettingsBackend writable;
    PoliciesReadOnly readOnly;
    writable.WriteText(SettingsRoot::CurrentUser, "Software\\Policies\\Google\\Chrome", "Other",
                       "1");
    EXPECT_TRUE(webrtc_policy::ReadAndTryWrite(webrtc_policy::Chrome, writable).userWritable);
    EXPECT_TRUE(webrtc_policy::ReadAndTryWrite(webrtc_policy::Edge, writable).userWritable);
    EXPECT_FALSE(webrtc_policy::ReadAndTryWrite(webrtc_policy::Edge, readOnly).userWritable);
    std::vector<StoredValue> values;
    ASSERT_TRUE(writable.ListValues(SettingsRoot::CurrentUser, webrtc_policy::Chrome.key, values));
    EXPECT_EQ(1u, values.size());
    EXPECT_FALSE(writable.KeyExists(SettingsRoot::CurrentUser, "Software\\Policies\\Microsoft"));
    // Where the user's value would not count, nothing is tried.
    writable.WriteText(SettingsRoot::LocalMachine, webrtc_policy::Edge.key,
                       webrtc_policy::Edge.value, "default");
    EXPECT_FALSE(webrtc_policy::ReadAndTryWrite(webrtc_policy::Edge, writable).userWritable);
}

}  // namespace
