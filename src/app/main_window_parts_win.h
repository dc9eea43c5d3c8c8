// What the main window's files share: the messages the window posts to
// itself, and its helpers for the browsers and the dialogs.
#pragma once

#include "app/main_window_win.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/add_proxy_dialog_win.h"
#include "engine/upstream_settings.h"
#include "browsers/connection_options_win.h"
#include "proxies/proxy_evaluation_dialog_win.h"

namespace main_window {

// Posted when rows came, so that the columns are measured once all of a
// fill's rows are in.
constexpr UINT ResizeColumnsMessage = WM_APP + 40;
// Posted from a connection's thread when the engine has moved to a failover
// candidate; lParam: the EngineSwitch, which the window takes.
constexpr UINT FailedOverMessage = WM_APP + 41;
// Posted once the browsers are switched on, so that a failure to start the
// watcher is told after the switch and holds nothing.
constexpr UINT TellIfUnwatchedMessage = WM_APP + 42;
// Posted from WM_DPICHANGED: the layout is taken again once the dialog
// manager has placed the controls for the new DPI.
constexpr UINT RetakeLayoutMessage = WM_APP + 43;
// Posted while items wait to go into the proxy selector: one step of them.
constexpr UINT FillSelectorMessage = WM_APP + 44;
// Posted from the list file's writer when "MyProxies.txt" could not be
// written; lParam: the error text, which the window takes.
constexpr UINT ListSaveFailedMessage = WM_APP + 45;
// Posted while rows of "MyProxies.txt" wait to go into the list: one step of
// them, as long as this.
constexpr UINT ListRowsMessage = WM_APP + 46;
constexpr auto ListRowsStepTime = std::chrono::milliseconds(40);
constexpr char SwitchingOnText[] = "Switching on...";
constexpr char SwitchingOffText[] = "Switching off...";

struct EngineSwitch {
    UpstreamCandidate from;
    UpstreamCandidate to;
};

// The window's own DPI: that of its monitor for a per-monitor aware
// program on Windows 10 1607 and later, where the device context still
// answers the system's; the system's before.
int WindowDpi(HWND window);

}  // namespace main_window

// The browsers' settings through the browser configuration, switched on a
// worker (browser_switch_win.h) and watched from outside while they point
// at the engine.
class MainWindow::Browsers : public BrowserSettings {
public:
    explicit Browsers(MainWindow& owner) : owner_(owner) {}
    bool PointAt(const std::string& proxyServer,
                 std::vector<std::string>& unchangedFirefoxProfiles) override {
        firefoxRunning_ = false;
        owner_.SetStatusLine(main_window::SwitchingOnText);
        owner_.Repaint();
        owner_.selfWatch_.BrowsingOn();
        bool took = owner_.switch_.Run(owner_.Hwnd(), [&] {
            return SetConnectionOptions(DefaultConnectionName, proxyServer,
                                        SystemInternetSettings(), &unchangedFirefoxProfiles,
                                        &firefoxRunning_);
        });
        // Every browser is then as it was.
        if (!took)
            owner_.selfWatch_.BrowsingOff();
        else
            PostMessageA(owner_.Hwnd(), main_window::TellIfUnwatchedMessage, 0, 0);
        owner_.AfterSwitch();
        return took;
    }
    void RestoreDirect() override {
        firefoxRunning_ = false;
        owner_.SetStatusLine(main_window::SwitchingOffText);
        owner_.Repaint();
        if (owner_.switch_.Run(owner_.Hwnd(), [&] {
                return DisableConnectionProxy(DefaultConnectionName, SystemInternetSettings(),
                                              &firefoxRunning_);
            }))
            owner_.selfWatch_.BrowsingOff();
        owner_.AfterSwitch();
    }
    bool FirefoxWasRunning() const override { return firefoxRunning_; }
    // The end of the session's restore, bounded (BrowserSwitch::RunWithin).
    void RestoreWithin(DWORD ms) {
        if (owner_.switch_.RunWithin(
                [] {
                    return DisableConnectionProxy(DefaultConnectionName, SystemInternetSettings());
                },
                ms))
            owner_.selfWatch_.BrowsingOff();
    }

private:
    MainWindow& owner_;
    bool firefoxRunning_ = false;
};

// The two dialogs that hand their outcome over through the settings.
class MainWindow::Dialogs : public ProxyDialogs {
public:
    explicit Dialogs(const MainWindow& owner) : owner_(owner) {}
    bool AddNewProxy() override { return AddProxyDialog().DoModal(owner_.Hwnd()) == IDOK; }
    bool EvaluateProxy(const std::string& proxyText, const std::string& label) override {
        ProxyEvaluationDialog dialog;
        dialog.SetProxyText(proxyText, label);
        return dialog.DoModal(owner_.Hwnd()) == IDOK && dialog.Tested();
    }

private:
    const MainWindow& owner_;
};
