// "Find Working Proxies": every proxy the selector offers checked in the
// background, many at once, and those that work and hide the user put into
// "Already Tested Proxies": the rows already there get their new figures in
// place, new ones come after them, the best level first and the fastest
// first within it. No row is ever removed by it. The same button stops it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "session/activation.h"
#include "session/shell_interfaces.h"
#include "proxies/proxy_list_text.h"

namespace find_working {
constexpr char NothingToCheck[] =
    "The proxy list is empty: press \"Refresh List\" first, or add sources in \"Proxy "
    "Sources\".";
constexpr char NoThread[] = "The check could not be started: no worker thread.";
}  // namespace find_working

// "Checked 812 of 2,315: 37 working"
std::string FindProgressText(size_t checked, size_t total, size_t working);

class FindWorkingProxies {
public:
    FindWorkingProxies(ProxyActivation& activation, MainWindowView& view, BackgroundWork& work);

    // The button (and the tray's item): starts a run over `offered`, or
    // stops the one that runs.
    void OnFindClicked(const std::vector<ListedProxy>& offered);
    // A batch of one: TakeChecked, then EndBatch.
    void OnChecked(const BulkChecked& result);
    // The results come in batches: each goes into the list as it is taken,
    // and the progress is shown once for the batch (thousands of failures
    // a second held the window while each was shown).
    void TakeChecked(const BulkChecked& result);
    void EndBatch();
    void OnEnded(int run, bool judgeAnswered);
    bool Running() const { return run_ != 0; }

private:
    void Stop();
    // Results were taken since the progress was last shown.
    bool batchTook_ = false;
    void PutFound(const ListedProxy& listed, const ProxyCheck& check);
    void ShowProgress();

    ProxyActivation& activation_;
    MainWindowView& view_;
    BackgroundWork& work_;
    int run_ = 0;
    int lastRun_ = 0;
    std::vector<ListedProxy> proxies_;
    size_t checked_ = 0;
    size_t working_ = 0;
    // The rows this run added, from `firstNewRow_` on, with their order keys.
    int firstNewRow_ = 0;
    std::vector<std::pair<int, uint32_t>> newRowKeys_;
};
