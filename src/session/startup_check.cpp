#include "session/startup_check.h"

#include <cstdio>

#include "session/failover.h"
#include "session/list_commands.h"
#include "proxies/proxy_line.h"
#include "proxies/proxy_secrets.h"
#include "proxies/proxy_tester.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

std::string Format(const char* format, const std::string& text) {
    char buffer[1400];
    std::snprintf(buffer, sizeof buffer, format, text.c_str());
    return buffer;
}

bool Usable(const ProxyCheck& check) {
    return check.outcome == CheckOutcome::Passed && HidesUserAddress(check.level);
}

const char* WhyLeft(const ProxyCheck& check) {
    if (IsNeverUsed(check.outcome))
        return startup_check::NeverUsedFormat;
    if (check.outcome != CheckOutcome::Passed)
        return startup_check::DeadFormat;
    return check.level == Anonymity::Transparent ? startup_check::TransparentFormat
                                                 : startup_check::UnknownFormat;
}

// Not tested in this run (it will be now), or shown to hide the user.
bool MayHideUser(Anonymity level) {
    return level == Anonymity::None || HidesUserAddress(level);
}

}  // namespace

StartUpCheck::StartUpCheck(ProxyActivation& activation, MainWindowView& view, BackgroundWork& work)
    : activation_(activation), view_(view), work_(work) {}

void StartUpCheck::Start() {
    stored_ = RegStringValue(setting::ProxyName).Get();
    if (!activation_.Enabled() || stored_.empty())
        return;
    storedProxy_ = ProxyLine(stored_).Proxy();
    int run = lastRun_ - 1;
    if (!work_.StartProxyTests(run, {storedProxy_}))
        return;
    run_ = lastRun_ = run;
    testingOthers_ = false;
}

void StartUpCheck::RecheckIfActiveIsRefused() {
    const ProxyList& list = activation_.List();
    int row = list.FindProxyRow(ProxyLine(RegStringValue(setting::ProxyName).Get()).Proxy());
    const std::string level = row < 0 ? "" : list.Row(row).anonymity;
    if (!Running() && row >= 0 &&
        (IsNeverUsedWord(level) || !MayHideUser(AnonymityFromWord(level))))
        Start();
}

void StartUpCheck::OnRecheckTimer() {
    if (!activation_.Enabled() || !activation_.NotChecked()) {
        view_.StopRecheckTimer();
        return;
    }
    if (!Running())
        Start();
}

bool StartUpCheck::StillActive() const {
    return activation_.Enabled() && RegStringValue(setting::ProxyName).Get() == stored_;
}

void StartUpCheck::KeepFigures(const ProxyTestResult& result) {
    // Without the judge's direct answer the level says nothing of the proxy.
    ProxyList& list = activation_.List();
    int row = list.FindProxyRow(result.proxy);
    if (IsNeverUsed(result.check.outcome) && row >= 0)
        PutTestFigures(list, row, result.check);
    if (result.check.outcome != CheckOutcome::Passed || !result.judgeReached)
        return;
    if (row >= 0) {
        PutTestFigures(list, row, result.check);
    } else if (Usable(result.check)) {
        // The proxy in use, proven now, joins the tested ones (as a choice
        // tested in the dialog does), so that its level shows and the
        // failover and the rotation know it.
        std::string country =
            result.proxy == storedProxy_ ? ProxyLine(stored_).Country() : std::string();
        list.PutProxyRow(result.proxy, country, "", "", "");
        PutTestFigures(list, list.FindProxyRow(result.proxy), result.check);
        activation_.SaveList();
    }
}

std::vector<net::ProxyAddress> StartUpCheck::Candidates() const {
    const ProxyList& list = activation_.List();
    std::vector<net::ProxyAddress> candidates;
    for (int row : RowsAfter(list, list.FindProxyRow(storedProxy_), MayHideUser)) {
        if (list.Row(row).Address() != RowAddressOf(storedProxy_))
            candidates.push_back(list.Row(row).proxy);
    }
    return candidates;
}

bool StartUpCheck::OnProxyTested(const ProxyTestResult& result) {
    if (run_ == 0 || result.run != run_)
        return false;
    KeepFigures(result);
    if (testingOthers_) {
        results_[RowAddressOf(result.proxy)] = result.check;
        return true;
    }
    // Without the judge nothing is known of the proxy: the user's own choice
    // stays, said to be unchecked, until the judge answers.
    if (!result.judgeReached) {
        if (StillActive()) {
            activation_.SetNotChecked(true);
            view_.StartRecheckTimer(startup_check::RecheckMs);
        }
        return true;
    }
    if (Usable(result.check)) {
        if (StillActive()) {
            activation_.SetNotChecked(false);
            view_.StopRecheckTimer();
        }
        activation_.RefreshStatus();
        return true;
    }
    why_ = Format(WhyLeft(result.check), stored_);
    candidates_ = Candidates();
    if (!StillActive())
        return true;
    if (candidates_.empty()) {
        MoveOn(candidates_);
        return true;
    }
    int run = lastRun_ - 1;
    if (work_.StartProxyTests(run, candidates_)) {
        run_ = lastRun_ = run;
        testingOthers_ = true;
        results_.clear();
    } else {
        MoveOn({});
    }
    return true;
}

bool StartUpCheck::OnProxyTestsEnded(int run, bool judgeReached) {
    if (run_ == 0 || run != run_)
        return false;
    run_ = 0;
    if (testingOthers_ && judgeReached && StillActive())
        MoveOn(candidates_);
    return true;
}

// The first candidate in list order that passed and is not transparent.
void StartUpCheck::MoveOn(const std::vector<net::ProxyAddress>& candidates) {
    for (const net::ProxyAddress& candidate : candidates) {
        std::string address = RowAddressOf(candidate);
        auto found = results_.find(address);
        if (found == results_.end() || !Usable(found->second))
            continue;
        activation_.SwitchUpstream(WithKeptPassword(candidate));
        view_.SetSelectorText(address);
        activation_.ShowActive(address);
        view_.Tell(why_ + Format(startup_check::MovedFormat, address), activation::ProductName);
        return;
    }
    activation_.SwitchOff();
    view_.Tell(why_ + startup_check::NoneLeft, activation::ProductName);
}
