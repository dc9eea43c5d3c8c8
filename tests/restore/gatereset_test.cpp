// The real Gatereset.exe in the test prefix: the main program (a stand-in)
// stopped, the Internet settings and the Mozilla-family files reset, the poll
// shown and answered "No", exit code 0.
#include <gtest/gtest.h>

#include <windows.h>

#include "browsers/webrtc_policy.h"
#include "browsers/connection_options_win.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/opera_win.h"
#include "browsers/profile_folders_win.h"
#include "registry_test_support.h"
#include "restore/process_list_win.h"
#include "restore_test_support.h"
#include "wait_for.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

const std::string ProxiedPrefs =
    "user_pref(\"a\", 1);\r\n"
    "user_pref(\"media.peerconnection.ice.proxy_only\", true);\r\n"
    "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n"
    "user_pref(\"network.proxy.http_port\", 8080);\r\n"
    "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");\r\n"
    "user_pref(\"network.proxy.ssl_port\", 8080);\r\n"
    "user_pref(\"network.proxy.type\", 1);\r\n";
const std::string RestoredPrefs =
    "user_pref(\"a\", 1);\r\n"
    "\r\n"
    "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n"
    "\r\n"
    "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");\r\n"
    "\r\n"
    "\r\n";
const std::string PlainPrefs = "user_pref(\"browser.startup.page\", 0);\r\n";

HWND PollWindowOf(DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, "Veilgate Online Poll"))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

class GateresetTest : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    void Clean() {
        DeleteTree(ApplicationDataFolder() + "\\Mozilla");
        DeleteTree(ApplicationDataFolder() + "\\Opera");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, OperaAppPathsKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, SavedConnectionsKey);
        ClearBrowserSettings();
    }

    // Runs Gatereset, answers "No" once the poll shows, and checks that it
    // ends with 0. `beforeAnswer` runs while the poll is up.
    template <typename Check>
    void RunAndAnswerNo(Check beforeAnswer) {
        DWORD id = processes_.Start(FromBuildPath(GATERESET_EXE));
        ASSERT_NE(0u, id) << "error " << GetLastError();
        HWND poll = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (poll = PollWindowOf(id)) != nullptr; }, 30s))
            << "exit code " << processes_.WaitForExit(id, 0);
        beforeAnswer();
        PostMessageA(poll, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(poll, IDCANCEL)));
        EXPECT_EQ(0, processes_.WaitForExit(id, 20000));
        EXPECT_EQ(0u, FindFirstProcessNamed("winebrowser")) << "the poll page was opened";
    }

    StartedProcesses processes_;
};

TEST_F(GateresetTest, StopsTheMainProgramAndResetsEveryBrowser) {
    DWORD mainProgram = processes_.StartStandIn("VeilgateStandIn.exe");
    DWORD lowerCase = processes_.StartStandIn("veilgate-helper.exe");
    ASSERT_TRUE(mainProgram && lowerCase) << mainProgram << " " << lowerCase;
    // The main program's browser choices are all off: Gatereset resets
    // every browser regardless.
    WriteDword(ProductRoot, ProductKey, "Mozilla", 0);
    InternetSettingsApi system;
    ASSERT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", system));
    ASSERT_TRUE(LanFlags() & PROXY_TYPE_PROXY);
    std::string firefox = MakePrefs(FirefoxProfileRoot(), "g.default", ProxiedPrefs);
    std::string inUse = MakePrefs(FirefoxProfileRoot(), "h.default-release", ProxiedPrefs);
    std::string mozilla = MakePrefs(MozillaProfileRoot(), "g.default", PlainPrefs);

    RunAndAnswerNo([&] {
        EXPECT_EQ(0, processes_.WaitForExit(mainProgram, 10000));
        EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT), LanFlags());
        EXPECT_EQ(RestoredPrefs, ReadBytes(firefox));
        EXPECT_EQ(RestoredPrefs, ReadBytes(inUse));
        EXPECT_EQ(PlainPrefs, ReadBytes(mozilla));
    });
    // Opera is not installed: nothing of it appears.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, OperaAppPathsKey));
    EXPECT_FALSE(Exists(ApplicationDataFolder() + "\\Opera"));
    EXPECT_TRUE(processes_.IsRunning(lowerCase));
}

TEST_F(GateresetTest, WithNothingToStopTheBrowsersAreStillReset) {
    DWORD lowerCase = processes_.StartStandIn("veilgate-helper.exe");
    ASSERT_NE(0u, lowerCase);
    std::string mozilla = MakePrefs(MozillaProfileRoot(), "g.default", ProxiedPrefs);
    RunAndAnswerNo([&] {
        EXPECT_TRUE(processes_.IsRunning(lowerCase));
        EXPECT_EQ(RestoredPrefs, ReadBytes(mozilla));
    });
}

TEST_F(GateresetTest, RestoreOnlySwitchPutsBackWhatPointsAtVeilgateAndNothingElse) {
    DWORD mainProgram = processes_.StartStandIn("VeilgateStandIn.exe");
    ASSERT_NE(0u, mainProgram);
    InternetSettingsApi system;
    ASSERT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", system));
    // A profile that the main program pointed at itself, user.js included.
    std::string pointed = MakePrefs(FirefoxProfileRoot(), "p.default", PlainPrefs);
    ASSERT_TRUE(EnableProxyInProfileTree(FirefoxProfileRoot(), 8080));
    ASSERT_TRUE(Exists(FirefoxProfileRoot() + "p.default\\user.js"));
    std::string firefox = MakePrefs(FirefoxProfileRoot(), "g.default", ProxiedPrefs);
    // Chrome's and Edge's WebRTC policies, written for the user by a fix, which
    // the check offered once it had written there and taken it back.
    ASSERT_TRUE(webrtc_policy::ReadAndTryWrite(webrtc_policy::Edge).userWritable);
    EXPECT_FALSE(DefaultSettingsBackend().ValueExists(
        SettingsRoot::CurrentUser, webrtc_policy::Edge.key, "VeilgateWriteCheck"));
    ASSERT_TRUE(webrtc_policy::WriteUsersOwn());
    ASSERT_TRUE(webrtc_policy::HoldsToProxy(webrtc_policy::Read(webrtc_policy::Edge)));
    // The user's own proxy, of which Veilgate holds no record: the
    // uninstaller's restore is not Gatereset's reset, and leaves it alone.
    const std::string ownPrefs =
        "user_pref(\"network.proxy.http\", \"proxy.corp\");\r\n"
        "user_pref(\"network.proxy.http_port\", 3128);\r\n"
        "user_pref(\"network.proxy.type\", 1);\r\n";
    std::string own = MakePrefs(FirefoxProfileRoot(), "own.default", ownPrefs);

    DWORD id = processes_.Start(FromBuildPath(GATERESET_EXE), "/restoreonly");
    ASSERT_NE(0u, id);
    // It ends on its own: no poll waits for an answer.
    EXPECT_EQ(0, processes_.WaitForExit(id, 30000));
    EXPECT_EQ(nullptr, PollWindowOf(id));
    EXPECT_TRUE(processes_.IsRunning(mainProgram));
    EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT), LanFlags());
    EXPECT_EQ(RestoredPrefs, ReadBytes(firefox));
    EXPECT_EQ(PlainPrefs, ReadBytes(pointed));
    EXPECT_FALSE(Exists(FirefoxProfileRoot() + "p.default\\user.js"));
    for (const webrtc_policy::BrowserPolicy& policy : webrtc_policy::Browsers)
        EXPECT_FALSE(webrtc_policy::Read(policy).userSet) << policy.browser;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, webrtc_policy::SavedWebRtcPoliciesKey));
    EXPECT_EQ(ownPrefs, ReadBytes(own));
}

TEST_F(GateresetTest, TheUninstallersRestoreLeavesTheUsersOwnProxyWithoutARecordAlone) {
    const char own[] = "proxy.corp.example:3128";
    ASSERT_TRUE(SetLanDirectly(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY, own));
    DWORD id = processes_.Start(FromBuildPath(GATERESET_EXE), "/restoreonly");
    ASSERT_NE(0u, id);
    EXPECT_EQ(0, processes_.WaitForExit(id, 30000));
    PerConnectionState state;
    ASSERT_TRUE(QueryLanSettings(state));
    EXPECT_TRUE(state.flags & PROXY_TYPE_PROXY);
    EXPECT_EQ(own, state.server);
    SetLanDirectly(PROXY_TYPE_DIRECT, "");
}

TEST_F(GateresetTest, TheUsersOwnProxyComesBackFromTheRecordOrElseAutomaticDetection) {
    const char own[] = "proxy.corp.example:3128";
    ASSERT_TRUE(SetLanDirectly(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY, own));
    InternetSettingsApi system;
    ASSERT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", system));
    for (int withRecord = 1; withRecord >= 0; --withRecord) {
        SCOPED_TRACE(withRecord);
        DWORD id = processes_.Start(FromBuildPath(GATERESET_EXE), "/restoreonly");
        ASSERT_NE(0u, id);
        EXPECT_EQ(0, processes_.WaitForExit(id, 30000));
        PerConnectionState state;
        ASSERT_TRUE(QueryLanSettings(state));
        if (withRecord) {
            EXPECT_TRUE(state.flags & PROXY_TYPE_PROXY);
            EXPECT_EQ(own, state.server);
        } else {
            // Wine keeps only the proxy switch of automatic detection's flags.
            EXPECT_FALSE(state.flags & PROXY_TYPE_PROXY);
        }
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SavedConnectionsKey))
            << "the record is forgotten";
        ASSERT_TRUE(SetLanDirectly(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY, "127.0.0.1:8080"));
    }
    SetLanDirectly(PROXY_TYPE_DIRECT, "");
}

}  // namespace
