// The selector's fill from a list reply, and the commands of the list's
// context menu.
#pragma once

#include <string>
#include <vector>

#include "session/activation.h"
#include "session/shell_interfaces.h"
#include "proxies/proxy_list_text.h"

namespace list_commands {
enum Command { RemoveProxy = 1, RemoveAllProxies = 2, TestProxy = 3, TestAllProxies = 4 };
constexpr char TestPassed[] = "Test completed successfully";
constexpr char TestFailed[] = "Test failed - proxy removed";
constexpr char TestNeedsCredentials[] = "Needs a user name and password - proxy kept";
constexpr char ListUpdated[] = "Proxy list updated!";
// While "Test All Proxies" runs in the background.
constexpr char TestingAllFormat[] = "Testing proxies: %d of %d";
constexpr char JudgeUnreachable[] = "Veilgate cannot reach its test page; no proxy was removed.";
}  // namespace list_commands

// Empties the selector and inserts the proxies in their order.
std::vector<SelectorItem> SelectorItemsOf(const std::vector<ListedProxy>& proxies);
void FillProxySelector(MainWindowView& view, std::vector<SelectorItem> items);

// "%d miliseconds" (the list's own spelling, unlike the evaluation dialog's).
std::string ListResponseTimeText(uint32_t milliseconds);
// A passed test's figures and level into the row; for a proxy never to be
// used, its word (NeverUsedWord) in the level's place.
void PutTestFigures(ProxyList& list, int row, const ProxyCheck& check);

class ListCommands {
public:
    ListCommands(ProxyActivation& activation, MainWindowView& view, ProxyDialogs& dialogs,
                 BackgroundWork& work);

    // Runs a chosen context-menu command on the first selected row; false
    // when no row is selected (no menu is shown then).
    bool Run(int command);
    void RemoveProxy(int row);
    void RemoveAllProxies();
    void TestProxy(int row);
    // Starts the tests of every row in the background; the rows fill in as
    // the results come. A second press while they run does nothing.
    void TestAllProxies();
    // A result of a run, on the window's thread; false when it is no run of
    // "Test All Proxies" (another part's, or an abandoned one). A batch of
    // one: TakeResult and EndBatch.
    bool OnProxyTested(const ProxyTestResult& result);
    // The results come in batches: each fills in or removes its row, and
    // the count is shown and the list saved once for the batch, so that a
    // run over a long list stays linear.
    bool TakeResult(const ProxyTestResult& result);
    void EndBatch();
    bool OnProxyTestsEnded(int run, bool judgeReached);
    bool TestingAll() const { return run_ != 0; }

private:
    void SetStatus(const std::string& text);
    void ShowCount();

    ProxyActivation& activation_;
    MainWindowView& view_;
    ProxyDialogs& dialogs_;
    BackgroundWork& work_;
    // The run in progress, 0 when none; runs count up from 1.
    int run_ = 0;
    int lastRun_ = 0;
    int tested_ = 0;
    int total_ = 0;
    std::string lastStatus_;
    // A file that cannot be written fails every save of a run alike: the
    // user is told once.
    bool saveFailed_ = false;
    // Results were taken since the batch began; rows changed since the last
    // save.
    bool batchTook_ = false;
    bool saveDue_ = false;
};
