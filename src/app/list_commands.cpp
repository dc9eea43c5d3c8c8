#include "app/list_commands.h"

#include <cstdio>

#include "proxies/proxy_line.h"
#include "proxies/proxy_tester.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

void FillProxySelector(MainWindowView& view, const std::string& reply) {
    view.ClearSelector();
    int index = 0;
    for (const SelectorItem& item : ParseProxyListReply(reply))
        view.InsertSelectorItem(index++, item);
}

std::string ListResponseTimeText(uint32_t milliseconds) {
    return std::to_string(milliseconds) + " miliseconds";
}

ListCommands::ListCommands(ProxyActivation& activation, MainWindowView& view, ProxyDialogs& dialogs,
                           ProxyProbe& probe)
    : activation_(activation), view_(view), dialogs_(dialogs), probe_(probe) {}

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
    activation_.List().RemoveRow(row);
    activation_.SaveList();
}

void ListCommands::RemoveAllProxies() {
    activation_.List().RemoveAllRows();
    activation_.SaveList();
}

// The row leaves the list only when the test ran: a cancelled one keeps it
// as it was, in its place, so that the next save does not drop it.
void ListCommands::TestProxy(int row) {
    ProxyList& list = activation_.List();
    ProxyEntry entry = list.Row(row);
    ProxyLine proxy(entry.address);
    bool ok = dialogs_.EvaluateProxy(proxy.Host(), proxy.Port(), entry.country);
    if (!ok) {
        activation_.RestorePreviousProxy();
        return;
    }
    // A rotation tick during the dialog may have moved the rows.
    int tested = list.FindProxyRow(entry.address);
    if (tested >= 0)
        list.RemoveRow(tested);
    if (RegDwordValue(setting::FAIL).IsOn()) {
        activation_.RestorePreviousProxy();
        return;
    }
    std::string responseTime = RegStringValue(setting::TMPResponseTime).Get();
    if (responseTime.empty())
        return;
    std::string address = proxy.Address();
    std::string level = RegStringValue(setting::TMPAnonymity).Get();
    list.PutProxyRow(address, entry.country, responseTime,
                     RegStringValue(setting::TMPDownloadSpeed).Get(), level);
    if (activation_.RefuseTransparent(level)) {
        activation_.RestorePreviousProxy();
        return;
    }
    if (!activation_.Enabled())
        return;
    activation_.SwitchUpstream(proxy.Host(), proxy.Port());
    RegStringValue(setting::ProxyName).Set(address);
    activation_.SaveList();
    // The status line names the same proxy; its level is new.
    activation_.RefreshStatus();
}

void ListCommands::SetStatus(const std::string& text) {
    view_.SetStatusLine(text);
    view_.Repaint();
}

void ListCommands::TestAllProxies() {
    ProxyList& list = activation_.List();
    int row = 0;
    // A file that cannot be written fails every save of the run alike: the
    // user is told once.
    bool saveFailed = false;
    while (row < list.Count()) {
        const ProxyEntry& entry = list.Row(row);
        std::string label = entry.address + "->" + entry.country;
        char status[1200];
        std::snprintf(status, sizeof status, list_commands::TestingFormat, label.c_str());
        SetStatus(status);
        ProxyLine proxy(label);
        uint32_t milliseconds = probe_.MeasureResponseTime(proxy.Host(), proxy.Port());
        if (milliseconds == 0) {
            list.RemoveRow(row);
            if (!activation_.SaveList(!saveFailed))
                saveFailed = true;
            SetStatus(list_commands::TestFailed);
            continue;
        }
        list.SetRowTimes(row, ListResponseTimeText(milliseconds),
                         DownloadSpeedText(EstimateDownloadSpeed(milliseconds)));
        SetStatus(list_commands::TestPassed);
        ++row;
    }
}
