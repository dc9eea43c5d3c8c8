#include "session/list_commands.h"

#include <cstdio>

#include "proxies/proxy_line.h"
#include "proxies/proxy_secrets.h"
#include "proxies/proxy_tester.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

std::vector<SelectorItem> SelectorItemsOf(const std::vector<ListedProxy>& proxies) {
    std::vector<SelectorItem> items;
    items.reserve(proxies.size());
    for (const ListedProxy& listed : proxies)
        items.push_back({listed.text, listed.image});
    return items;
}

void FillProxySelector(MainWindowView& view, std::vector<SelectorItem> items) {
    view.ClearSelector();
    view.InsertSelectorItems(0, std::move(items));
}

std::string ListResponseTimeText(uint32_t milliseconds) {
    return std::to_string(milliseconds) + " miliseconds";
}

void PutTestFigures(ProxyList& list, int row, const ProxyCheck& check) {
    bool passed = check.outcome == CheckOutcome::Passed;
    list.SetRowTimes(
        row, ListResponseTimeText(check.responseMs), DownloadSpeedText(check.kilobytesPerSecond),
        passed ? AnonymityWord(check.level) : NeverUsedWord(check.outcome), check.exitAddress);
}

ListCommands::ListCommands(ProxyActivation& activation, MainWindowView& view, ProxyDialogs& dialogs,
                           BackgroundWork& work)
    : activation_(activation), view_(view), dialogs_(dialogs), work_(work) {}

bool ListCommands::Run(int command) {
    int row = view_.FirstSelectedRow();
    if (row < 0 || row >= activation_.List().Count())
        return false;
    switch (command) {
    case list_commands::RemoveProxy:
        RemoveProxy(row);
        break;
    case list_commands::RemoveAllProxies:
        RemoveAllProxies();
        break;
    case list_commands::TestProxy:
        TestProxy(row);
        break;
    case list_commands::TestAllProxies:
        TestAllProxies();
        break;
    default:
        break;
    }
    return true;
}

void ListCommands::RemoveProxy(int row) {
    activation_.RemoveRow(row);
    activation_.SaveList();
}

void ListCommands::RemoveAllProxies() {
    while (activation_.List().Count() > 0)
        activation_.RemoveRow(activation_.List().Count() - 1);
    activation_.SaveList();
}

// The row leaves the list only when the test ran: a cancelled one keeps it
// as it was, in its place, so that the next save does not drop it.
void ListCommands::TestProxy(int row) {
    ProxyList& list = activation_.List();
    ProxyEntry entry = list.Row(row);
    bool ok = dialogs_.EvaluateProxy(entry.Address(), entry.country);
    bool failed = RegDwordValue(setting::FAIL).IsOn();
    std::string responseTime = RegStringValue(setting::TMPResponseTime).Get();
    // Neither passed nor failed (a password wanted, the test page down even
    // without the proxy): the row stays as it was.
    if (!ok || (!failed && responseTime.empty())) {
        activation_.RestorePreviousProxy();
        return;
    }
    // A rotation tick during the dialog may have moved the rows.
    int tested = list.FindProxyRow(entry.proxy);
    if (failed) {
        activation_.RemoveRow(tested);
        activation_.SaveList();
        activation_.RestorePreviousProxy();
        return;
    }
    // A passed row moves to the end.
    if (tested >= 0)
        list.RemoveRow(tested);
    net::ProxyAddress proxy = ProxyLine(WithTestedType(entry.Address())).Proxy();
    std::string level = RegStringValue(setting::TMPAnonymity).Get();
    list.PutProxyRow(proxy, entry.country, responseTime,
                     RegStringValue(setting::TMPDownloadSpeed).Get(), level);
    if (activation_.RefuseLevel(level)) {
        activation_.RestorePreviousProxy();
        return;
    }
    if (!activation_.Enabled())
        return;
    activation_.SwitchUpstream(WithKeptPassword(proxy));
    RegStringValue(setting::ProxyName).Set(RowAddressOf(proxy));
    activation_.SaveList();
    // The status line names the same proxy; its level is new.
    activation_.RefreshStatus();
}

void ListCommands::SetStatus(const std::string& text) {
    view_.SetStatusLine(text);
    view_.Repaint();
}

void ListCommands::TestAllProxies() {
    if (run_ != 0)
        return;
    std::vector<net::ProxyAddress> proxies;
    for (const ProxyEntry& row : activation_.List().Rows())
        proxies.push_back(row.proxy);
    int run = lastRun_ + 1;
    if (!work_.StartProxyTests(run, proxies))
        return;
    run_ = lastRun_ = run;
    tested_ = 0;
    total_ = static_cast<int>(proxies.size());
    lastStatus_.clear();
    saveFailed_ = false;
    ShowCount();
}

void ListCommands::ShowCount() {
    char status[64];
    std::snprintf(status, sizeof status, list_commands::TestingAllFormat, tested_, total_);
    SetStatus(status);
}

// The row is found again by its address: the user may have removed or
// moved rows while the run went on.
bool ListCommands::OnProxyTested(const ProxyTestResult& result) {
    if (!TakeResult(result))
        return false;
    EndBatch();
    return true;
}

void ListCommands::EndBatch() {
    if (saveDue_ && !activation_.SaveList(!saveFailed_))
        saveFailed_ = true;
    saveDue_ = false;
    if (batchTook_ && run_ != 0)
        ShowCount();
    batchTook_ = false;
}

bool ListCommands::TakeResult(const ProxyTestResult& result) {
    if (run_ == 0 || result.run != run_)
        return false;
    ++tested_;
    batchTook_ = true;
    ProxyList& list = activation_.List();
    int row = list.FindProxyRow(result.proxy);
    const ProxyCheck& check = result.check;
    if (check.outcome == CheckOutcome::Passed) {
        if (row >= 0) {
            PutTestFigures(list, row, check);
            // A row without a scheme shows the type it was found to be.
            if (list.Row(row).proxy.type != check.type) {
                ProxyEntry entry = list.Row(row);
                entry.proxy.type = check.type;
                list.ReplaceRow(row, entry);
                saveDue_ = true;
            }
        }
        lastStatus_ = list_commands::TestPassed;
    } else if (check.outcome == CheckOutcome::NeedsCredentials) {
        // Not dead: it works once the user gives it a user name and password.
        lastStatus_ = list_commands::TestNeedsCredentials;
    } else if (IsNeverUsed(check.outcome)) {
        // Alive but never to be used: the row stays and says why.
        if (row >= 0)
            PutTestFigures(list, row, check);
    } else if (result.judgeReached && row >= 0) {
        activation_.RemoveRow(row);
        saveDue_ = true;
        lastStatus_ = list_commands::TestFailed;
    }
    return true;
}

bool ListCommands::OnProxyTestsEnded(int run, bool judgeReached) {
    if (run_ == 0 || run != run_)
        return false;
    EndBatch();
    run_ = 0;
    activation_.ForwardWithCandidates();
    if (!lastStatus_.empty())
        SetStatus(lastStatus_);
    if (!judgeReached)
        view_.Tell(list_commands::JudgeUnreachable, activation::ProductName);
    return true;
}
