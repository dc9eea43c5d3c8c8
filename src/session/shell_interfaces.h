// What the main window's logic works through: the engine, the browsers'
// settings, the dialogs it opens, the network checks and the window itself.
// The program gives it the real ones (main_window_win.cpp); tests give it
// fakes that record what was asked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/upstream_settings.h"
#include "proxies/list_sources/proxy_sources.h"
#include "proxies/list_sources/sources_refresh.h"
#include "proxies/proxy_check.h"
#include "proxies/proxy_list_reply.h"
#include "proxies/proxy_list_text.h"

// The local proxy engine as the window drives it.
class ProxyEngine {
public:
    virtual ~ProxyEngine() = default;
    // Listens on localPort and forwards to `proxy`, or to the first of
    // `failover` that answers when it does not; false when the port cannot
    // be listened on (the engine then does not run).
    virtual bool Listen(int localPort, const net::ProxyAddress& proxy,
                        const std::vector<UpstreamCandidate>& failover) = 0;
    // Forwards connections accepted from now on to `proxy` (or `failover`).
    virtual bool Forward(int localPort, const net::ProxyAddress& proxy,
                         const std::vector<UpstreamCandidate>& failover) = 0;
    virtual bool IsRunning() const = 0;
    // The port it listens on; 0 while it does not run.
    virtual int Port() const = 0;
    virtual void Stop() = 0;
};

// The browsers' proxy settings (Internet Explorer and the flagged others).
class BrowserSettings {
public:
    virtual ~BrowserSettings() = default;
    // proxyServer is "127.0.0.1:<port>". False when the system did not take
    // it; every browser is then as it was. The Firefox profiles that could
    // not be pointed at it (their prefs.js files) are added to
    // `unchangedFirefoxProfiles`; the others are pointed at it all the same.
    virtual bool PointAt(const std::string& proxyServer,
                         std::vector<std::string>& unchangedFirefoxProfiles) = 0;
    virtual void RestoreDirect() = 0;
    // Whether Firefox ran on a profile that the last PointAt or
    // RestoreDirect changed: it takes the change only when it starts again.
    virtual bool FirefoxWasRunning() const = 0;
};

// The dialogs the window opens modally. Each answers true when closed with OK.
class ProxyDialogs {
public:
    virtual ~ProxyDialogs() = default;
    // "Add New Proxy": on OK the typed text is in TMPProxy.
    virtual bool AddNewProxy() = 0;
    // The evaluation dialog; an empty label shows no country. True only when
    // closed with "Done" after a test ran in it, whose outcome is then in
    // TMPResponseTime, TMPDownloadSpeed and FAIL: "Done" without a test
    // counts as a cancel, whatever an earlier test left there.
    virtual bool EvaluateProxy(const std::string& proxyText, const std::string& label) = 0;
};

// One proxy's test in a run of tests, made on a worker thread.
struct ProxyTestResult {
    // Which run it belongs to (a late answer to an abandoned run is dropped).
    int run = 0;
    // The proxy as the run was given it (without its password).
    net::ProxyAddress proxy;
    // Whether the failure, or the grade, says anything of the proxy: for a
    // proxy that passed, the judge answered the run's direct request, so
    // its level is known; for one that failed, the judge answered a direct
    // request made after the failure (failure_witness.h). When it did not,
    // the network or the judge is down and nothing is known of the proxy.
    bool judgeReached = false;
    ProxyCheck check;
};

// What a list download brought, made on a worker thread.
struct ListDownload {
    // Which download it answers (a late answer to an abandoned one is
    // dropped), and which of its sources.
    int id = 0;
    size_t source = 0;
    // A reply that holds a list came; `reply` is its text, until the worker
    // reads it (ReadListDownload) so that the window's thread never parses.
    bool listCame = false;
    std::string reply;
    // Set once read: `list` holds its proxies, `webPage` whether the reply
    // was a web page, and `reply` is empty.
    bool parsed = false;
    ParsedProxyList list;
    bool webPage = false;
    // Why not, when no list came: "the list service ...".
    std::string failure;
    // False when "proxylist.txt" could not be written; `keepError` names it.
    bool kept = true;
    std::string keepError;
};

// The sources' lists made one, on a worker thread: a union of 120,000
// proxies held the window for most of a second.
struct ListMerged {
    int id = 0;  // the download it ends
    std::vector<ListedProxy> proxies;
    // The selector's items for them, made here too.
    std::vector<SelectorItem> items;
    bool cut = false;
};

// One proxy of a "Find Working Proxies" run, checked.
struct BulkChecked {
    int run = 0;
    size_t index = 0;  // in the run's list
    ProxyCheck check;
};

// The work that must not hold the window's thread, each on a worker thread
// of its own. Each Start answers false when no thread could be started; the
// outcome reaches the window's thread later, through ListRefresh::OnDownloaded
// and OnMerged, ProxyRotation::OnTested and the receivers of proxy test runs.
class BackgroundWork {
public:
    virtual ~BackgroundWork() = default;
    // The list of one source: the maker's list (kept in "proxylist.txt" as
    // it always was), a web address or a file.
    virtual bool StartListDownload(int id, size_t index, const ProxySource& source) = 0;
    // Cuts short every download still running; each still answers.
    virtual void CancelListDownloads() = 0;
    // The union of the lists of download `id` (UnionOf): one ListMerged.
    virtual bool StartListMerge(int id, std::vector<SharedProxyList> lists) = 0;
    // The whole test of one proxy as what it is (its direct request to the
    // judge first, and again after a failure), for the rotation: one
    // ProxyTestResult, with run 0. The worker finds the kept password.
    virtual bool StartRotationTest(const net::ProxyAddress& proxy) = 0;
    // The generator page, fetched and dropped; nothing answers.
    virtual void StartGeneratorRequest() = 0;
    // A run of real tests (CheckProxyAsListed) of `proxies`, several at
    // once, each with its kept password: first the direct request to the
    // judge, then one ProxyTestResult for each proxy as it comes, then the
    // end of the run.
    virtual bool StartProxyTests(int run, const std::vector<net::ProxyAddress>& proxies) = 0;
    // "Find Working Proxies": the bulk run's test (bulk_check.h) of each
    // proxy, many at once; one BulkChecked for each as it comes, then the
    // end of the run. StopBulkCheck gives it up.
    virtual bool StartBulkCheck(int run, const std::vector<net::ProxyAddress>& proxies) = 0;
    // Gives every run up; their remaining answers are not sent.
    virtual void StopProxyTests() = 0;
    virtual void StopBulkCheck() = 0;
};

// The main window's controls, as the logic reads and sets them.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // The ProxySelector: its edit field and its items.
    virtual std::string SelectorText() = 0;
    virtual void SetSelectorText(const std::string& text) = 0;
    // Empties both the list and the edit field.
    virtual void ClearSelector() = 0;
    virtual void InsertSelectorItem(int index, const SelectorItem& item) = 0;
    // `items` at `firstIndex` and the indexes after it, in one hand-over.
    virtual void InsertSelectorItems(int firstIndex, std::vector<SelectorItem> items) {
        for (const SelectorItem& item : items)
            InsertSelectorItem(firstIndex++, item);
    }
    // Selects the first item whose text equals `text` regardless of case, or
    // none.
    virtual void SelectSelectorItem(const std::string& text) = 0;

    // "Enable Veilgate".
    virtual bool EnableBox() = 0;
    virtual void SetEnableBox(bool ticked) = 0;

    virtual void SetStatusLine(const std::string& text) = 0;
    // "Find Working Proxies": the progress bar, shown while `running`, and
    // the button, which says "Stop" meanwhile.
    virtual void ShowFindProgress(size_t checked, size_t total, bool running) = 0;
    virtual void Repaint() = 0;
    // An OK box with the information icon.
    virtual void Tell(const std::string& text, const std::string& caption) = 0;

    // The list of tested proxies: the first selected row, or -1.
    virtual int FirstSelectedRow() = 0;

    // The rotation box, the MinutesField and timer 100.
    virtual bool RotationBox() = 0;
    virtual void SetRotationBox(bool ticked) = 0;
    // False, with `minutes` untouched and the user told, when the field does
    // not hold an unsigned number.
    virtual bool ReadMinutes(uint32_t& minutes) = 0;
    virtual void SetMinutes(uint32_t minutes) = 0;
    virtual void StartRotationTimer(uint32_t periodMs) = 0;
    virtual void StopRotationTimer() = 0;

    // A balloon from the tray icon; false when it could not be shown.
    virtual bool ShowTrayBalloon(const std::string& text) = 0;
    // Whether the window is on the screen (not in the tray, not minimised).
    virtual bool WindowShown() = 0;

    // The timer that gives up on a list download (timer 101).
    virtual void StartListDeadline(uint32_t periodMs) = 0;
    virtual void StopListDeadline() = 0;
    // The timer that tests an unchecked active proxy again (timer 102).
    virtual void StartRecheckTimer(uint32_t periodMs) = 0;
    virtual void StopRecheckTimer() = 0;
};
