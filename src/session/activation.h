// Anonymous browsing on and off: the browsers pointed at the local engine,
// the engine listening and forwarding to the chosen remote proxy, UseProxy
// and ProxyName stored, and the status line telling which address the web
// sees. Every command of the main window that changes the active proxy goes
// through here.
#pragma once

#include <chrono>
#include <string>

#include "session/shell_interfaces.h"
#include "engine/local_proxy_server.h"
#include "proxies/list_file_writer.h"
#include "proxies/proxy_list.h"

namespace activation {
constexpr char CannotStartProxy[] = "Cannot Start Proxy!";
constexpr char CannotKeepPassword[] =
    "The proxy's password could not be kept safely, so the proxy was not used.";
constexpr char NoProxySelected[] = "No proxy selected";
constexpr char UnknownAddress[] = "Unkwon IP";
constexpr char ProductName[] = "Veilgate";
constexpr char SettingsNotTaken[] =
    "Windows did not accept the new proxy settings (they may be set by your administrator). "
    "Veilgate is off.";
constexpr char ListFileKeptFormat[] =
    "Cannot read %s. Veilgate leaves that file as it is until it starts again, so proxies "
    "tested now are not kept.";
// Told for each Firefox profile that could not be pointed at the engine.
constexpr char FirefoxProfileUnchangedStart[] = "The Firefox profile \"";
constexpr char FirefoxProfileUnchangedEnd[] =
    "\" could not be changed: its prefs.js cannot be written. Firefox on that profile does not "
    "use Veilgate.";
// Told once for each change that a running Firefox takes only at its next
// start.
constexpr char FirefoxRunningOn[] = "Firefox is running: restart it so that it uses Veilgate.";
constexpr char FirefoxRunningOff[] =
    "Firefox is running: restart it so that it no longer uses Veilgate.";
// Told when a choice would make a transparent proxy the active one.
constexpr char TransparentRefused[] =
    "This proxy passes your own IP address on to the sites you visit. Veilgate will not use it.";
// Told when a choice would make a proxy active that alters the pages it
// relays or does not relay the test page as it was sent.
constexpr char NeverUsedRefused[] =
    "This proxy changes the pages it passes on, or does not pass them on as they were sent. "
    "Veilgate will not use it.";
// Told when a choice would make a proxy active whose test could not learn the
// user's own address, so that nothing shows whether it hands it on.
constexpr char UnknownRefused[] =
    "Veilgate could not check whether this proxy hides your IP address: its test page cannot be "
    "reached without a proxy. Veilgate will not use it.";
// Ends the status line while on when a Firefox profile was left out.
constexpr char NotFirefoxSuffix[] = " (not in Firefox)";
// Ends it while the active proxy could not be tested (no test page yet).
constexpr char NotCheckedSuffix[] = " (not checked)";
}  // namespace activation

// The status line while on, with the display form of the proxy text.
std::string OnStatusText(const std::string& proxyText, const std::string& exitAddress = "");
// The status line while off, with the computer's own address.
std::string OffStatusText(const std::string& localAddress);
// "127.0.0.1:%d" of the local port, as the browsers are given it.
std::string LocalProxyServerText(int localPort);
// The first IPv4 address of the computer's name as dotted text, or
// "Unkwon IP" when it does not resolve.
std::string LocalAddressText(const std::string& computerName);

// A LocalProxyServer as the window drives it. A listener already on the
// port is kept and only pointed at the new proxy, and switching off only
// pauses it: a port let go of and bound again at once may still be held by
// the connections it served.
class LocalEngine : public ProxyEngine {
public:
    explicit LocalEngine(LocalProxyServer& server) : server_(server) {}
    bool Listen(int localPort, const net::ProxyAddress& proxy,
                const std::vector<UpstreamCandidate>& failover) override;
    bool Forward(int localPort, const net::ProxyAddress& proxy,
                 const std::vector<UpstreamCandidate>& failover) override;
    bool IsRunning() const override { return server_.IsRunning(); }
    int Port() const override { return server_.IsRunning() ? server_.BoundPort() : 0; }
    void Stop() override { server_.Pause(); }

private:
    LocalProxyServer& server_;
};

class ProxyActivation {
public:
    ProxyActivation(ProxyEngine& engine, BrowserSettings& browsers, MainWindowView& view,
                    ProxyDialogs& dialogs, ProxyList& list, std::string listPath,
                    std::string localAddress);

    // The enable flag: "Enable Veilgate" as last exchanged with the box.
    bool Enabled() const { return enabled_; }
    ProxyList& List() { return list_; }

    void ActivateProxy(const std::string& proxyText);
    void DeactivateProxy();
    void SwitchUpstream(const net::ProxyAddress& proxy);
    void RestorePreviousProxy();
    // The activation step of the window's start-up, from UseProxy.
    void ActivateStoredProxy();
    // The item that step put first in the selector, which a later fill keeps.
    bool HasStartUpItem() const { return hasStartUpItem_; }
    const SelectorItem& StartUpItem() const { return startUpItem_; }
    // Start-up ends early: the browsers go direct, the engine stops and the
    // status line says "[Local]"; UseProxy stays for the next start.
    void StopStartUp();
    // After the settings dialog: a new LocalPort takes effect at once while
    // on (the engine moves, then the browsers follow).
    void OnLocalPortChanged();

    void OnEnableBoxClicked();
    void OnSelectorChoice(const std::string& itemText);
    void OnRowDoubleClicked();
    void OnAddNewProxy();

    // Shows the proxy `address` as the active one ("Test Proxy", rotation).
    void ShowActive(const std::string& address);
    // The status line again while on, after a test found the active
    // proxy's level.
    void RefreshStatus();
    // The level a test in this run found for the proxy the text names.
    std::string LevelOf(const std::string& proxyText) const;
    // True, with the user warned, when `level` is Transparent or Unknown:
    // the caller then keeps the previous proxy.
    bool RefuseLevel(const std::string& level);
    // Whether the active proxy is in use without a test that could reach
    // the test page (the status line then says so); any change of the
    // active proxy clears it.
    void SetNotChecked(bool notChecked);
    bool NotChecked() const { return notChecked_; }
    // "Check My Protection"'s fixes: the browsers (and Firefox among them
    // when `withFirefox`) pointed at the engine again through the one
    // switch, at the port the engine listens on. Nothing while Veilgate is
    // off: the check offers these fixes only while it is on.
    void PointBrowsersAgain(bool withFirefox);
    // Everything off after a failure or an empty choice; ProxyName stays.
    void SwitchOff();
    // Loads "MyProxies.txt" here (TakeLoadedList of what ReadProxyListFile
    // reads).
    void LoadList();
    // "MyProxies.txt" is being read on a worker: nothing is written over it
    // until its rows arrive.
    void ExpectLoadedList() { listLoading_ = true; }
    // The rows of "MyProxies.txt", read (readable) or not: they replace the
    // list, any row put in meanwhile after them. A file that is there but
    // cannot be read is kept as it is for the rest of the run, and the user
    // is told once.
    void TakeLoadedList(bool readable, std::vector<ProxyEntry> rows);
    // The same a step at a time, so that the window answers between the
    // steps of a file of thousands: BeginLoadedList, then
    // TakeLoadedRowsStep until it answers true (every row in, at least one
    // a step, the next ones until `deadline`).
    void BeginLoadedList(bool readable, std::vector<ProxyEntry> rows);
    bool TakeLoadedRowsStep(std::chrono::steady_clock::time_point deadline);
    // Removes the row and forgets the password kept for its proxy, unless
    // another row names the same proxy.
    void RemoveRow(int row);
    // Every change of the list ends here: the engine's failover candidates
    // follow the list at once (a removed proxy is never one), then
    // "MyProxies.txt" is written (not a file kept as it is); a failure names
    // the file to the user when `tell` is set. False when it failed.
    bool SaveList(bool tell = true);
    // From now on "MyProxies.txt" is written by `writer`, on its thread
    // (nullptr: here, at once); a failure comes back to OnListSaveFailed.
    void WriteListWith(ListFileWriter* writer) { writer_ = writer; }
    void OnListSaveFailed(const std::string& error);
    // The engine's failover candidates made anew from the list, as after a
    // new grade of a row: a proxy found transparent is never one.
    void ForwardWithCandidates();

private:
    // The browsers at the port the engine listens on, never at another one.
    // When the system does not take it, switches everything off and tells
    // the user; false then.
    bool PointBrowsersAtEngine();
    // Applies the enable flag to the edit text (box handler steps 2 to 4).
    void ApplyEnableFlag();
    int LocalPort() const;
    // The failover candidates of `proxy` in the list as it is.
    std::vector<UpstreamCandidate> Candidates(const net::ProxyAddress& proxy) const;
    // The status line while on: OnStatusText, and a word that Firefox is
    // left out when one of its profiles could not be changed.
    std::string StatusWhileOn(const std::string& proxyText) const;

    ProxyEngine& engine_;
    BrowserSettings& browsers_;
    MainWindowView& view_;
    ProxyDialogs& dialogs_;
    ProxyList& list_;
    ListFileWriter* writer_ = nullptr;
    std::string listPath_;
    std::string localAddress_;
    bool enabled_ = false;
    bool listFileKept_ = false;
    bool listLoading_ = false;
    // The file's rows while they go in, and what they replace.
    std::vector<ProxyEntry> loaded_;
    size_t loadedNext_ = 0;
    bool loadedReadable_ = true;
    std::vector<ProxyEntry> meanwhile_;
    bool saveWaits_ = false;  // a save asked for while the file was read
    bool hasStartUpItem_ = false;
    SelectorItem startUpItem_;
    bool firefoxLeftOut_ = false;
    bool notChecked_ = false;
};
