// The Mozilla and Firefox routines on real prefs.js files in the profile
// folders of the test prefix.
#include <gtest/gtest.h>

#include <algorithm>

#include "browsers/prefs_text.h"
#include "browsers/engine_ports.h"
#include "browsers/file_record.h"
#include "browsers/folder_path.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/profile_folders_win.h"
#include "browsers_test_support.h"
#include "registry_test_support.h"

namespace {

using namespace testing_support;

const std::string Original =
    "# Mozilla User Preferences\r\n\r\nuser_pref(\"browser.startup.homepage\", "
    "\"about:blank\");\r\n";
// The file's own line ends (CR LF here) on every line enabling appends.
const std::string EnabledOnDisk = Original +
                                  "\r\nuser_pref(\"network.proxy.http\", \"127.0.0.1\");"
                                  "\r\nuser_pref(\"network.proxy.http_port\", 8765);"
                                  "\r\nuser_pref(\"network.proxy.type\", 1);"
                                  "\r\nuser_pref(\"network.proxy.ssl\", \"127.0.0.1\");"
                                  "\r\nuser_pref(\"network.proxy.ssl_port\", 8765);"
                                  "\r\nuser_pref(\"media.peerconnection.ice.proxy_only\", true);"
                                  "\r\nuser_pref(\"network.dns.disablePrefetch\", true);";
// What earlier builds left: their appended lines ended in CR CR LF.
const std::string OlderEnabledOnDisk =
    Original +
    "\r\r\nuser_pref(\"network.proxy.http\", \"127.0.0.1\");"
    "\r\r\nuser_pref(\"network.proxy.http_port\", 8765);"
    "\r\r\nuser_pref(\"network.proxy.type\", 1);"
    "\r\r\nuser_pref(\"network.proxy.ssl\", \"127.0.0.1\");"
    "\r\r\nuser_pref(\"network.proxy.ssl_port\", 8765);"
    "\r\r\nuser_pref(\"media.peerconnection.ice.proxy_only\", true);";
// EnabledOnDisk after a restore: the port lines empty, type, WebRTC and
// prefetch entries gone.
const std::string RestoredOnDisk = Original +
                                   "\r\nuser_pref(\"network.proxy.http\", \"127.0.0.1\");"
                                   "\r\n\r\n"
                                   "\r\nuser_pref(\"network.proxy.ssl\", \"127.0.0.1\");"
                                   "\r\n\r\n\r\n";

// The user.js that enabling makes beside it, as it reads on disk.
const std::string UserJsOnDisk = EnabledOnDisk.substr(Original.size());

std::string UserJsOf(const std::string& prefsPath) {
    return prefsPath.substr(0, prefsPath.size() - std::string("prefs.js").size()) + "user.js";
}

class MozillaPrefsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ApplicationDataFolder().empty());
        DeleteTree(ApplicationDataFolder() + "\\Mozilla");
        ClearBrowserSettings();
        WriteDword(ProductRoot, ProductKey, "LocalPort", 8765);
    }
    void TearDown() override {
        DeleteTree(ApplicationDataFolder() + "\\Mozilla");
        ClearBrowserSettings();
    }
};

TEST_F(MozillaPrefsTest, ProfileRootsLieBelowApplicationData) {
    std::string appData = ApplicationDataFolder();
    EXPECT_EQ(appData + "\\Mozilla\\Profiles\\default\\", MozillaProfileRoot());
    EXPECT_EQ(appData + "\\Mozilla\\Firefox\\Profiles\\", FirefoxProfileRoot());
    EXPECT_EQ(appData + "\\Opera\\Opera\\profile", OperaProfileFolder());
}

TEST_F(MozillaPrefsTest, PortComesFromTheDefaultWithoutTheSetting) {
    ClearBrowserSettings();
    std::string path = MakePrefs(FirefoxProfileRoot(), "p", "");
    SetFirefoxProxy();
    EXPECT_NE(std::string::npos, ReadBytes(path).find("\"network.proxy.http_port\", 8080);"));
}

TEST_F(MozillaPrefsTest, WithoutARecordRestoreEmptiesThePortLineRemovesTheTypeKeepsTheHost) {
    std::string path = MakePrefs(MozillaProfileRoot(), "x1y2.slt",
                                 "user_pref(\"a\", 1);\r\n"
                                 "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n"
                                 "user_pref(\"network.proxy.http_port\", 8765);\r\n"
                                 "user_pref(\"network.proxy.ssl_port\", 8765);\r\n"
                                 "user_pref(\"network.proxy.type\", 1);\r\n"
                                 "user_pref(\"media.peerconnection.ice.proxy_only\", true);\r\n"
                                 "user_pref(\"z\", 2);\r\n");
    DisableMozillaProxy();
    EXPECT_EQ(
        "user_pref(\"a\", 1);\r\n"
        "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n"
        "\r\n"
        "\r\n"
        "\r\n"
        "\r\n"
        "user_pref(\"z\", 2);\r\n",
        ReadBytes(path));
}

TEST_F(MozillaPrefsTest, RestoreAfterEnableOfAnUntouchedFileGivesItBackByteForByte) {
    std::string path = MakePrefs(FirefoxProfileRoot(), "q", Original);
    SetFirefoxProxy();
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, SavedMozillaPrefsKey));
    EXPECT_EQ(UserJsOnDisk, ReadBytes(UserJsOf(path)));
    DisableFirefoxProxy();
    EXPECT_EQ(Original, ReadBytes(path));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SavedMozillaPrefsKey));
    // Without the record, a file that points at the engine: the plain restore.
    SetFirefoxProxy();
    RegDeleteTreeA(HKEY_CURRENT_USER, SavedMozillaPrefsKey);
    DisableFirefoxProxy(nullptr, WithoutRecord::OnlyWhenPointedAtEngine);
    EXPECT_EQ(RestoredOnDisk, ReadBytes(path));
}

TEST_F(MozillaPrefsTest, TheUsersOwnProxyComesBackAlsoAfterACrash) {
    const std::string own = Original +
                            "user_pref(\"network.proxy.http\", \"proxy.corp\");\r\n"
                            "user_pref(\"network.proxy.http_port\", 3128);\r\n"
                            "user_pref(\"network.proxy.type\", 1);\r\n";
    std::string path = MakePrefs(FirefoxProfileRoot(), "own.default", own);
    // Veilgate holds no record of it, and leaves it alone.
    DisableFirefoxProxy(nullptr, WithoutRecord::OnlyWhenPointedAtEngine);
    EXPECT_EQ(own, ReadBytes(path));
    SetFirefoxProxy();
    std::string on = ReadBytes(path);
    EXPECT_NE(std::string::npos, on.find("\"network.proxy.http\", \"127.0.0.1\");\r\n"));
    EXPECT_NE(std::string::npos, on.find("\"network.proxy.http_port\", 8765);\r\n"));
    // The program dies here; the next session enables again over its own
    // settings, then the user unticks.
    SetFirefoxProxy();
    EXPECT_EQ(on, ReadBytes(path));
    DisableFirefoxProxy();
    EXPECT_EQ(own, ReadBytes(path));
}

// The HTTP proxy entries, one a line, as Firefox writes them.
std::string PointedAt(const std::string& host, int port) {
    return Original + "user_pref(\"network.proxy.http\", \"" + host +
           "\");\r\nuser_pref(\"network.proxy.http_port\", " + std::to_string(port) +
           ");\r\nuser_pref(\"network.proxy.type\", 1);\r\n";
}

TEST_F(MozillaPrefsTest, APortChangeOrAnEarlierRunOnAnotherPortNeverTakesTheUsersOwn) {
    struct Case {
        const char* name;
        std::string before;
        int earlierPort;      // a port an earlier run used
        bool earlierRunOnIt;  // that run enabled (and so recorded) before the port changed
        std::string after;
    };
    const std::string own = PointedAt("proxy.corp", 3128);
    const Case cases[] = {
        {"pointed at us on another port, no record", PointedAt("127.0.0.1", 8081), 8081, false,
         Original},
        {"localhost on another port, no record", PointedAt("localhost", 8081), 8081, false,
         Original},
        {"pointed at us on another port, with the record", own, 8081, true, own},
        {"a loopback proxy of the user's own", PointedAt("127.0.0.1", 3128), 8081, false,
         PointedAt("127.0.0.1", 3128)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearBrowserSettings();
        DeleteTree(ApplicationDataFolder() + "\\Mozilla");
        std::string path = MakePrefs(FirefoxProfileRoot(), "port", c.before);
        WriteDword(ProductRoot, ProductKey, "LocalPort", static_cast<DWORD>(c.earlierPort));
        if (c.earlierRunOnIt) {
            SetFirefoxProxy();
            ASSERT_NE(std::string::npos, ReadBytes(path).find(", 8081);"));
        } else {
            ASSERT_TRUE(RememberEnginePort(c.earlierPort));
        }
        // The port changes while Veilgate is on (or the next run uses another).
        WriteDword(ProductRoot, ProductKey, "LocalPort", 8765);
        SetFirefoxProxy();
        EXPECT_NE(std::string::npos, ReadBytes(path).find("\"network.proxy.http_port\", 8765);"));
        DisableFirefoxProxy(nullptr, WithoutRecord::OnlyWhenPointedAtEngine);
        EXPECT_EQ(c.after, ReadBytes(path));
        EXPECT_FALSE(Exists(UserJsOf(path)));
    }
}

TEST_F(MozillaPrefsTest, TheUsersOwnUserJsComesBackByteForByte) {
    for (const std::string& own :
         {std::string("// mine\r\nuser_pref(\"network.proxy.type\", 4);\r\n"),
          std::string("// mine\nuser_pref(\"network.proxy.type\", 4);\n")}) {
        std::string path = MakePrefs(FirefoxProfileRoot(), "js", Original);
        ASSERT_TRUE(WriteBytes(UserJsOf(path), own));
        SetFirefoxProxy();
        std::string on = ReadBytes(UserJsOf(path));
        EXPECT_NE(std::string::npos, on.find("\"network.proxy.type\", 1);"));
        // The lines added end as the file's own do.
        auto crs = [](const std::string& text) {
            return std::count(text.begin(), text.end(), '\r');
        };
        // One line for each entry: without a host entry every one is appended.
        const long added = static_cast<long>(prefs::ChangedPrefNames().size());
        EXPECT_EQ(crs(own) == 0 ? 0 : crs(own) + added, crs(on));
        DisableFirefoxProxy();
        EXPECT_EQ(own, ReadBytes(UserJsOf(path)));
    }
}

// A profile whose files keep entries in comments and strings, as users keep
// alternatives: only the entries Firefox reads are changed, every comment
// stays, and both files come back byte for byte.
TEST_F(MozillaPrefsTest, EntriesInCommentsAreNeitherReadNorChanged) {
    const std::string ownPrefs =
        Original +
        "// user_pref(\"network.proxy.type\", 1);\r\n"
        "/* user_pref(\"network.proxy.http_port\", 3128); */\r\n"
        "user_pref(\"x\", \"user_pref(\\\"network.proxy.type\\\", 2);\");\r\n";
    const std::string ownUserJs =
        "\xEF\xBB\xBFuser_pref(\"network.proxy.type\", 0);\n"
        "// user_pref(\"network.proxy.type\", 1);\n/* kept for later\n";
    std::string path = MakePrefs(FirefoxProfileRoot(), "cm", ownPrefs);
    ASSERT_TRUE(WriteBytes(UserJsOf(path), ownUserJs));
    SetFirefoxProxy();
    std::string prefsOn = ReadBytes(path);
    std::string userJsOn = ReadBytes(UserJsOf(path));
    EXPECT_TRUE(prefs::PointsAt(prefsOn, 8765)) << prefsOn;
    EXPECT_TRUE(prefs::PointsAt(userJsOn, 8765)) << userJsOn;
    EXPECT_EQ(0u, prefsOn.find(ownPrefs));
    EXPECT_EQ(0u, userJsOn.find(ownUserJs.substr(0, ownUserJs.find("/*"))));
    EXPECT_EQ("\n/* kept for later\n", userJsOn.substr(userJsOn.size() - 19));
    DisableFirefoxProxy();
    EXPECT_EQ(ownPrefs, ReadBytes(path));
    EXPECT_EQ(ownUserJs, ReadBytes(UserJsOf(path)));
}

TEST_F(MozillaPrefsTest, WhileFirefoxRunsUserJsHoldsTheChangeAndTheRestoreUntilTheNextOne) {
    std::string path = MakePrefs(FirefoxProfileRoot(), "run", Original);
    // Firefox keeps this file open, unshared, while it runs on the profile.
    HANDLE lock = CreateFileA((FirefoxProfileRoot() + "run\\parent.lock").c_str(), GENERIC_READ, 0,
                              nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    bool running = false;
    SetFirefoxProxy(nullptr, &running);
    EXPECT_TRUE(running);
    EXPECT_EQ(UserJsOnDisk, ReadBytes(UserJsOf(path)));
    running = false;
    SetFirefoxProxy(nullptr, &running);
    EXPECT_FALSE(running) << "nothing changed the second time";
    DisableFirefoxProxy(&running);
    EXPECT_TRUE(running);
    EXPECT_EQ(Original, ReadBytes(path));
    // What Firefox writes into prefs.js from memory when it ends is undone at
    // its next start.
    EXPECT_EQ(
        "\r\nuser_pref(\"network.proxy.http\", \"\");"
        "\r\nuser_pref(\"network.proxy.http_port\", 0);"
        "\r\nuser_pref(\"network.proxy.type\", 5);"
        "\r\nuser_pref(\"network.proxy.ssl\", \"\");"
        "\r\nuser_pref(\"network.proxy.ssl_port\", 0);"
        "\r\nuser_pref(\"media.peerconnection.ice.proxy_only\", false);"
        "\r\nuser_pref(\"network.dns.disablePrefetch\", false);",
        ReadBytes(UserJsOf(path)));
    CloseHandle(lock);
    running = false;
    DisableFirefoxProxy(&running);
    EXPECT_FALSE(running);
    EXPECT_FALSE(Exists(UserJsOf(path)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SavedMozillaUserJsKey));
}

TEST_F(MozillaPrefsTest, ALeftoverWithoutARecordCountsAsNoProxyEntries) {
    for (const std::string& leftover : {EnabledOnDisk, OlderEnabledOnDisk}) {
        std::string path = MakePrefs(FirefoxProfileRoot(), "left", leftover);
        SetFirefoxProxy();
        DisableFirefoxProxy();
        EXPECT_EQ(Original, ReadBytes(path));
    }
}

TEST_F(MozillaPrefsTest, EveryProfileIsEnabledOnceAndRestored) {
    // An old profile beside the one in use, whichever the listing gives first.
    std::string root = FirefoxProfileRoot();
    std::string old = MakePrefs(root, "abcd.default", Original);
    std::string inUse = MakePrefs(root, "efgh.default-release", Original);
    for (int again = 0; again < 2; ++again) {
        SetFirefoxProxy();
        EXPECT_EQ(EnabledOnDisk, ReadBytes(old)) << again;
        EXPECT_EQ(EnabledOnDisk, ReadBytes(inUse)) << again;
    }
    DisableFirefoxProxy();
    EXPECT_EQ(Original, ReadBytes(old));
    EXPECT_EQ(Original, ReadBytes(inUse));
}

TEST_F(MozillaPrefsTest, AProfileNamedOutsideTheAnsiCodePageIsFoundAndRestored) {
    // The name in UTF-8, as the programs' code page hands it to them.
    ASSERT_EQ(static_cast<UINT>(CP_UTF8), GetACP());
    std::string path =
        MakePrefs(FirefoxProfileRoot(), "\xe5\xb1\xb1\xe7\x94\xb0.\xc5\x81ukasz", Original);
    SetFirefoxProxy();
    EXPECT_EQ(EnabledOnDisk, ReadBytes(path));
    DisableFirefoxProxy();
    EXPECT_EQ(Original, ReadBytes(path));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SavedMozillaPrefsKey));
}

// Only a profile's own prefs.js: one in a folder inside a profile (an
// extension's, a cache's) is never found, nor changed.
TEST_F(MozillaPrefsTest, FilesAreFoundAtEachProfilesRootAndTheRootLastNeverDeeper) {
    std::string root = FirefoxProfileRoot();
    std::string profile = MakePrefs(root, "ab.default", Original);
    std::string inExtension = MakePrefs(root, "ab.default\\extensions\\x", Original);
    std::string inStorage = MakePrefs(root, "ab.default\\storage\\default", Original);
    std::string top = MakePrefs(root, "", Original);
    std::string folder = NormaliseFolder(root);
    EXPECT_EQ((std::vector<std::string>{folder + "\\ab.default\\prefs.js", folder + "\\prefs.js"}),
              FindPrefsFiles(root));
    SetFirefoxProxy();
    EXPECT_EQ(EnabledOnDisk, ReadBytes(profile));
    EXPECT_EQ(EnabledOnDisk, ReadBytes(top));
    EXPECT_EQ(Original, ReadBytes(inExtension));
    EXPECT_EQ(Original, ReadBytes(inStorage));
}

TEST_F(MozillaPrefsTest, ReadOnlyAndLockedFilesAreLeftExactlyAsTheyWereAndTheOthersDone) {
    std::string root = MozillaProfileRoot();
    std::string readOnly = MakePrefs(root, "ro", Original);
    std::string locked = MakePrefs(root, "locked", Original);
    std::string writable = MakePrefs(root, "rw", Original);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    std::vector<std::string> unchanged;
    EXPECT_FALSE(EnableProxyInProfileTree(root, 8765, &unchanged));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    CloseHandle(lock);
    std::sort(unchanged.begin(), unchanged.end());
    EXPECT_EQ((std::vector<std::string>{locked, readOnly}), unchanged);
    for (const char* folder : {"ro", "locked"}) {
        EXPECT_EQ(Original, ReadBytes(root + folder + "\\prefs.js")) << folder;
        EXPECT_EQ(std::vector<std::string>{"prefs.js"}, ListNames(root + folder))
            << "no temporary file beside it";
    }
    EXPECT_EQ(EnabledOnDisk, ReadBytes(writable));
}

TEST_F(MozillaPrefsTest, NoProfileOrNoPrefsLeavesEverythingAsItWas) {
    EXPECT_FALSE(EnableProxyInProfileTree(FirefoxProfileRoot(), 8765));
    EXPECT_FALSE(Exists(ApplicationDataFolder() + "\\Mozilla"));
    ASSERT_TRUE(MakeFolders(MozillaProfileRoot() + "empty"));
    ASSERT_TRUE(MakeFolders(MozillaProfileRoot() + "dir\\prefs.js"));
    EXPECT_FALSE(EnableProxyInProfileTree(MozillaProfileRoot(), 8765));
    EXPECT_FALSE(DisableProxyInProfileTree(MozillaProfileRoot()));
    EXPECT_EQ(std::vector<std::string>{}, ListNames(MozillaProfileRoot() + "empty"));
}

}  // namespace
