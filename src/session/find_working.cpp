#include "session/find_working.h"

#include <algorithm>

#include "session/list_commands.h"
#include "proxies/bulk_check.h"
#include "proxies/list_sources/sources_refresh.h"
#include "proxies/proxy_line.h"
#include "proxies/proxy_secrets.h"
#include "proxies/proxy_tester.h"

namespace {

// Elite before Anonymous.
int LevelRank(Anonymity level) {
    return level == Anonymity::Elite ? 0 : 1;
}

}  // namespace

std::string FindProgressText(size_t checked, size_t total, size_t working) {
    return "Checked " + GroupedNumber(checked) + " of " + GroupedNumber(total) + ": " +
           GroupedNumber(working) + " working";
}

FindWorkingProxies::FindWorkingProxies(ProxyActivation& activation, MainWindowView& view,
                                       BackgroundWork& work)
    : activation_(activation), view_(view), work_(work) {}

void FindWorkingProxies::OnFindClicked(const std::vector<ListedProxy>& offered) {
    if (Running()) {
        Stop();
        return;
    }
    if (offered.empty()) {
        view_.Tell(find_working::NothingToCheck, activation::ProductName);
        return;
    }
    std::vector<net::ProxyAddress> addresses;
    for (const ListedProxy& listed : offered)
        addresses.push_back(listed.proxy);
    int run = lastRun_ + 1;
    if (!work_.StartBulkCheck(run, addresses)) {
        view_.Tell(find_working::NoThread, "Error");
        return;
    }
    run_ = lastRun_ = run;
    proxies_ = offered;
    checked_ = 0;
    working_ = 0;
    firstNewRow_ = activation_.List().Count();
    newRowKeys_.clear();
    ShowProgress();
}

void FindWorkingProxies::Stop() {
    work_.StopBulkCheck();
    run_ = 0;
    ShowProgress();
    activation_.SaveList();
}

void FindWorkingProxies::ShowProgress() {
    view_.ShowFindProgress(checked_, proxies_.size(), Running());
    view_.SetStatusLine(FindProgressText(checked_, proxies_.size(), working_) +
                        (Running() ? "" : "."));
}

// A row found again by its address gets the new figures in its place (the
// user may have moved or removed rows meanwhile); a new one goes among this
// run's new rows by level, then response time.
void FindWorkingProxies::PutFound(const ListedProxy& listed, const ProxyCheck& check) {
    ProxyList& list = activation_.List();
    ProxyLine line(listed.text);
    int row = list.FindProxyRow(listed.proxy);
    if (row >= 0) {
        PutTestFigures(list, row, check);
        return;
    }
    // A proxy that came with its password ("host:port:user:password") must
    // still work after a restart: only the user name is in the row.
    if (!KeepPasswordOf(listed.proxy))
        return;
    firstNewRow_ = std::min(firstNewRow_, list.Count());
    // Rows the user removed from the new block since are no longer counted.
    size_t kept = static_cast<size_t>(list.Count() - firstNewRow_);
    if (newRowKeys_.size() > kept)
        newRowKeys_.resize(kept);
    std::pair<int, uint32_t> key(LevelRank(check.level), check.responseMs);
    auto at = std::upper_bound(newRowKeys_.begin(), newRowKeys_.end(), key);
    int index = firstNewRow_ + static_cast<int>(at - newRowKeys_.begin());
    newRowKeys_.insert(at, key);
    list.InsertRowAt(index, {listed.proxy, line.Country(), ListResponseTimeText(check.responseMs),
                             DownloadSpeedText(check.kilobytesPerSecond),
                             AnonymityWord(check.level), check.exitAddress});
}

void FindWorkingProxies::OnChecked(const BulkChecked& result) {
    TakeChecked(result);
    EndBatch();
}

void FindWorkingProxies::TakeChecked(const BulkChecked& result) {
    if (!Running() || result.run != run_ || result.index >= proxies_.size())
        return;
    ++checked_;
    batchTook_ = true;
    if (IsFound(result.check)) {
        ++working_;
        PutFound(proxies_[result.index], result.check);
    }
}

void FindWorkingProxies::EndBatch() {
    if (batchTook_)
        ShowProgress();
    batchTook_ = false;
}

void FindWorkingProxies::OnEnded(int run, bool judgeAnswered) {
    if (!Running() || run != run_)
        return;
    run_ = 0;
    ShowProgress();
    activation_.SaveList();
    if (!judgeAnswered)
        view_.Tell(list_commands::JudgeUnreachable, activation::ProductName);
}
