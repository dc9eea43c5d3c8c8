// The list download and the generator request through WinINet, against the
// stand-in list service on loopback (started here as a child process) and
// with nothing listening.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>

#include "base/files.h"
#include "base/leading_number.h"
#include "base/scoped_win.h"
#include "net/socket.h"
#include "proxies/data_files.h"
#include "proxies/list_sources/sources_refresh.h"
#include "proxies/proxy_list_download_win.h"
#include "proxies/proxy_list_reply.h"
#include "list_service_win.h"
#include "registry_test_support.h"
#include "settings/maker_endpoints.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "temp_folder.h"
#include "wait_for.h"

namespace {

using testing_support::ListService;
using testing_support::TempFolder;

using namespace std::chrono_literals;

constexpr char ProxyEnable[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyEnable";

// Keeps a setting as it was found and puts it back afterwards.
class SavedText {
public:
    explicit SavedText(const char* path, SettingsRoot root = SettingsRoot::CurrentUser)
        : path_(path), root_(root) {
        SplitSettingPath(path_, key_, name_);
        present_ = DefaultSettingsBackend().ReadText(root_, key_, name_, value_);
    }
    ~SavedText() {
        if (present_) {
            DefaultSettingsBackend().WriteText(root_, key_, name_, value_);
            return;
        }
        HKEY root = root_ == SettingsRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        testing_support::DeleteValue(root, key_, name_);
    }

private:
    std::string path_, key_, name_, value_;
    SettingsRoot root_;
    bool present_ = false;
};

class ProxyListDownloadTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(network_.Ok());
        // WinINet takes the prefix's proxy settings; loopback must be reached
        // directly.
        RegDwordValue(ProxyEnable, 0, true, SettingsRoot::CurrentUser).Set(0);
        RegDwordValue(setting::ErrLogging, 0, true).Set(0);
        logPath_ = base::JoinPath(data_.Folder(), ErrorLogFile);
        base::ReadWholeFile(logPath_, logBefore_);
    }

    void TearDown() override {
        service_.Stop();
        // The error log lives in the data folder: leave it as it was.
        if (logBefore_.empty())
            DeleteFileA(logPath_.c_str());
        else
            base::ReplaceWholeFile(logPath_, logBefore_);
    }

    // Starts the service on the given list and points the program at it.
    void StartService(const std::string& list, bool rawList = false) {
        service_folder_.Write("proxies.txt", list);
        ASSERT_TRUE(service_.Start(service_folder_.File("proxies.txt"),
                                   service_folder_.File("port.txt"),
                                   service_folder_.File("requests.log"), rawList));
        RegStringValue(maker::HostSetting, "", true)
            .Set("127.0.0.1:" + std::to_string(service_.Port()));
    }

    // Points the program at a loopback port where nothing listens.
    void PointAtNothing() {
        int port = 0;
        {
            net::Socket probe = net::ListenTcp("127.0.0.1", 0, 1);
            port = net::LocalPortOf(probe);
        }
        RegStringValue(maker::HostSetting, "", true).Set("127.0.0.1:" + std::to_string(port));
    }

    std::string Requests() { return service_folder_.Read("requests.log"); }

    static bool Downloads() {
        std::string reply = "stale";
        bool downloaded = DownloadProxyList(reply);
        if (!downloaded)
            EXPECT_EQ("", reply) << "a failed download yields the empty text";
        return downloaded;
    }

    std::string ErrorLog() {
        std::string log;
        base::ReadWholeFile(logPath_, log);
        return log.substr(logBefore_.size());
    }

    net::NetworkInit network_;
    SavedText savedHost_{maker::HostSetting};
    SavedText savedAppPath_{setting::AppPath, SettingsRoot::LocalMachine};
    SavedText savedProxyEnable_{ProxyEnable};
    TempFolder data_{base::JoinPath(base::LocalAppDataFolder(), DataFolderName)};
    TempFolder service_folder_;
    ListService service_;
    std::string logPath_;
    std::string logBefore_;
};

TEST_F(ProxyListDownloadTest, ListIsDownloadedKeptAndParsed) {
    StartService("1.1.1.1:80->Germany\n2.2.2.2:8080->US <supports POST>\n\n3.3.3.3:3128->null\n");
    std::string reply;
    std::string error;
    ASSERT_TRUE(DownloadAndKeepProxyList(reply, &error)) << error;
    EXPECT_EQ(
        "1.1.1.1:80->Germany<br />2.2.2.2:8080->US <supports POST><br />"
        "3.3.3.3:3128->null<br />",
        reply);
    EXPECT_EQ(reply, data_.Read("proxylist.txt"));

    auto items = ParseProxyListReply(reply);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ("1.1.1.1:80->Germany", items[0].text);
    EXPECT_EQ(0, items[0].image);
    EXPECT_EQ(1, items[1].image);

    // A plain GET of the list path, in the program's name.
    EXPECT_NE(std::string::npos,
              Requests().find("GET /services/vg/proxy/sortedproxylist.txt Veilgate"))
        << Requests();
    EXPECT_TRUE(ErrorLog().empty());
}

TEST_F(ProxyListDownloadTest, ASourceOfTheUsersComesByteForByteFromTheWebOrAFile) {
    StartService("1.1.1.1:80->Germany\nsocks5://2.2.2.2:1080->US\n");
    std::string body;
    DownloadFailure failure = DownloadFailure::Other;
    std::string base = "http://127.0.0.1:" + std::to_string(service_.Port());
    // The query goes with the path.
    ASSERT_TRUE(DownloadListSource(base + "/lists/schemes.txt?type=all", true, body, &failure));
    EXPECT_EQ(DownloadFailure::None, failure);
    EXPECT_EQ("# Proxies, one a line\nhttp://1.1.1.1:80\nsocks5://2.2.2.2:1080\n", body);
    EXPECT_NE(std::string::npos, Requests().find("GET /lists/schemes.txt Veilgate"));

    service_folder_.Write("mine.txt", "3.3.3.3:3128\r\n");
    ASSERT_TRUE(DownloadListSource(service_folder_.File("mine.txt"), false, body, &failure));
    EXPECT_EQ("3.3.3.3:3128\r\n", body) << "line ends as they are";
    EXPECT_FALSE(DownloadListSource(service_folder_.File("missing.txt"), false, body, &failure));
    EXPECT_EQ(DownloadFailure::FileUnreadable, failure);
    EXPECT_EQ("", body);
    // A file over the 32 MiB a source may hold is given up on as it is read.
    service_folder_.Write("huge.txt", std::string((32 << 20) + 1, '1'));
    EXPECT_FALSE(DownloadListSource(service_folder_.File("huge.txt"), false, body, &failure));
    EXPECT_EQ(DownloadFailure::TooLarge, failure);
}

// A refresh over sources that answer 404, 500, a portal's sign-in page and a
// list: only the list counts, and those that failed keep what they gave.
TEST_F(ProxyListDownloadTest, ErrorStatusesAndWebPagesAreNoLists) {
    StartService("1.1.1.1:80->Germany\n");
    std::string base = "http://127.0.0.1:" + std::to_string(service_.Port());
    std::vector<ProxySource> sources;
    for (const char* path : {"/status/404", "/status/500", "/signin", "/lists/plain.txt"})
        sources.push_back({base + path, true, net::ProxyType::Http});
    SourcesRefresh refresh;
    // What each gave in an earlier refresh of this run.
    refresh.Begin(sources);
    for (size_t i = 0; i < sources.size(); ++i)
        refresh.Take(i, "2.2.2." + std::to_string(i) + ":8080\n");
    refresh.Begin(sources);
    for (size_t i = 0; i < sources.size(); ++i) {
        std::string body;
        DownloadFailure failure = DownloadFailure::Other;
        int status = 0;
        if (DownloadListSource(sources[i].location, true, body, &failure, nullptr, &status))
            refresh.Take(i, body);
        else
            refresh.Fail(i, DownloadFailureText(failure, status));
        EXPECT_EQ(i == 0 ? 404 : i == 1 ? 500 : 200, status) << sources[i].location;
    }
    ProxyUnion all = refresh.Union();
    std::vector<std::string> texts;
    for (const ListedProxy& listed : all.Proxies())
        texts.push_back(listed.text);
    EXPECT_EQ((std::vector<std::string>{"2.2.2.0:8080", "2.2.2.1:8080", "2.2.2.2:8080",
                                        "1.1.1.1:80->Germany"}),
              texts);
    std::string summary = refresh.Summary(all.Proxies().size(), false);
    EXPECT_NE(std::string::npos, summary.find("4 proxies from 4 sources; 3 sources failed"))
        << summary;
    for (const char* why :
         {"failed (HTTP 404)", "failed (HTTP 500)", "a web page, not a proxy list"})
        EXPECT_NE(std::string::npos, summary.find(why)) << summary;
    // The maker's list behind a portal: the page is no list either.
    refresh.Begin({ProxySource()});
    std::string page;
    ASSERT_TRUE(DownloadListSource(base + "/signin", true, page));
    refresh.Take(0, page);
    EXPECT_EQ("the list service sent a web page, not a proxy list", refresh.FirstFailure());
}

TEST_F(ProxyListDownloadTest, LineFeedsOfTheBodyBecomeCrLfAndCrCrLfOnDisk) {
    StartService("A\nB", true);
    std::string reply;
    ASSERT_TRUE(DownloadAndKeepProxyList(reply));
    EXPECT_EQ("A\r\nB", reply);
    EXPECT_EQ("A\r\r\nB", data_.Read("proxylist.txt"));
}

TEST_F(ProxyListDownloadTest, InstalledOrNotTheCopyIsTheUsersOwn) {
    StartService("1.1.1.1:80->X\n");
    std::string besideProgram = base::JoinPath(base::ProgramFolder(), ProxyListCopyFile);
    for (const std::string& appPath : {std::string(), base::ProgramFolder()}) {
        RegStringValue(setting::AppPath, "", true, SettingsRoot::LocalMachine).Set(appPath);
        DeleteFileA(data_.File(ProxyListCopyFile).c_str());
        std::string reply;
        ASSERT_TRUE(DownloadAndKeepProxyList(reply));
        EXPECT_EQ("1.1.1.1:80->X<br />", data_.Read(ProxyListCopyFile)) << appPath;
        EXPECT_FALSE(base::FileExists(besideProgram)) << appPath;
    }
}

TEST_F(ProxyListDownloadTest, GeneratorPageIsRequestedOnAThreadOfItsOwn) {
    StartService("1.1.1.1:80->X\n");
    EXPECT_EQ(1, ProxyGeneratorRequest());

    base::ScopedHandle thread = StartProxyGeneratorRequest();
    ASSERT_TRUE(thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 30000));
    std::string requests = Requests();
    size_t first = requests.find("GET /services/vg/proxy/proxygenerator.asp Veilgate");
    ASSERT_NE(std::string::npos, first) << requests;
    EXPECT_NE(std::string::npos,
              requests.find("GET /services/vg/proxy/proxygenerator.asp Veilgate", first + 1))
        << "the thread sent the request too";
}

TEST_F(ProxyListDownloadTest, ServiceDownGivesAnEmptyReplyAndKeepsTheOldCopy) {
    data_.Write("proxylist.txt", "old copy");
    PointAtNothing();
    EXPECT_FALSE(Downloads());
    EXPECT_EQ(0, ProxyGeneratorRequest());

    std::string reply = "stale";
    ASSERT_TRUE(DownloadAndKeepProxyList(reply));
    EXPECT_EQ("", reply);
    EXPECT_EQ("old copy", data_.Read("proxylist.txt"));
    EXPECT_EQ("", ErrorLog()) << "ErrLogging is off";

    // The same after the service has been there and gone.
    StartService("1.1.1.1:80->X\n");
    service_.Stop();
    EXPECT_FALSE(Downloads());
    EXPECT_EQ(0, ProxyGeneratorRequest());
}

TEST_F(ProxyListDownloadTest, FailedDownloadIsLoggedInTheDataFolderWhenErrLoggingIsOne) {
    PointAtNothing();
    RegDwordValue(setting::ErrLogging, 0, true).Set(1);
    std::string reply;
    ASSERT_TRUE(DownloadAndKeepProxyList(reply));
    ASSERT_TRUE(DownloadAndKeepProxyList(reply));
    EXPECT_FALSE(data_.Exists("proxylist.txt"));

    std::regex line(
        "[0-9]{1,2}/[0-9]{1,2}/[0-9]{4} [0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2}"
        "\tCannot connect to server\tVG is unable to contact the proxy list\r\n");
    std::string log = ErrorLog();
    std::smatch first;
    ASSERT_TRUE(std::regex_search(log, first, line)) << log;
    std::string rest = first.suffix();
    EXPECT_TRUE(std::regex_match(rest, line)) << log;

    // A name that does not resolve is a failure like any other.
    RegStringValue(maker::HostSetting, "", true).Set("no-such-host.invalid");
    EXPECT_FALSE(Downloads());
}

TEST_F(ProxyListDownloadTest, ASilentServiceIsGivenUpOn) {
    // Connections are accepted by the system and never answered.
    net::Socket silent = net::ListenTcp("127.0.0.1", 0, 8);
    RegStringValue(maker::HostSetting, "", true)
        .Set("127.0.0.1:" + std::to_string(net::LocalPortOf(silent)));
    EXPECT_FALSE(Downloads()) << "after its time-outs, not never";
    EXPECT_EQ(0, ProxyGeneratorRequest());
}

TEST_F(ProxyListDownloadTest, EmptyReplyIsADownloadNotAFailure) {
    StartService("", true);
    RegDwordValue(setting::ErrLogging, 0, true).Set(1);
    std::string reply = "stale";
    ASSERT_TRUE(DownloadProxyList(reply));
    EXPECT_EQ("", reply);
    ASSERT_TRUE(DownloadAndKeepProxyList(reply));
    EXPECT_EQ("", reply);
    EXPECT_FALSE(data_.Exists("proxylist.txt"));
    EXPECT_EQ("", ErrorLog());
}

TEST_F(ProxyListDownloadTest, EmptyHostSettingMeansTheBuiltInHost) {
    RegStringValue(maker::HostSetting, "", true).Set("");
    EXPECT_EQ("www.veilgate.com", maker::ConfiguredHost());
    RegStringValue(maker::HostSetting, "", true).Set("127.0.0.1:1");
    EXPECT_EQ("http://127.0.0.1:1/services/whatismyip/whatismyip.asp",
              maker::AddressOf(maker::WhatIsMyIpPath));
}

}  // namespace
