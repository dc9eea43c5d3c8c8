// Stand-ins for what the main window's logic drives: each records what it
// was asked, so the tests read back what the user and the system would see.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "session/shell_interfaces.h"
#include "proxies/proxy_line.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

struct FakeEngine : ProxyEngine {
    bool Listen(int localPort, const net::ProxyAddress& proxy,
                const std::vector<UpstreamCandidate>& candidates) override {
        ++listens;
        if (!bindable)
            return false;
        running = true;
        port = localPort;
        return Forward(localPort, proxy, candidates);
    }
    bool Forward(int, const net::ProxyAddress& proxy,
                 const std::vector<UpstreamCandidate>& candidates) override {
        host = proxy.host;
        upstreamPort = proxy.port;
        upstream = proxy;
        failover.clear();
        for (const UpstreamCandidate& c : candidates)
            failover.push_back(net::FormatProxyAddress(c));
        return true;
    }
    bool IsRunning() const override { return running; }
    int Port() const override { return running ? port : 0; }
    void Stop() override { running = false; }

    bool bindable = true;
    bool running = false;
    int listens = 0;
    int port = 0;
    std::string host;
    int upstreamPort = 0;
    net::ProxyAddress upstream;         // with its password, as the engine would get it
    std::vector<std::string> failover;  // "host:port" of each candidate
};

struct FakeBrowsers : BrowserSettings {
    bool PointAt(const std::string& proxyServer,
                 std::vector<std::string>& unchangedFirefoxProfiles) override {
        pointedAt = takes ? proxyServer : "direct";
        if (takes)
            unchangedFirefoxProfiles = unwritableProfiles;
        return takes;
    }
    void RestoreDirect() override { pointedAt = "direct"; }
    bool FirefoxWasRunning() const override { return firefoxRunning; }
    std::string pointedAt = "untouched";
    bool firefoxRunning = false;
    bool takes = true;  // false: the system refuses the settings
    std::vector<std::string> unwritableProfiles;
};

// What the next evaluation dialog does: its answer and the outcome it stores.
struct Evaluation {
    bool ok = true;
    std::string responseTime = "12 milliseconds";
    int fail = 0;
    std::string anonymity = "";
    std::string type = "http";
};

struct FakeDialogs : ProxyDialogs {
    bool AddNewProxy() override {
        RegStringValue(setting::TMPProxy, "", true).Set(typed);
        return addOk;
    }
    bool EvaluateProxy(const std::string& proxyText, const std::string& label) override {
        evaluated.push_back(ProxyLine(proxyText).Address() + "|" + label);
        RegStringValue(setting::TMPResponseTime, "", true).Set(next.responseTime);
        RegStringValue(setting::TMPDownloadSpeed, "", true).Set("138.00 KB/sec");
        RegDwordValue(setting::FAIL, 0, true).Set(next.fail);
        RegStringValue(setting::TMPAnonymity, "", true).Set(next.anonymity);
        RegStringValue(setting::TMPProxyType, "", true).Set(next.type);
        return next.ok;
    }
    bool addOk = true;
    std::string typed;
    Evaluation next;
    std::vector<std::string> evaluated;
};

// What the whole test of a proxy finds, as the rotation's worker reports it:
// a proxy in `reachable` passes at its level in `levels` (Elite unless named
// there), any other does not connect; with `judgeDown` the test page cannot
// be reached directly either, so nothing is graded.
struct FakeProbe {
    ProxyTestResult Test(const std::string& proxy) {
        std::string address = proxy.substr(0, proxy.find("->"));
        checked.push_back(address);
        ProxyTestResult result;
        result.proxy = net::ParseProxyAddress(proxy);
        result.judgeReached = !judgeDown;
        result.check.outcome =
            reachable.count(address) ? CheckOutcome::Passed : CheckOutcome::NoConnection;
        if (outcomes.count(address))
            result.check.outcome = outcomes.at(address);
        auto level = levels.find(address);
        result.check.level = judgeDown               ? Anonymity::Unknown
                             : level == levels.end() ? Anonymity::Elite
                                                     : level->second;
        result.check.responseMs = 7;
        return result;
    }
    std::set<std::string> reachable;
    std::map<std::string, Anonymity> levels;
    std::map<std::string, CheckOutcome> outcomes;  // in place of reachable's
    bool judgeDown = false;
    std::vector<std::string> checked;
};

struct FakeView : MainWindowView {
    std::string SelectorText() override { return editText; }
    void SetSelectorText(const std::string& text) override { editText = text; }
    void ClearSelector() override {
        items.clear();
        editText.clear();
    }
    void InsertSelectorItem(int index, const SelectorItem& item) override {
        items.insert(items.begin() + index, item);
    }
    void SelectSelectorItem(const std::string& text) override { selected = text; }
    bool EnableBox() override { return enableBox; }
    void SetEnableBox(bool ticked) override { enableBox = ticked; }
    void SetStatusLine(const std::string& text) override {
        status = text;
        statusHistory.push_back(text);
    }
    void Repaint() override {}
    void ShowFindProgress(size_t checked, size_t total, bool running) override {
        findProgress = {checked, total};
        findRunning = running;
    }
    void Tell(const std::string& text, const std::string& caption) override {
        told.push_back(caption + ": " + text);
        if (onTell)
            onTell();
    }
    int FirstSelectedRow() override { return selectedRow; }
    bool RotationBox() override { return rotationBox; }
    void SetRotationBox(bool ticked) override { rotationBox = ticked; }
    bool ReadMinutes(uint32_t& minutes) override {
        if (minutesText.empty() ||
            minutesText.find_first_not_of("0123456789") != std::string::npos) {
            told.push_back(": Please enter a positive integer.");
            return false;
        }
        minutes = static_cast<uint32_t>(std::stoul(minutesText));
        return true;
    }
    void SetMinutes(uint32_t minutes) override { minutesText = std::to_string(minutes); }
    void StartRotationTimer(uint32_t periodMs) override { timerPeriod = periodMs; }
    void StopRotationTimer() override { timerPeriod = 0; }
    bool ShowTrayBalloon(const std::string& text) override {
        if (trayRefuses)
            return false;
        balloons.push_back(text);
        return true;
    }
    bool WindowShown() override { return shown; }
    void StartListDeadline(uint32_t periodMs) override { deadline = periodMs; }
    void StopListDeadline() override { deadline = 0; }
    void StartRecheckTimer(uint32_t periodMs) override { recheck = periodMs; }
    void StopRecheckTimer() override { recheck = 0; }

    std::string editText;
    std::vector<SelectorItem> items;
    std::string selected = "(nothing selected)";
    bool enableBox = false;
    std::string status;
    std::vector<std::string> statusHistory;
    std::pair<size_t, size_t> findProgress;
    bool findRunning = false;
    std::vector<std::string> told;
    int selectedRow = -1;
    bool rotationBox = false;
    std::string minutesText;
    uint32_t timerPeriod = 0;
    bool trayRefuses = false;
    std::vector<std::string> balloons;
    bool shown = false;
    uint32_t deadline = 0;
    uint32_t recheck = 0;
    std::function<void()> onTell;
};

// The worker threads, held back: each start is recorded, and the test hands
// over the outcome when it chooses, as the window's message would.
struct FakeWork : BackgroundWork {
    bool StartListDownload(int id, size_t index, const ProxySource& source) override {
        downloads.push_back(id);
        sources.push_back(source.location);
        return threads;
    }
    void CancelListDownloads() override { ++cancels; }
    // No merge thread unless a test asks for one: the union is then made
    // at once, in place.
    bool StartListMerge(int id, std::vector<SharedProxyList> lists) override {
        merges.push_back(id);
        mergedLists = std::move(lists);
        return mergeThreads;
    }
    bool StartRotationTest(const net::ProxyAddress& proxy) override {
        checks.push_back(net::FormatProxyAddress(proxy, net::Secrets::UserName));
        return threads;
    }
    void StartGeneratorRequest() override { ++generatorRequests; }
    // Recorded as the rows' addresses.
    bool StartProxyTests(int run, const std::vector<net::ProxyAddress>& proxies) override {
        std::vector<std::string> addresses;
        for (const net::ProxyAddress& proxy : proxies)
            addresses.push_back(net::FormatProxyAddress(proxy, net::Secrets::UserName));
        testRuns.push_back({run, addresses});
        return threads;
    }
    bool StartBulkCheck(int run, const std::vector<net::ProxyAddress>& proxies) override {
        bulkRuns.push_back({run, proxies});
        return threads;
    }
    void StopProxyTests() override { ++testStops; }
    void StopBulkCheck() override { ++bulkStops; }

    bool threads = true;
    bool mergeThreads = false;
    std::vector<int> merges;
    std::vector<SharedProxyList> mergedLists;
    std::vector<int> downloads;
    std::vector<std::string> sources;
    int cancels = 0;
    std::vector<std::string> checks;
    int generatorRequests = 0;
    std::vector<std::pair<int, std::vector<std::string>>> testRuns;
    int testStops = 0;
    std::vector<std::pair<int, std::vector<net::ProxyAddress>>> bulkRuns;
    int bulkStops = 0;
};
