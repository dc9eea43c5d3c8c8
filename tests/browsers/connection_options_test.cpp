// The two entry points: what reaches WinINet, the registry values they read
// and write, the browsers they choose, and the real system's settings and a
// real WinINet request through them.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "browsers/connection_options_win.h"
#include "browsers/profile_folders_win.h"
#include "browsers_test_support.h"
#include "net/socket.h"
#include "registry_test_support.h"

namespace {

using namespace testing_support;

const char RasKey[] = "SOFTWARE\\Microsoft\\RAS AutoDial\\Default";
const char OnePref[] = "user_pref(\"a\", 1);\r\n";

// One InternetSetOptionA call as the system would have seen it.
struct Call {
    DWORD option = 0;
    bool hasList = false;
    DWORD listSize = 0;
    DWORD optionError = 0;
    bool lan = false;
    std::string connection;
    std::vector<DWORD> optionIds;
    DWORD flags = 0;
    std::string server;
    std::string bypass;
    std::string script;
};

// A connection's options as the recording API holds them between calls.
struct Held {
    DWORD flags = PROXY_TYPE_DIRECT;
    std::string server, bypass, script;
};

char* GlobalText(const std::string& text) {
    char* copy = static_cast<char*>(GlobalAlloc(GMEM_FIXED, text.size() + 1));
    memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

class RecordingApi : public InternetSettingsApi {
public:
    INTERNET_PER_CONN_OPTIONA* AllocateOptions(DWORD count) override {
        if (failAllocation)
            return nullptr;
        ++allocated;
        return InternetSettingsApi::AllocateOptions(count);
    }
    void FreeOptions(INTERNET_PER_CONN_OPTIONA* options) override {
        ++freed;
        InternetSettingsApi::FreeOptions(options);
    }
    bool SetOption(DWORD option, void* buffer, DWORD length) override {
        Call call;
        call.option = option;
        if (option == INTERNET_OPTION_PER_CONNECTION_OPTION) {
            auto* list = static_cast<INTERNET_PER_CONN_OPTION_LISTA*>(buffer);
            EXPECT_EQ(sizeof(*list), length);
            call.hasList = true;
            call.listSize = list->dwSize;
            call.optionError = list->dwOptionError;
            call.lan = list->pszConnection == nullptr;
            call.connection = list->pszConnection ? list->pszConnection : "";
            for (DWORD i = 0; i < list->dwOptionCount; ++i) {
                const INTERNET_PER_CONN_OPTIONA& o = list->pOptions[i];
                call.optionIds.push_back(o.dwOption);
                if (o.dwOption == INTERNET_PER_CONN_FLAGS)
                    call.flags = o.Value.dwValue;
                if (o.dwOption == INTERNET_PER_CONN_PROXY_SERVER)
                    call.server = o.Value.pszValue;
                if (o.dwOption == INTERNET_PER_CONN_PROXY_BYPASS)
                    call.bypass = o.Value.pszValue;
                if (o.dwOption == INTERNET_PER_CONN_AUTOCONFIG_URL)
                    call.script = o.Value.pszValue;
            }
            Held& held = this->held[call.lan ? "<LAN>" : call.connection];
            held.flags = call.flags;
            held.server = call.server;
            held.bypass = call.bypass;
            if (list->dwOptionCount > 3)
                held.script = call.script;
        } else {
            EXPECT_EQ(nullptr, buffer);
            EXPECT_EQ(0u, length);
        }
        calls.push_back(call);
        return true;
    }
    // Answers from what was set, as the system would.
    bool QueryOption(DWORD option, void* buffer, DWORD* length) override {
        EXPECT_EQ(static_cast<DWORD>(INTERNET_OPTION_PER_CONNECTION_OPTION), option);
        auto* list = static_cast<INTERNET_PER_CONN_OPTION_LISTA*>(buffer);
        EXPECT_EQ(sizeof(*list), *length);
        const Held& h = held[list->pszConnection ? list->pszConnection : "<LAN>"];
        for (DWORD i = 0; i < list->dwOptionCount; ++i) {
            INTERNET_PER_CONN_OPTIONA& o = list->pOptions[i];
            if (o.dwOption == INTERNET_PER_CONN_FLAGS_UI || o.dwOption == INTERNET_PER_CONN_FLAGS)
                o.Value.dwValue = h.flags;
            if (o.dwOption == INTERNET_PER_CONN_PROXY_SERVER)
                o.Value.pszValue = GlobalText(h.server);
            if (o.dwOption == INTERNET_PER_CONN_PROXY_BYPASS)
                o.Value.pszValue = GlobalText(h.bypass);
            if (o.dwOption == INTERNET_PER_CONN_AUTOCONFIG_URL)
                o.Value.pszValue = GlobalText(h.script);
        }
        return true;
    }
    bool ListPhoneBookEntries(std::vector<std::string>& names) override {
        names = entries;
        return true;
    }
    void DebugOutput(const char* text) override { debugTexts.push_back(text); }

    std::map<std::string, Held> held;
    std::vector<std::string> entries;
    bool failAllocation = false;
    int allocated = 0;
    int freed = 0;
    std::vector<Call> calls;
    std::vector<std::string> debugTexts;
};

class ConnectionOptionsTest : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    void Clean() {
        for (const char* name :
             {"EnableAutodial", "NoNetAutodial", "EnableHttp1_1", "ProxyHttp1.1"})
            DeleteValue(HKEY_CURRENT_USER, InternetSettingsKey, name);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, RasKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, RasKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, SavedConnectionsKey);
        DeleteTree(ApplicationDataFolder() + "\\Mozilla");
        ClearBrowserSettings();
    }

    void SetAutodial(DWORD enable, DWORD noNet, const char* name) {
        ASSERT_TRUE(WriteDword(HKEY_CURRENT_USER, InternetSettingsKey, "EnableAutodial", enable));
        ASSERT_TRUE(WriteDword(HKEY_CURRENT_USER, InternetSettingsKey, "NoNetAutodial", noNet));
        ASSERT_TRUE(WriteText(HKEY_LOCAL_MACHINE, RasKey, "DefaultInternet", name));
    }

    // The connections each per-connection list went to, "<LAN>" for the LAN.
    std::vector<std::string> Targets(const RecordingApi& api) {
        std::vector<std::string> targets;
        for (const Call& call : api.calls) {
            if (call.hasList)
                targets.push_back(call.lan ? "<LAN>" : call.connection);
        }
        return targets;
    }

    DWORD InternetSettingsDword(const char* name) {
        DWORD value = 12345;
        ReadDword(HKEY_CURRENT_USER, InternetSettingsKey, name, value);
        return value;
    }
};

using Names = std::vector<std::string>;

TEST_F(ConnectionOptionsTest, EnableSendsTheThreeOptionsThenTheTwoNotifications) {
    RecordingApi api;
    EXPECT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8765", api));
    ASSERT_EQ(3u, api.calls.size());
    const Call& list = api.calls[0];
    EXPECT_EQ(75u, list.option);  // INTERNET_OPTION_PER_CONNECTION_OPTION
    EXPECT_EQ(sizeof(INTERNET_PER_CONN_OPTION_LISTA), list.listSize);
    EXPECT_EQ(0u, list.optionError);
    EXPECT_TRUE(list.lan);
    EXPECT_EQ((std::vector<DWORD>{1, 2, 3}), list.optionIds);
    EXPECT_EQ(3u, list.flags);
    EXPECT_EQ("127.0.0.1:8765", list.server);
    EXPECT_EQ("local", list.bypass);
    EXPECT_EQ(39u, api.calls[1].option);
    EXPECT_EQ(37u, api.calls[2].option);
    EXPECT_EQ(api.allocated, api.freed);
    EXPECT_EQ(1u, InternetSettingsDword("EnableHttp1_1"));
    EXPECT_EQ(12345u, InternetSettingsDword("ProxyHttp1.1"));
}

TEST_F(ConnectionOptionsTest, DisableSendsBackAllFourOptionsTheUserHad) {
    RecordingApi api;
    api.held["<LAN>"] =
        Held{PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_PROXY_URL, "", "", "http://wpad/p.pac"};
    ASSERT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", api));
    api.calls.clear();
    EXPECT_TRUE(DisableConnectionProxy(DefaultConnectionName, api));
    ASSERT_EQ(3u, api.calls.size());
    EXPECT_EQ((std::vector<DWORD>{1, 2, 3, 4}), api.calls[0].optionIds);
    EXPECT_EQ(5u, api.calls[0].flags);
    EXPECT_EQ("", api.calls[0].server);
    EXPECT_EQ("http://wpad/p.pac", api.calls[0].script);
    EXPECT_TRUE(api.calls[0].lan);
    EXPECT_EQ(39u, api.calls[1].option);
    EXPECT_EQ(37u, api.calls[2].option);
    EXPECT_EQ(1u, InternetSettingsDword("ProxyHttp1.1"));
    // The record is forgotten: a second restore has nothing to send.
    api.calls.clear();
    EXPECT_TRUE(DisableConnectionProxy(DefaultConnectionName, api));
    EXPECT_TRUE(api.calls.empty());
}

TEST_F(ConnectionOptionsTest, EveryPhoneBookEntryTheDefaultOneAndTheLan) {
    {
        SCOPED_TRACE("no entries, no default entry");
        RecordingApi enable, disable;
        SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8765", enable);
        disable.held = enable.held;
        DisableConnectionProxy(DefaultConnectionName, disable);
        EXPECT_EQ(Names{"<LAN>"}, Targets(enable));
        EXPECT_EQ(Names{"<LAN>"}, Targets(disable));
    }
    {
        SCOPED_TRACE("the machine's default entry and a VPN, whatever NoNetAutodial says");
        SetAutodial(1, 0, "My ISP");
        RecordingApi enable, disable;
        enable.entries = {"Office VPN", "My ISP"};
        SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8765", enable);
        disable.held = enable.held;
        disable.entries = enable.entries;
        DisableConnectionProxy(DefaultConnectionName, disable);
        EXPECT_EQ((Names{"My ISP", "Office VPN", "<LAN>"}), Targets(enable));
        EXPECT_EQ((Names{"My ISP", "Office VPN", "<LAN>"}), Targets(disable));
        EXPECT_EQ("127.0.0.1:8765", enable.calls[0].server);
        EXPECT_EQ("127.0.0.1:8765", enable.calls[1].server);
    }
    {
        SCOPED_TRACE("the user's own default entry before the machine's");
        ASSERT_TRUE(WriteText(HKEY_CURRENT_USER, RasKey, "DefaultInternet", "Mine"));
        RecordingApi enable;
        SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8765", enable);
        EXPECT_EQ((Names{"Mine", "<LAN>"}), Targets(enable));
    }
    // The system's own values are read, never written.
    EXPECT_EQ(1u, InternetSettingsDword("EnableAutodial"));
    EXPECT_EQ(0u, InternetSettingsDword("NoNetAutodial"));
}

TEST_F(ConnectionOptionsTest, ASetThatDoesNotTakeIsPutBackAndAnswersFalse) {
    // Under a machine-wide policy the call fails for a standard user.
    struct RefusingApi : RecordingApi {
        bool SetOption(DWORD option, void* buffer, DWORD length) override {
            auto* list = static_cast<INTERNET_PER_CONN_OPTION_LISTA*>(buffer);
            if (option == INTERNET_OPTION_PER_CONNECTION_OPTION &&
                list->pOptions[0].Value.dwValue & PROXY_TYPE_PROXY)
                return false;
            return RecordingApi::SetOption(option, buffer, length);
        }
    } api;
    WriteDword(ProductRoot, ProductKey, "Mozilla", 1);
    std::string firefox = MakePrefs(FirefoxProfileRoot(), "p.default", OnePref);
    api.held["<LAN>"] = Held{PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_DETECT, "", "", ""};
    EXPECT_FALSE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", api));
    EXPECT_EQ(static_cast<DWORD>(PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_DETECT),
              api.held["<LAN>"].flags);
    EXPECT_EQ("user_pref(\"a\", 1);\r\n", ReadBytes(firefox));
    EXPECT_EQ(12345u, InternetSettingsDword("EnableHttp1_1"));
}

TEST_F(ConnectionOptionsTest, AllocationFailureStopsBeforeEverythingElse) {
    WriteDword(ProductRoot, ProductKey, "Mozilla", 1);
    std::string prefs = MakePrefs(FirefoxProfileRoot(), "p.default", OnePref);
    RecordingApi api;
    api.failAllocation = true;
    EXPECT_FALSE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8765", api));
    EXPECT_FALSE(DisableConnectionProxy(DefaultConnectionName, api));
    EXPECT_TRUE(api.calls.empty());
    EXPECT_EQ((Names{"failed to allocat memory in SetConnectionOptions()",
                     "failed to allocat memory in DisableConnectionProxy()"}),
              api.debugTexts);
    EXPECT_EQ(12345u, InternetSettingsDword("EnableHttp1_1"));
    EXPECT_EQ(12345u, InternetSettingsDword("ProxyHttp1.1"));
    EXPECT_EQ("user_pref(\"a\", 1);\r\n", ReadBytes(prefs));
}

TEST_F(ConnectionOptionsTest, BrowserFlagsChooseTheOtherBrowsers) {
    std::string mozilla = MakePrefs(MozillaProfileRoot(), "p.default", OnePref);
    std::string firefox = MakePrefs(FirefoxProfileRoot(), "p.default", OnePref);
    const std::string untouched = ReadBytes(mozilla);
    RecordingApi api;

    SCOPED_TRACE("all flags off");
    SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", api);
    EXPECT_EQ(untouched, ReadBytes(mozilla));
    EXPECT_EQ(untouched, ReadBytes(firefox));

    SCOPED_TRACE("Netscape alone: the Mozilla profile, not Firefox");
    WriteDword(ProductRoot, ProductKey, "Netscape", 1);
    WriteDword(ProductRoot, ProductKey, "Mozilla", 2);  // only exactly 1 counts
    SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", api);
    EXPECT_NE(std::string::npos, ReadBytes(mozilla).find("\"network.proxy.type\", 1);"));
    EXPECT_EQ(untouched, ReadBytes(firefox));
    DisableConnectionProxy(DefaultConnectionName, api);
    EXPECT_EQ(std::string::npos, ReadBytes(mozilla).find("network.proxy.type"));

    SCOPED_TRACE("Mozilla: both profiles");
    WriteDword(ProductRoot, ProductKey, "Netscape", 0);
    WriteDword(ProductRoot, ProductKey, "Mozilla", 1);
    SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", api);
    EXPECT_NE(std::string::npos, ReadBytes(mozilla).find("\"network.proxy.type\", 1);"));
    EXPECT_NE(std::string::npos, ReadBytes(firefox).find("\"network.proxy.type\", 1);"));
    DisableConnectionProxy(DefaultConnectionName, api);
    EXPECT_EQ(std::string::npos, ReadBytes(firefox).find("network.proxy.type"));
}

TEST_F(ConnectionOptionsTest, ReadOnlyPrefsIsUnchangedAndTheOthersAreStillDone) {
    WriteDword(ProductRoot, ProductKey, "Mozilla", 1);
    std::string mozilla = MakePrefs(MozillaProfileRoot(), "p.default", OnePref);
    std::string firefox = MakePrefs(FirefoxProfileRoot(), "p.default", OnePref);
    const std::string original = ReadBytes(mozilla);
    SetFileAttributesA(mozilla.c_str(), FILE_ATTRIBUTE_READONLY);
    RecordingApi api;
    EXPECT_TRUE(SetConnectionOptions(DefaultConnectionName, "127.0.0.1:8080", api));
    SetFileAttributesA(mozilla.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(original, ReadBytes(mozilla));
    EXPECT_NE(std::string::npos, ReadBytes(firefox).find("\"network.proxy.type\", 1);"));
    EXPECT_EQ(1u, InternetSettingsDword("EnableHttp1_1"));
}

// A proxy stand-in on loopback: answers one request and keeps its first line.
class OneShotListener {
public:
    OneShotListener() : listener_(net::ListenTcp("127.0.0.1", 0, 4)) {
        if (listener_.IsValid())
            thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotListener() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int Port() const { return net::LocalPortOf(listener_); }
    bool Reached() const { return reached_; }
    std::string RequestLine() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requestLine_;
    }

private:
    void Serve() {
        for (int round = 0; round < 200 && !stop_; ++round) {
            if (net::WaitReadable(listener_, 50) != 1)
                continue;
            net::Socket client = net::AcceptConnection(listener_);
            if (!client.IsValid())
                continue;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
                if (net::WaitReadable(client, 5000) != 1)
                    break;
                long got = net::Receive(client, buffer, sizeof(buffer));
                if (got <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(got));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requestLine_ = request.substr(0, request.find("\r\n"));
            }
            reached_ = true;
            net::SendAll(client,
                         "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"
                         "Content-Length: 7\r\nConnection: close\r\n\r\nreached");
            client.ShutdownSend();
            return;
        }
    }

    net::NetworkInit network_;
    net::Socket listener_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> reached_{false};
    std::mutex mutex_;
    std::string requestLine_;
};

std::string FetchWithPreconfiguredSettings(const char* url) {
    HINTERNET session =
        InternetOpenA("veilgate-test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session)
        return "<no session>";
    DWORD timeout = 10000;
    InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    std::string body;
    HINTERNET request = InternetOpenUrlA(session, url, nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request) {
        char buffer[256];
        DWORD got = 0;
        while (InternetReadFile(request, buffer, sizeof(buffer), &got) && got > 0)
            body.append(buffer, got);
        InternetCloseHandle(request);
    } else {
        body = "<request failed " + std::to_string(GetLastError()) + ">";
    }
    InternetCloseHandle(session);
    return body;
}

// Wine's WinINet keeps no bypass list: it drops the option when it is set and
// reports none. Windows reports the list as it was set.
bool IsWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

TEST_F(ConnectionOptionsTest, RealSettingsReadBackAndCarryARealRequestToTheLocalPort) {
    const char own[] = "proxy.corp.example:3128";
    ASSERT_TRUE(SetLanDirectly(PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY, own));
    OneShotListener listener;
    ASSERT_NE(0, listener.Port());
    std::string server = "127.0.0.1:" + std::to_string(listener.Port());

    ASSERT_TRUE(SetConnectionOptions(DefaultConnectionName, server));
    PerConnectionState state;
    ASSERT_TRUE(QueryLanSettings(state));
    EXPECT_TRUE(state.flags & PROXY_TYPE_PROXY);
    EXPECT_EQ(server, state.server);
    EXPECT_EQ(IsWine() ? "" : "local", state.bypass);

    EXPECT_EQ("reached", FetchWithPreconfiguredSettings("http://veilgate-test.invalid/page"));
    EXPECT_TRUE(listener.Reached());
    // The request came in proxy form; Wine names the default port, Windows not.
    std::string line = listener.RequestLine();
    EXPECT_TRUE(line == "GET http://veilgate-test.invalid/page HTTP/1.1" ||
                line == "GET http://veilgate-test.invalid:80/page HTTP/1.1")
        << line;

    // The user's own proxy comes back, as after "EXIT".
    ASSERT_TRUE(DisableConnectionProxy(DefaultConnectionName));
    ASSERT_TRUE(QueryLanSettings(state));
    EXPECT_TRUE(state.flags & PROXY_TYPE_PROXY);
    EXPECT_EQ(own, state.server);
    SetLanDirectly(PROXY_TYPE_DIRECT, "");
}

}  // namespace
