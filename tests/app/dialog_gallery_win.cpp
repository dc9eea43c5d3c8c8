// Shows one dialog of the program, filled with sample data, so that
// scripts/screenshots.sh can take its picture. Usage:
//   dialog_gallery.exe NAME DONE-FILE
// Prints "x y width height" of the window once it is painted, then keeps it
// on screen until DONE-FILE exists (at most 30 seconds).
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/dialogs/about_dialog_win.h"
#include "app/dialogs/add_proxy_dialog_res.h"
#include "app/dialogs/add_proxy_dialog_win.h"
#include "app/dialogs/advanced_settings_dialog_win.h"
#include "app/dialogs/protection_dialog_win.h"
#include "app/main_window_win.h"
#include "browsers/browser_config_dialog_win.h"
#include "dialog_harness.h"
#include "net/socket.h"
#include "proxies/list_sources/proxy_sources_dialog_res.h"
#include "proxies/list_sources/proxy_sources_dialog_win.h"
#include "proxies/proxy_evaluation_dialog_res.h"
#include "proxies/proxy_evaluation_dialog_win.h"
#include "privacy/privacy_dialog_win.h"
#include "privacy/privacy_runtime_win.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// The gallery only shows the Online Privacy dialog; nothing is cleaned.
class NoCleaning : public AutoCleanWork {
public:
    void RunPass(const StopToken&) override {}
    uint32_t IntervalMinutes() override { return 0; }
};

// A report of the kind a machine gives with one connection and one browser
// policy missing, so that every kind of row shows.
class SampleProtectionWork : public ProtectionWork {
public:
    protection::EngineState CurrentState() override { return protection::EngineState(); }
    std::vector<protection::Item> Check(const protection::EngineState&,
                                        const std::atomic<bool>&) override {
        using protection::Fix;
        using protection::ItemId;
        using protection::Verdict;
        return {
            {ItemId::WebSees, "What the web sees", Verdict::Ok,
             "Through Veilgate the test page saw 81.169.140.12 (Anonymous); directly it sees "
             "203.0.113.7."},
            {ItemId::SecurePages, "Secure pages", Verdict::Ok,
             "A secure connection to www.veilgate.com:443 opened through Veilgate and "
             "81.169.140.12:3128."},
            {ItemId::Connections, "Windows' connections", Verdict::Problem,
             "\"Office VPN\" does not point at Veilgate (127.0.0.1:8080).", Fix::PointConnections},
            {ItemId::Firefox, "Firefox", Verdict::Ok,
             "2 profiles send plain and secure pages through Veilgate, with WebRTC held to the "
             "proxy and DNS prefetching off."},
            {ItemId::ChromeEdge, "Chrome and Edge WebRTC", Verdict::Problem,
             "No policy holds the WebRTC of Edge to the proxy: a page can learn your own "
             "address through it.",
             Fix::WriteWebRtcPolicies},
            {ItemId::EngineAndProxy, "The engine and the proxy", Verdict::Ok,
             "The engine listens on 127.0.0.1:8080; its proxy 81.169.140.12:3128 is Anonymous "
             "and answered in 212 ms."},
            {ItemId::SystemPolicy, "Machine-wide proxy policy", Verdict::CouldNotCheck,
             "The machine's proxy policy cannot be read."},
            {ItemId::Ipv6, "IPv6", Verdict::Problem,
             "This computer has the global IPv6 address 2001:db8::5, which a page could learn "
             "through WebRTC (see the Firefox and Chrome and Edge items)."},
        };
    }
    void ApplyFix(protection::Fix, const protection::EngineState&, std::string&) override {}
    void PointBrowsers(protection::Fix) override {}
};

bool FileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void Pump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        harness::PumpMessages();
        Sleep(20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: dialog_gallery NAME DONE-FILE\n");
        return 2;
    }
    const char* name = argv[1];
    const char* doneFile = argv[2];

    net::NetworkInit network;
    net::Socket sampleProxy;  // a reachable proxy for the evaluation dialog
    int sampleProxyPort = 0;
    NoCleaning noCleaning;
    AutoCleanThread autoClean(noCleaning);
    PrivacySettings privacySettings;
    // The main window fills itself from the settings and the list service
    // that the script has set up.
    PrivacyRuntime privacyRuntime;
    LocalProxyServer server;
    SampleProtectionWork sampleProtection;
    std::unique_ptr<ui::Dialog> dialog;
    bool maximized = !std::strcmp(name, "main_maximized");
    if (!std::strcmp(name, "main") || maximized) {
        dialog.reset(new MainWindow(server, privacyRuntime));
    } else if (!std::strcmp(name, "add_proxy")) {
        dialog.reset(new AddProxyDialog);
    } else if (!std::strcmp(name, "advanced_settings")) {
        dialog.reset(new AdvancedSettingsDialog);
    } else if (!std::strcmp(name, "protection")) {
        dialog.reset(new ProtectionDialog(sampleProtection));
    } else if (!std::strcmp(name, "about")) {
        dialog.reset(new AboutDialog);
    } else if (!std::strcmp(name, "evaluation")) {
        for (int port = 45000; port < 46000 && !sampleProxy.IsValid(); ++port) {
            sampleProxy = net::ListenTcp("127.0.0.1", port, 8);
            sampleProxyPort = port;
        }
        auto* evaluation = new ProxyEvaluationDialog;
        evaluation->SetProxyText("127.0.0.1:" + std::to_string(sampleProxyPort),
                                 "Local test proxy");
        dialog.reset(evaluation);
    } else if (!std::strcmp(name, "privacy")) {
        dialog.reset(new PrivacyDialog(privacySettings, autoClean));
    } else if (!std::strcmp(name, "browser_config")) {
        dialog.reset(new BrowserConfigDialog);
    } else if (!std::strcmp(name, "proxy_sources")) {
        SaveProxySources(
            {ProxySource(),
             {"https://lists.example.org/http.txt", true, net::ProxyType::Http},
             {"https://lists.example.org/socks5.json", true, net::ProxyType::Socks5},
             {"C:\\Users\\me\\Documents\\my-proxies.txt", false, net::ProxyType::Socks4}});
        RegStringValue(setting::JudgeUrl, "")
            .Set("http://judge.example.org/azenv.php http://127.0.0.1:1/");
        dialog.reset(new ProxySourcesDialog);
    } else {
        std::fprintf(stderr, "unknown dialog %s\n", name);
        return 2;
    }

    HWND hwnd = dialog->Create();
    if (!hwnd) {
        std::fprintf(stderr, "cannot create %s\n", name);
        return 1;
    }
    SetWindowPos(hwnd, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    if (maximized)
        ShowWindow(hwnd, SW_MAXIMIZE);
    SetForegroundWindow(hwnd);
    if (!std::strcmp(name, "add_proxy")) {
        SetDlgItemTextA(hwnd, IDC_PROXY_ADDRESS, "12.12.12.12:80");
        SetFocus(GetDlgItem(hwnd, IDC_PROXY_ADDRESS));
    } else if (!std::strcmp(name, "proxy_sources")) {
        Pump(300);
        SendDlgItemMessageA(hwnd, IDC_TEST_JUDGES, BM_CLICK, 0, 0);
    } else if (!std::strcmp(name, "evaluation")) {
        Pump(300);
        SendDlgItemMessageA(hwnd, IDC_START_TESTING, BM_CLICK, 0, 0);
    }
    Pump(1500);

    RECT rect{};
    GetWindowRect(hwnd, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    std::fflush(stdout);

    DWORD start = GetTickCount();
    while (!FileExists(doneFile) && GetTickCount() - start < 30000)
        Pump(100);
    return 0;
}
