#include "session/failover.h"

#include <algorithm>

#include "proxies/proxy_check.h"
#include "proxies/proxy_line.h"
#include "proxies/proxy_secrets.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

bool IsProvenRow(const ProxyList& list, int row) {
    return HidesUserAddress(AnonymityFromWord(list.Row(row).anonymity));
}

std::vector<int> RowsAfter(const ProxyList& list, int row, bool (*keep)(Anonymity level)) {
    std::vector<int> rows;
    for (int step = 1; step <= list.Count(); ++step) {
        int next = (row + step) % list.Count();
        const std::string& level = list.Row(next).anonymity;
        if (next != row && !IsNeverUsedWord(level) && keep(AnonymityFromWord(level)))
            rows.push_back(next);
    }
    return rows;
}

std::vector<int> UsableRowsAfter(const ProxyList& list, int row) {
    return RowsAfter(list, row, HidesUserAddress);
}

std::vector<UpstreamCandidate> FailoverCandidates(const ProxyList& list,
                                                  const net::ProxyAddress& active) {
    std::vector<UpstreamCandidate> candidates;
    int start = list.FindProxyRow(active);
    if (start < 0)
        return candidates;
    for (int row : UsableRowsAfter(list, start)) {
        // Each candidate with its own password, if one is kept for it.
        UpstreamCandidate candidate = WithKeptPassword(list.Row(row).proxy);
        if (candidate == active ||
            std::find(candidates.begin(), candidates.end(), candidate) != candidates.end())
            continue;
        candidates.push_back(candidate);
    }
    return candidates;
}

void OnFailedOver(ProxyActivation& activation, MainWindowView& view, const UpstreamCandidate& from,
                  const UpstreamCandidate& to) {
    if (!activation.Enabled() ||
        !(ProxyWithPassword(RegStringValue(setting::ProxyName).Get()) == from))
        return;
    int row = activation.List().FindProxyRow(to);
    if (row < 0)
        return;
    std::string address = activation.List().Row(row).Address();
    // Forwarded again so that the engine's candidates follow the list from
    // the new proxy, as after any other choice.
    activation.SwitchUpstream(to);
    view.SetSelectorText(address);
    activation.ShowActive(address);
    std::string told =
        net::FormatProxyAddress(from) + failover::DidNotAnswer + net::FormatProxyAddress(to) + ".";
    if (view.WindowShown())
        view.SetStatusLine(told);
    else
        view.ShowTrayBalloon(told);
}
