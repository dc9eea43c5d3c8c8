#include "session/activation.h"

#include <cstdio>

#include "session/failover.h"
#include "browsers/connection_switch.h"
#include "net/socket.h"
#include "proxies/proxy_check.h"
#include "proxies/proxy_line.h"
#include "proxies/proxy_secrets.h"
#include "proxies/proxy_tester.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

constexpr char StatusPrefix[] = "Your visible IP Address is now : ";
// Resolving the computer's own name normally takes no time at all; a broken
// resolver must not hold the window's start-up.
constexpr int LocalNameTimeoutMs = 3000;
// Every engine call carries UseProxy 1 and no user name or password.
constexpr int UseUpstream = 1;

bool HasPostMarkerAfterStart(const std::string& text) {
    size_t marker = text.find("<supports POST>");
    return marker != std::string::npos && marker > 0;
}

}  // namespace

std::string OnStatusText(const std::string& proxyText, const std::string& exitAddress) {
    ProxyLine proxy(proxyText);
    // The address the web sees, as the test measured it: for many public
    // proxies it is not the proxy's own, and then the proxy follows it.
    if (exitAddress.empty() || exitAddress == proxy.Host())
        return StatusPrefix + proxy.DisplayForm();
    return StatusPrefix + exitAddress + " via " + proxy.DisplayForm();
}

std::string OffStatusText(const std::string& localAddress) {
    return StatusPrefix + localAddress + " [Local]";
}

std::string LocalProxyServerText(int localPort) {
    return LoopbackProxyServer(localPort);
}

std::string LocalAddressText(const std::string& computerName) {
    net::NetworkInit network;
    std::string dotted;
    if (computerName.empty() || !network.Ok() ||
        !net::ResolveFirstAddress(computerName, LocalNameTimeoutMs, dotted))
        return activation::UnknownAddress;
    return dotted;
}

bool LocalEngine::Listen(int localPort, const net::ProxyAddress& proxy,
                         const std::vector<UpstreamCandidate>& failover) {
    if (server_.IsRunning() && server_.BoundPort() == localPort)
        return server_.UpdateSettings(localPort, UseUpstream, proxy, failover) != 0;
    if (server_.IsRunning())
        server_.Stop();
    return server_.Start(localPort, UseUpstream, proxy, failover);
}

bool LocalEngine::Forward(int localPort, const net::ProxyAddress& proxy,
                          const std::vector<UpstreamCandidate>& failover) {
    return server_.UpdateSettings(localPort, UseUpstream, proxy, failover) != 0;
}

ProxyActivation::ProxyActivation(ProxyEngine& engine, BrowserSettings& browsers,
                                 MainWindowView& view, ProxyDialogs& dialogs, ProxyList& list,
                                 std::string listPath, std::string localAddress)
    : engine_(engine),
      browsers_(browsers),
      view_(view),
      dialogs_(dialogs),
      list_(list),
      listPath_(std::move(listPath)),
      localAddress_(std::move(localAddress)) {}

int ProxyActivation::LocalPort() const {
    return static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
}

std::vector<UpstreamCandidate> ProxyActivation::Candidates(const net::ProxyAddress& proxy) const {
    return FailoverCandidates(list_, proxy);
}

// The engine is brought up before the browsers are pointed at it, so they
// never point at a port that some other program may hold.
void ProxyActivation::ActivateProxy(const std::string& typedText) {
    notChecked_ = false;
    // A password typed with the proxy is kept apart, never in ProxyName.
    std::string proxyText;
    if (!KeepProxyPassword(typedText, proxyText)) {
        view_.Tell(activation::CannotKeepPassword, "ERROR");
        SwitchOff();
        return;
    }
    net::ProxyAddress proxy = ProxyWithPassword(proxyText);
    int localPort = LocalPort();
    if (!engine_.Listen(localPort, proxy, Candidates(proxy))) {
        view_.Tell(activation::CannotStartProxy, "ERROR");
        SwitchOff();
        return;
    }
    if (!PointBrowsersAtEngine())
        return;
    RegDwordValue(setting::UseProxy).Set(1);
    RegStringValue(setting::ProxyName).Set(proxyText);
    view_.SetStatusLine(StatusWhileOn(proxyText));
    view_.Repaint();
}

bool ProxyActivation::PointBrowsersAtEngine() {
    firefoxLeftOut_ = false;
    if (!engine_.IsRunning()) {
        browsers_.RestoreDirect();
        return true;
    }
    std::vector<std::string> unchanged;
    bool took = browsers_.PointAt(LocalProxyServerText(engine_.Port()), unchanged);
    firefoxLeftOut_ = took && !unchanged.empty();
    for (const std::string& prefsFile : unchanged) {
        size_t folderEnd = prefsFile.find_last_of("\\/");
        std::string profile =
            folderEnd == std::string::npos ? prefsFile : prefsFile.substr(0, folderEnd);
        view_.Tell(activation::FirefoxProfileUnchangedStart + profile +
                       activation::FirefoxProfileUnchangedEnd,
                   activation::ProductName);
    }
    if (took) {
        if (browsers_.FirefoxWasRunning())
            view_.Tell(activation::FirefoxRunningOn, activation::ProductName);
        return true;
    }
    // Off first, so that what the user reads is already true.
    SwitchOff();
    view_.Tell(activation::SettingsNotTaken, "ERROR");
    return false;
}

std::string ProxyActivation::StatusWhileOn(const std::string& proxyText) const {
    std::string level = LevelOf(proxyText);
    int row = list_.FindProxyRow(ProxyLine(proxyText).Proxy());
    std::string exitAddress = row < 0 ? "" : list_.Row(row).exitAddress;
    return OnStatusText(proxyText, exitAddress) + (level.empty() ? "" : " [" + level + "]") +
           (notChecked_ ? activation::NotCheckedSuffix : "") +
           (firefoxLeftOut_ ? activation::NotFirefoxSuffix : "");
}

std::string ProxyActivation::LevelOf(const std::string& proxyText) const {
    int row = list_.FindProxyRow(ProxyLine(proxyText).Proxy());
    return row < 0 ? "" : list_.Row(row).anonymity;
}

void ProxyActivation::RefreshStatus() {
    if (!enabled_ || !engine_.IsRunning())
        return;
    view_.SetStatusLine(StatusWhileOn(RegStringValue(setting::ProxyName).Get()));
    view_.Repaint();
}

bool ProxyActivation::RefuseLevel(const std::string& level) {
    if (IsNeverUsedWord(level)) {
        view_.Tell(activation::NeverUsedRefused, "Warning");
        return true;
    }
    Anonymity grade = AnonymityFromWord(level);
    if (grade != Anonymity::Transparent && grade != Anonymity::Unknown)
        return false;
    view_.Tell(grade == Anonymity::Transparent ? activation::TransparentRefused
                                               : activation::UnknownRefused,
               "Warning");
    return true;
}

void ProxyActivation::SetNotChecked(bool notChecked) {
    notChecked_ = notChecked;
    RefreshStatus();
}

void ProxyActivation::PointBrowsersAgain(bool withFirefox) {
    if (!enabled_ || !engine_.IsRunning())
        return;
    // With its box ticked, the switch and every restore take Firefox too.
    if (withFirefox)
        RegDwordValue(setting::Mozilla).Set(1);
    if (PointBrowsersAtEngine())
        RefreshStatus();
}

void ProxyActivation::DeactivateProxy() {
    notChecked_ = false;
    browsers_.RestoreDirect();
    if (browsers_.FirefoxWasRunning())
        view_.Tell(activation::FirefoxRunningOff, activation::ProductName);
    RegDwordValue(setting::UseProxy).Set(0);
    if (engine_.IsRunning())
        engine_.Stop();
    view_.SetStatusLine(OffStatusText(localAddress_));
    view_.Repaint();
}

void ProxyActivation::SwitchOff() {
    DeactivateProxy();
    enabled_ = false;
    view_.SetEnableBox(false);
}

void ProxyActivation::SwitchUpstream(const net::ProxyAddress& proxy) {
    notChecked_ = false;
    if (!engine_.Forward(LocalPort(), proxy, Candidates(proxy)))
        view_.Tell(activation::CannotStartProxy, "ERROR");
}

void ProxyActivation::RestorePreviousProxy() {
    if (RegDwordValue(setting::UseProxy).IsOn()) {
        std::string proxyName = RegStringValue(setting::ProxyName).Get();
        view_.SelectSelectorItem(proxyName);
        enabled_ = true;
        if (!engine_.IsRunning() || engine_.Port() != LocalPort()) {
            // Start-up stopped early, or the port changed: the engine must
            // listen on the port before the browsers are sent there.
            ActivateProxy(proxyName);
            view_.SetEnableBox(enabled_);
            return;
        }
        ProxyLine proxy(proxyName);
        SwitchUpstream(ProxyWithPassword(proxy.Text()));
        if (!PointBrowsersAtEngine())
            return;
    } else {
        enabled_ = false;
        browsers_.RestoreDirect();
    }
    view_.SetEnableBox(enabled_);
}

void ProxyActivation::ApplyEnableFlag() {
    std::string text = view_.SelectorText();
    if (!enabled_) {
        DeactivateProxy();
        return;
    }
    if (text.empty()) {
        view_.Tell(activation::NoProxySelected, activation::ProductName);
        SwitchOff();
        return;
    }
    if (RefuseLevel(LevelOf(text))) {
        SwitchOff();
        return;
    }
    ActivateProxy(text);
}

void ProxyActivation::OnEnableBoxClicked() {
    enabled_ = view_.EnableBox();
    ApplyEnableFlag();
}

void ProxyActivation::ActivateStoredProxy() {
    if (!RegDwordValue(setting::UseProxy).IsOn()) {
        enabled_ = false;
        view_.SetEnableBox(false);
        browsers_.RestoreDirect();
        view_.SetStatusLine(OffStatusText(localAddress_));
        return;
    }
    std::string proxyName = RegStringValue(setting::ProxyName).Get();
    view_.SetSelectorText(proxyName);
    hasStartUpItem_ = true;
    startUpItem_ = {proxyName, HasPostMarkerAfterStart(proxyName) ? 1 : 0};
    view_.InsertSelectorItem(0, startUpItem_);
    net::ProxyAddress proxy = ProxyWithPassword(proxyName);
    if (!engine_.Listen(LocalPort(), proxy, Candidates(proxy))) {
        view_.Tell(activation::CannotStartProxy, "ERROR");
        SwitchOff();
        return;
    }
    enabled_ = true;
    view_.SetEnableBox(true);
    if (!PointBrowsersAtEngine())
        return;
    view_.SetStatusLine(StatusWhileOn(proxyName));
}

void ProxyActivation::StopStartUp() {
    browsers_.RestoreDirect();
    if (engine_.IsRunning())
        engine_.Stop();
    enabled_ = false;
    view_.SetEnableBox(false);
    view_.SetStatusLine(OffStatusText(localAddress_));
    view_.Repaint();
}

void ProxyActivation::OnLocalPortChanged() {
    if (!enabled_ || !engine_.IsRunning() || engine_.Port() == LocalPort())
        return;
    ActivateProxy(RegStringValue(setting::ProxyName).Get());
}

void ProxyActivation::ShowActive(const std::string& address) {
    RegStringValue(setting::ProxyName).Set(address);
    view_.SetStatusLine(StatusWhileOn(address));
    view_.Repaint();
}

void ProxyActivation::OnSelectorChoice(const std::string& chosenText) {
    enabled_ = view_.EnableBox();
    if (chosenText.empty()) {
        view_.Tell(activation::NoProxySelected, "");
        SaveList();
        return;
    }
    std::string itemText;
    if (!KeepProxyPassword(chosenText, itemText)) {
        view_.Tell(activation::CannotKeepPassword, "ERROR");
        return;
    }
    ProxyLine proxy(itemText);
    if (!dialogs_.EvaluateProxy(itemText, proxy.Country())) {
        RestorePreviousProxy();
    } else if (RegDwordValue(setting::FAIL).IsOn() ||
               RegStringValue(setting::TMPResponseTime).Get().empty()) {
        // Failed, or neither passed nor failed: nothing of it is taken.
        RestorePreviousProxy();
    } else {
        std::string level = RegStringValue(setting::TMPAnonymity).Get();
        // A text without a scheme becomes the type its test found.
        std::string tested = WithTestedType(itemText);
        list_.PutProxyRow(ProxyLine(tested).Proxy(), proxy.Country(),
                          RegStringValue(setting::TMPResponseTime).Get(),
                          RegStringValue(setting::TMPDownloadSpeed).Get(), level);
        if (RefuseLevel(level)) {
            RestorePreviousProxy();
        } else if (enabled_) {
            SwitchUpstream(ProxyWithPassword(tested));
            ShowActive(tested);
        }
    }
    SaveList();
}

void ProxyActivation::OnRowDoubleClicked() {
    int row = view_.FirstSelectedRow();
    if (row < 0 || row >= list_.Count())
        return;
    const ProxyEntry& entry = list_.Row(row);
    if (RefuseLevel(entry.anonymity))
        return;
    std::string address = entry.Address();
    net::ProxyAddress proxy = entry.proxy;
    view_.SetSelectorText(address);
    enabled_ = view_.EnableBox();
    if (!enabled_)
        return;
    SwitchUpstream(WithKeptPassword(proxy));
    ShowActive(address);
}

void ProxyActivation::OnAddNewProxy() {
    if (dialogs_.AddNewProxy()) {
        // The dialog has kept any password apart already.
        std::string typed = RegStringValue(setting::TMPProxy).Get();
        std::string responseTime;
        if (dialogs_.EvaluateProxy(typed, ""))
            responseTime = RegStringValue(setting::TMPResponseTime).Get();
        if (!responseTime.empty()) {
            typed = WithTestedType(typed);
            ProxyLine proxy(typed);
            std::string level = RegStringValue(setting::TMPAnonymity).Get();
            list_.PutProxyRow(proxy.Proxy(), "", responseTime,
                              RegStringValue(setting::TMPDownloadSpeed).Get(), level);
            if (!RefuseLevel(level)) {
                view_.SetSelectorText(typed);
                if (enabled_)
                    ActivateProxy(proxy.Address());
            }
        }
    }
    SaveList();
}

void ProxyActivation::LoadList() {
    std::vector<ProxyEntry> rows;
    bool readable = ReadProxyListFile(listPath_, rows);
    TakeLoadedList(readable, std::move(rows));
}

void ProxyActivation::TakeLoadedList(bool readable, std::vector<ProxyEntry> rows) {
    BeginLoadedList(readable, std::move(rows));
    while (!TakeLoadedRowsStep(std::chrono::steady_clock::time_point::max())) {
    }
}

void ProxyActivation::BeginLoadedList(bool readable, std::vector<ProxyEntry> rows) {
    listLoading_ = true;
    loaded_ = std::move(rows);
    loadedNext_ = 0;
    loadedReadable_ = readable;
    // Rows put in while the file was read (a proxy found, added or chosen
    // in the first moments) follow the file's.
    meanwhile_ = list_.Rows();
    list_.ClearForRows(static_cast<int>(loaded_.size() + meanwhile_.size()));
}

bool ProxyActivation::TakeLoadedRowsStep(std::chrono::steady_clock::time_point deadline) {
    if (!listLoading_)
        return true;
    do {
        if (loadedNext_ >= loaded_.size())
            break;
        list_.AppendRow(loaded_[loadedNext_++]);
    } while (std::chrono::steady_clock::now() < deadline);
    if (loadedNext_ < loaded_.size())
        return false;
    for (const ProxyEntry& entry : meanwhile_) {
        if (list_.FindProxyRow(entry.proxy) < 0)
            list_.AppendRow(entry);
    }
    std::vector<ProxyEntry>().swap(loaded_);
    std::vector<ProxyEntry>().swap(meanwhile_);
    listLoading_ = false;
    bool saveWaited = saveWaits_;
    saveWaits_ = false;
    if (!loadedReadable_) {
        listFileKept_ = true;
        char text[1400];
        std::snprintf(text, sizeof text, activation::ListFileKeptFormat, listPath_.c_str());
        view_.Tell(text, "Warning");
    }
    // The engine, started before the rows came, takes its failover
    // candidates from them.
    if (saveWaited)
        SaveList();
    else
        ForwardWithCandidates();
    return true;
}

void ProxyActivation::ForwardWithCandidates() {
    if (!enabled_ || !engine_.IsRunning())
        return;
    net::ProxyAddress active = ProxyWithPassword(RegStringValue(setting::ProxyName).Get());
    engine_.Forward(LocalPort(), active, Candidates(active));
}

void ProxyActivation::RemoveRow(int row) {
    if (row < 0 || row >= list_.Count())
        return;
    net::ProxyAddress proxy = list_.Row(row).proxy;
    list_.RemoveRow(row);
    // Only a proxy with a user name has a password kept.
    if (!proxy.userName.empty() && list_.FindProxyRow(proxy) < 0)
        ForgetPasswordOf(proxy);
}

bool ProxyActivation::SaveList(bool tell) {
    ForwardWithCandidates();
    if (listFileKept_)
        return true;
    // Written over before its rows arrived, the file would lose them.
    if (listLoading_) {
        saveWaits_ = true;
        return true;
    }
    // The rows are copied and written on the writer's thread: a list of
    // thousands held the window at every batch of test results.
    if (writer_ && writer_->Save(listPath_, list_.Rows()))
        return true;
    std::string error;
    if (list_.SaveProxyList(listPath_, &error))
        return true;
    if (tell)
        view_.Tell(error, "");
    return false;
}

void ProxyActivation::OnListSaveFailed(const std::string& error) {
    view_.Tell(error, "");
}
