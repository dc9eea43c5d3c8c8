// The real setup program and uninstaller, run silently in a Wine prefix of
// this test's own (run_install_test.sh). The tests run in the order written:
// install, upgrade, stop a running copy, uninstall.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <aclapi.h>

#include <chrono>
#include <string>

#include "base/files.h"
#include "browsers/connection_options_win.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/profile_folders_win.h"
#include "proxies/data_files.h"
#include "registry_test_support.h"
#include "restore_test_support.h"
#include "wait_for.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

constexpr char MainWindowTitle[] = "Veilgate v5.0 - Anonymity & Online Privacy";
constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veilgate";
constexpr DWORD SetupLimitMs = 180000;
const char* const ProgramFiles[] = {"Veilgate.exe", "Gatereset.exe", "help.htm", "uninstall.exe"};
const char* const StartMenuEntries[] = {"Veilgate.lnk", "Restore browser settings (Gatereset).lnk",
                                        "Veilgate Help.lnk", "Uninstall Veilgate.lnk"};

constexpr char ChromePolicyKey[] = "Software\\Policies\\Google\\Chrome";
constexpr char EdgePolicyKey[] = "Software\\Policies\\Microsoft\\Edge";
constexpr char AdministratorsEdgePolicy[] = "default_public_interface_only";

const std::string ProxiedPrefs =
    "user_pref(\"network.proxy.http\", \"127.0.0.1\");\r\n"
    "user_pref(\"network.proxy.http_port\", 8080);\r\n"
    "user_pref(\"network.proxy.type\", 1);\r\n";

constexpr char RunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Runs a command line as Windows runs a RunOnce entry; its exit code, or -1.
long RunCommandLine(const std::string& commandLine) {
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (line.empty() || !CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return std::string();
    return path;
}

std::string InstallFolder() {
    return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Veilgate";
}

std::string StartMenuFolder() {
    return ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Veilgate";
}

std::string DesktopShortcut() {
    return ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veilgate.lnk";
}

// Where earlier versions kept every user's lists.
std::string EarlierDataFolder() {
    return ShellFolder(CSIDL_COMMON_APPDATA) + "\\Veilgate";
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TextOrMissing(HKEY root, const char* key, const char* name) {
    std::string text = "<missing>";
    ReadText(root, key, name, text);
    return text;
}

// The installation's values, which only the setup program writes.
std::string MachineText(const char* name) {
    return TextOrMissing(HKEY_LOCAL_MACHINE, ProductKey, name);
}

std::string UninstallText(const char* name) {
    return TextOrMissing(HKEY_LOCAL_MACHINE, UninstallKey, name);
}

// The rights that the key's access list allows the built-in Users group.
DWORD UsersRightsOn(HKEY root, const std::string& path) {
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(users);
    DWORD rights = 0;
    if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size))
        return rights;
    for (const std::string& bytes : ReadKeyDacl(root, path).aces) {
        auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(bytes.data());
        if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            EqualSid(const_cast<DWORD*>(&ace->SidStart), users))
            rights |= ace->Mask;
    }
    return rights;
}

class InstallTest : public testing::Test {
protected:
    void SetUp() override {
        if (!getenv("VEILGATE_INSTALL_TEST_PREFIX"))
            GTEST_SKIP() << "runs only through run_install_test.sh, in a prefix of its own";
    }

    // Runs the setup program silently; its exit code, -1 when it did not end.
    long RunSetup() {
        auto started = std::chrono::steady_clock::now();
        DWORD id = processes_.Start(FromBuildPath(SETUP_EXE), "/S");
        if (id == 0) {
            ADD_FAILURE() << processes_.StartFailure();
            return -1;
        }
        long code = processes_.WaitForExit(id, SetupLimitMs);
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
        std::printf("silent install took %.1f s\n", took.count() / 1000.0);
        return code;
    }

    // The uninstaller hands over to a copy of itself in the temporary folder
    // and ends, so its work is over when the uninstall entry is gone.
    bool RunUninstall() {
        DWORD id = processes_.Start(InstallFolder() + "\\uninstall.exe", "/S");
        if (id == 0 || processes_.WaitForExit(id, SetupLimitMs) != 0)
            return false;
        return WaitFor([] { return !KeyExists(HKEY_LOCAL_MACHINE, UninstallKey); }, 120s) &&
               WaitFor([] { return !IsFolder(InstallFolder()); }, 30s);
    }

    // The installed program's main window, when it shows one in time.
    HWND MainWindowOf(DWORD processId) {
        HWND found = nullptr;
        WaitFor(
            [&] {
                HWND window = nullptr;
                while ((window = FindWindowExA(nullptr, window, nullptr, MainWindowTitle))) {
                    DWORD owner = 0;
                    GetWindowThreadProcessId(window, &owner);
                    if (owner == processId)
                        found = window;
                }
                return found != nullptr;
            },
            20s);
        // The window is there while its start-up still runs; a message it
        // answers means the start-up (and its browser changes) is over.
        DWORD_PTR ignored = 0;
        if (found)
            SendMessageTimeoutA(found, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored);
        return found;
    }

    StartedProcesses processes_;
};

TEST_F(InstallTest, SilentInstallPutsEverythingInPlace) {
    // What an earlier version left: every user could write the machine's
    // settings key, and so point its AppPath anywhere.
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, ProductKey));
    ASSERT_TRUE(WriteText(HKEY_LOCAL_MACHINE, ProductKey, "AppPath", "C:\\elsewhere\\"));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_LOCAL_MACHINE, ProductKey,
                                   "D:(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;0x2001f;;;BU)"));
    ASSERT_NE(0u, UsersRightsOn(HKEY_LOCAL_MACHINE, ProductKey));
    // An administrator's own WebRTC policy for Edge, kept to the uninstall.
    ASSERT_TRUE(WriteText(HKEY_LOCAL_MACHINE, EdgePolicyKey, "WebRtcLocalhostIpHandling",
                          AdministratorsEdgePolicy));

    ASSERT_EQ(0, RunSetup());
    std::string folder = InstallFolder();
    for (const char* file : ProgramFiles)
        EXPECT_TRUE(base::FileExists(folder + "\\" + file)) << file;
    EXPECT_FALSE(IsFolder("C:\\elsewhere"));

    EXPECT_EQ(folder + "\\", MachineText("AppPath"));
    EXPECT_EQ(folder + "\\Veilgate.exe", MachineText("AppFullPath"));
    EXPECT_EQ(folder, UninstallText("InstallLocation"));
    // The earlier grant is taken back; the administrators' entries stay.
    EXPECT_EQ(0u, UsersRightsOn(HKEY_LOCAL_MACHINE, ProductKey));
    EXPECT_FALSE(ReadKeyDacl(HKEY_LOCAL_MACHINE, ProductKey).aces.empty());

    for (const char* entry : StartMenuEntries)
        EXPECT_TRUE(base::FileExists(StartMenuFolder() + "\\" + entry)) << entry;
    EXPECT_TRUE(base::FileExists(DesktopShortcut()));

    EXPECT_EQ("Veilgate", UninstallText("DisplayName"));
    EXPECT_EQ("5.0.52", UninstallText("DisplayVersion"));
    EXPECT_EQ("Veilgate", UninstallText("Publisher"));
    EXPECT_EQ(folder + "\\Veilgate.exe,0", UninstallText("DisplayIcon"));
    EXPECT_EQ("\"" + folder + "\\uninstall.exe\"", UninstallText("UninstallString"));
    EXPECT_EQ("\"" + folder + "\\uninstall.exe\" /S", UninstallText("QuietUninstallString"));
    DWORD sizeInKb = 0;
    EXPECT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, UninstallKey, "EstimatedSize", sizeInKb));
    EXPECT_GT(sizeInKb, 100u);

    EXPECT_EQ("disable_non_proxied_udp",
              TextOrMissing(HKEY_LOCAL_MACHINE, ChromePolicyKey, "WebRtcIPHandling"));
    EXPECT_EQ(AdministratorsEdgePolicy,
              TextOrMissing(HKEY_LOCAL_MACHINE, EdgePolicyKey, "WebRtcLocalhostIpHandling"));
}

TEST_F(InstallTest, InstalledProgramKeepsTheUsersDataAndFindsHelpThroughAppPath) {
    // The same routines as the installed program's, over the same settings.
    EXPECT_EQ(base::JoinPath(base::LocalAppDataFolder(), "Veilgate") + "\\", DataFolder());
    std::string help = base::JoinPath(ProgramFilesFolder(), "help.htm");
    EXPECT_EQ(MachineText("AppPath") + "help.htm", help);
    EXPECT_TRUE(base::FileExists(help)) << help;
}

TEST_F(InstallTest, InstallOverAnInstallationKeepsTheListAndSettings) {
    const std::string list = "12.12.12.12:80->Germany\r\n";
    std::string listPath = EarlierDataFolder() + "\\MyProxies.txt";
    ASSERT_TRUE(MakeFolders(EarlierDataFolder()));
    ASSERT_TRUE(WriteBytes(listPath, list));
    WriteDword(ProductRoot, ProductKey, "LocalPort", 3128);
    // An upgrade goes where the uninstall entry says, whatever AppPath says.
    ASSERT_TRUE(WriteText(HKEY_LOCAL_MACHINE, ProductKey, "AppPath", "C:\\elsewhere\\"));

    ASSERT_EQ(0, RunSetup());
    EXPECT_EQ(list, ReadBytes(listPath));
    DWORD port = 0;
    EXPECT_TRUE(ReadDword(ProductRoot, ProductKey, "LocalPort", port));
    EXPECT_EQ(3128u, port);
    EXPECT_EQ(InstallFolder() + "\\", MachineText("AppPath"));
    EXPECT_FALSE(IsFolder("C:\\elsewhere"));
}

TEST_F(InstallTest, SetupEndsARunningCopyThroughItsExitCommandFirst) {
    DWORD standIn = processes_.Start(FromBuildPath(EXIT_WINDOW_STAND_IN_EXE));
    ASSERT_NE(0u, standIn) << processes_.StartFailure();
    ASSERT_NE(nullptr, MainWindowOf(standIn));
    ASSERT_EQ(0, RunSetup());
    // Its file name holds no "Veilgate": only its window could be found, and
    // it ends by itself only on "EXIT".
    EXPECT_EQ(0, processes_.WaitForExit(standIn, 0));
}

TEST_F(InstallTest, UninstallStopsARunningVeilgate) {
    DWORD veilgate = 0;
    // Under load the setup of the test before may still hold the file for a
    // moment after it ended.
    WaitFor([&] { return (veilgate = processes_.Start(InstallFolder() + "\\Veilgate.exe")) != 0; },
            10s);
    ASSERT_NE(0u, veilgate) << processes_.StartFailure() << "; the installed Veilgate.exe: "
                            << (base::FileExists(InstallFolder() + "\\Veilgate.exe")
                                    ? "it is there"
                                    : "it is missing");
    ASSERT_NE(nullptr, MainWindowOf(veilgate))
        << "Veilgate.exe showed no window titled \"" << MainWindowTitle << "\"";
    InternetSettingsApi system;
    ASSERT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", system));

    ASSERT_TRUE(RunUninstall());
    EXPECT_EQ(0, processes_.WaitForExit(veilgate, 0)) << "Veilgate still runs";
    EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT), LanFlags());
    // Back for the next test.
    ASSERT_EQ(0, RunSetup());
}

TEST_F(InstallTest, SilentUninstallRestoresTheBrowsersAndRemovesWhatItInstalled) {
    InternetSettingsApi system;
    ASSERT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", system));
    ASSERT_TRUE(LanFlags() & PROXY_TYPE_PROXY);
    std::string profile = FirefoxProfileRoot() + "u.default";
    ASSERT_TRUE(MakeFolders(profile));
    ASSERT_TRUE(WriteBytes(profile + "\\prefs.js", ProxiedPrefs));
    WriteText(HKEY_CURRENT_USER, RunKey, "Veilgate", "\"C:\\x\\Veilgate.exe\"");
    WriteText(HKEY_LOCAL_MACHINE, RunKey, "Veilgate", "C:\\x\\Veilgate.exe");
    std::string listPath = EarlierDataFolder() + "\\MyProxies.txt";
    // Firefox runs on a profile that Veilgate pointed at itself: its user.js
    // can only be put back once Firefox is closed.
    std::string running = FirefoxProfileRoot() + "f.default";
    ASSERT_TRUE(MakeFolders(running));
    ASSERT_TRUE(WriteBytes(running + "\\prefs.js", "user_pref(\"a\", 1);\n"));
    ASSERT_TRUE(EnableProxyInProfileTree(running, 8080));
    ASSERT_TRUE(base::FileExists(running + "\\user.js"));
    HANDLE lock = CreateFileA((running + "\\parent.lock").c_str(), GENERIC_READ, 0, nullptr,
                              CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);

    ASSERT_TRUE(RunUninstall());
    EXPECT_EQ("user_pref(\"a\", 1);\n", ReadBytes(running + "\\prefs.js"));
    EXPECT_TRUE(base::FileExists(running + "\\user.js")) << "held while Firefox runs";
    std::string finish = TextOrMissing(HKEY_CURRENT_USER, RunOnceKey, "VeilgateFirefoxRestore");
    EXPECT_LT(finish.size(), 260u);
    CloseHandle(lock);
    // The next log-on, Veilgate no longer installed, Firefox closed.
    EXPECT_EQ(0, RunCommandLine(finish)) << finish;
    EXPECT_FALSE(base::FileExists(running + "\\user.js")) << finish;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Veilgate\\SavedMozillaUserJs"));
    EXPECT_EQ(std::string::npos, finish.find(InstallFolder()));
    size_t copy = finish.find("\"", finish.find("/c"));
    ASSERT_NE(std::string::npos, copy);
    std::string copied = finish.substr(copy + 2, finish.find('"', copy + 2) - copy - 2);
    EXPECT_FALSE(base::FileExists(copied)) << "the copy goes after its run: " << copied;
    EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT), LanFlags());
    std::string prefs = ReadBytes(profile + "\\prefs.js");
    EXPECT_EQ(std::string::npos, prefs.find("network.proxy.http_port")) << prefs;
    EXPECT_EQ(std::string::npos, prefs.find("network.proxy.type")) << prefs;

    EXPECT_FALSE(IsFolder(InstallFolder()));
    EXPECT_FALSE(IsFolder(StartMenuFolder()));
    EXPECT_FALSE(base::FileExists(DesktopShortcut()));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, RunKey, "Veilgate"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, RunKey, "Veilgate"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, ProductKey, "AppPath"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, ProductKey, "AppFullPath"));
    // Only the WebRTC policy that setup wrote goes.
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, ChromePolicyKey, "WebRtcIPHandling"));
    EXPECT_EQ(AdministratorsEdgePolicy,
              TextOrMissing(HKEY_LOCAL_MACHINE, EdgePolicyKey, "WebRtcLocalhostIpHandling"));
    // A silent uninstall keeps the user's list and settings.
    EXPECT_EQ("12.12.12.12:80->Germany\r\n", ReadBytes(listPath));
    EXPECT_TRUE(ValueExists(ProductRoot, ProductKey, "LocalPort"));
}

// Last: Wine gives no key back once its owner is another account, and the
// prefix goes after the run. The machine's settings key is one whose access
// list setup cannot change, so the Users group's grant could not be taken
// back: setup installs nothing and fails.
TEST_F(InstallTest, SetupStopsWhenTheGrantCannotBeTakenBack) {
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, ProductKey));
    HANDLE opened = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &opened));
    TOKEN_PRIVILEGES restore = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    LookupPrivilegeValueA(nullptr, SE_RESTORE_NAME, &restore.Privileges[0].Luid);
    AdjustTokenPrivileges(opened, FALSE, &restore, 0, nullptr, nullptr);
    CloseHandle(opened);
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(system);
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
    ACL none;
    ASSERT_TRUE(InitializeAcl(&none, sizeof(none), ACL_REVISION));
    std::string key = "MACHINE\\SOFTWARE\\Veilgate";
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              SetNamedSecurityInfoA(&key[0], SE_REGISTRY_KEY,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                        PROTECTED_DACL_SECURITY_INFORMATION,
                                    system, nullptr, &none, nullptr));

    EXPECT_EQ(3, RunSetup());
    EXPECT_FALSE(IsFolder(InstallFolder()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
}

}  // namespace
