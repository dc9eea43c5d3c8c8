// The Opera routines with the real registry and ini files of the test prefix.
#include <gtest/gtest.h>

#include "browsers/engine_ports.h"
#include "browsers/file_record.h"
#include "browsers/opera_win.h"
#include "browsers/profile_folders_win.h"
#include "browsers_test_support.h"
#include "registry_test_support.h"
#include "temp_folder.h"

namespace {

using namespace testing_support;

const char Ini[] = "[Proxy]\r\nUse HTTP=0\r\n[User Prefs]\r\nHome URL=http://start.example/\r\n";

std::string Entry(const std::string& path, const char* section, const char* key) {
    char value[256] = {};
    GetPrivateProfileStringA(section, key, "<none>", value, sizeof(value), path.c_str());
    return value;
}

// Each file's two proxy switches at `use`, both servers the local port.
void ExpectProxyEntries(const std::vector<std::string>& paths, const char* use) {
    for (const std::string& path : paths) {
        EXPECT_EQ(use, Entry(path, "Proxy", "Use HTTP")) << path;
        EXPECT_EQ("127.0.0.1:8765", Entry(path, "Proxy", "HTTP Server")) << path;
        EXPECT_EQ(use, Entry(path, "Proxy", "Use HTTPS")) << path;
        EXPECT_EQ("127.0.0.1:8765", Entry(path, "Proxy", "HTTPS Server")) << path;
    }
}

class OperaTest : public testing::Test {
protected:
    void SetUp() override {
        Clean();
        WriteDword(ProductRoot, ProductKey, "LocalPort", 8765);
    }
    void TearDown() override { Clean(); }

    void Clean() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, OperaAppPathsKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, OperaAppPathsKey);
        DeleteTree(ApplicationDataFolder() + "\\Opera");
        ClearBrowserSettings();
    }

    void RegisterInstallation(const std::string& folder) {
        ASSERT_TRUE(WriteText(HKEY_LOCAL_MACHINE, OperaAppPathsKey, "Path", folder));
    }

    std::string ProfileIni() {
        std::string folder = OperaProfileFolder();
        EXPECT_TRUE(MakeFolders(folder));
        std::string path = folder + "\\Opera6.ini";
        EXPECT_TRUE(WriteBytes(path, Ini));
        return path;
    }

    void EnableAll() {
        for (OperaFile file : OperaFiles)
            SetOperaProxy(file);
    }
    void RestoreAll() {
        for (OperaFile file : OperaFiles)
            DisableOperaProxy(file);
    }

    TempFolder install_;
};

TEST_F(OperaTest, EnableWritesThreeEntriesToInstallationFilesAndTwoToTheProfile) {
    RegisterInstallation(install_.Path());
    std::string ini = install_.Path() + "\\Opera6.ini";
    std::string def = install_.Path() + "\\OperaDef6.ini";
    ASSERT_TRUE(WriteBytes(ini, Ini));
    ASSERT_TRUE(WriteBytes(def, Ini));
    std::string profile = ProfileIni();
    EXPECT_EQ(ini, OperaFilePath(OperaFile::InstallationIni));
    EXPECT_EQ(def, OperaFilePath(OperaFile::InstallationDefaults));
    EXPECT_EQ(profile, OperaFilePath(OperaFile::ProfileIni));

    EnableAll();
    ExpectProxyEntries({ini, def, profile}, "1");
    EXPECT_EQ("duckduckgo.com", Entry(ini, "User Prefs", "Home URL"));
    EXPECT_EQ("duckduckgo.com", Entry(def, "User Prefs", "Home URL"));
    EXPECT_EQ("http://start.example/", Entry(profile, "User Prefs", "Home URL"));

    // The restore gives back what each file had: "Use HTTP" 0 and no other
    // proxy entry; the home page stays as enabled.
    RestoreAll();
    for (const std::string& path : {ini, def, profile}) {
        EXPECT_EQ("0", Entry(path, "Proxy", "Use HTTP")) << path;
        for (const char* key : {"HTTP Server", "Use HTTPS", "HTTPS Server"})
            EXPECT_EQ("<none>", Entry(path, "Proxy", key)) << path << " " << key;
    }
    EXPECT_EQ("duckduckgo.com", Entry(ini, "User Prefs", "Home URL"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, SavedOperaIniKey));
}

TEST_F(OperaTest, TheUsersOwnProxyComesBackAlsoAfterACrashOrWithoutARecord) {
    std::string profile = OperaProfileFolder() + "\\Opera6.ini";
    ASSERT_TRUE(MakeFolders(OperaProfileFolder()));
    ASSERT_TRUE(WriteBytes(profile,
                           "[Proxy]\r\nUse HTTP=1\r\nHTTP Server=proxy.corp:3128\r\n"
                           "HTTPS Server=\r\n"));
    EnableAll();
    ExpectProxyEntries({profile}, "1");
    // The program dies here and the next session enables again.
    EnableAll();
    RestoreAll();
    EXPECT_EQ("1", Entry(profile, "Proxy", "Use HTTP"));
    EXPECT_EQ("proxy.corp:3128", Entry(profile, "Proxy", "HTTP Server"));
    EXPECT_EQ("<none>", Entry(profile, "Proxy", "Use HTTPS"));
    EXPECT_EQ("", Entry(profile, "Proxy", "HTTPS Server"));
    // Veilgate leaves a proxy the user set up alone when it holds no record.
    DisableOperaProxy(OperaFile::ProfileIni, WithoutRecord::OnlyWhenPointedAtEngine);
    EXPECT_EQ("1", Entry(profile, "Proxy", "Use HTTP"));
    // Without a record, a file that points at the engine: both switches go off.
    EnableAll();
    RegDeleteTreeA(HKEY_CURRENT_USER, SavedOperaIniKey);
    DisableOperaProxy(OperaFile::ProfileIni, WithoutRecord::OnlyWhenPointedAtEngine);
    ExpectProxyEntries({profile}, "0");
}

TEST_F(OperaTest, APortChangeOrAnEarlierRunOnAnotherPortNeverTakesTheUsersOwn) {
    struct Case {
        const char* name;
        const char* server;    // the profile's "HTTP Server", "Use HTTP" being 1
        bool earlierRunOnIt;   // a run on port 8081 enabled before the port changed
        const char* useAfter;  // "Use HTTP" and "HTTP Server" after the restore
        const char* serverAfter;
    };
    const Case cases[] = {
        {"pointed at us on another port, no record", "127.0.0.1:8081", false, "<none>", "<none>"},
        {"pointed at us on another port, with the record", "proxy.corp:3128", true, "1",
         "proxy.corp:3128"},
        {"a loopback proxy of the user's own", "127.0.0.1:3128", false, "1", "127.0.0.1:3128"},
    };
    std::string profile = OperaProfileFolder() + "\\Opera6.ini";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        ASSERT_TRUE(MakeFolders(OperaProfileFolder()));
        ASSERT_TRUE(WriteBytes(
            profile, std::string("[Proxy]\r\nUse HTTP=1\r\nHTTP Server=") + c.server + "\r\n"));
        WriteDword(ProductRoot, ProductKey, "LocalPort", 8081);
        if (c.earlierRunOnIt)
            SetOperaProxy(OperaFile::ProfileIni);
        else
            ASSERT_TRUE(RememberEnginePort(8081));
        // The port changes while Veilgate is on (or the next run uses another).
        WriteDword(ProductRoot, ProductKey, "LocalPort", 8765);
        SetOperaProxy(OperaFile::ProfileIni);
        ExpectProxyEntries({profile}, "1");
        DisableOperaProxy(OperaFile::ProfileIni, WithoutRecord::OnlyWhenPointedAtEngine);
        EXPECT_EQ(c.useAfter, Entry(profile, "Proxy", "Use HTTP"));
        EXPECT_EQ(c.serverAfter, Entry(profile, "Proxy", "HTTP Server"));
        EXPECT_EQ("<none>", Entry(profile, "Proxy", "Use HTTPS"));
    }
}

TEST_F(OperaTest, WithoutTheInstallationKeyNothingIsWrittenOrCreated) {
    EnableAll();
    RestoreAll();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, OperaAppPathsKey));
    EXPECT_EQ("", OperaFilePath(OperaFile::InstallationIni));
    EXPECT_FALSE(Exists(ApplicationDataFolder() + "\\Opera"));
    // The profile file alone is still handled.
    std::string profile = ProfileIni();
    EnableAll();
    EXPECT_EQ("127.0.0.1:8765", Entry(profile, "Proxy", "HTTP Server"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, OperaAppPathsKey));
}

TEST_F(OperaTest, MissingFilesAreNotCreated) {
    RegisterInstallation(install_.Path());
    EnableAll();
    RestoreAll();
    EXPECT_EQ(std::vector<std::string>{}, ListNames(install_.Path()));
    EXPECT_FALSE(Exists(OperaProfileFolder()));
}

TEST_F(OperaTest, MissingProfileOnlySkipsTheProfileFile) {
    RegisterInstallation(install_.Path());
    std::string def = install_.Path() + "\\OperaDef6.ini";
    ASSERT_TRUE(WriteBytes(def, Ini));
    EnableAll();
    EXPECT_EQ("1", Entry(def, "Proxy", "Use HTTP"));
    EXPECT_FALSE(Exists(install_.Path() + "\\Opera6.ini"));
    EXPECT_FALSE(Exists(OperaProfileFolder()));
}

TEST_F(OperaTest, KeyWithoutPathMeansNoInstallationFolder) {
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, OperaAppPathsKey));
    EXPECT_EQ("", OperaFilePath(OperaFile::InstallationIni));
    EXPECT_EQ("", OperaFilePath(OperaFile::InstallationDefaults));
    EnableAll();
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, OperaAppPathsKey));
}

}  // namespace
