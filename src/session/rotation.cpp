#include "session/rotation.h"

#include <algorithm>

#include "session/failover.h"
#include "session/list_commands.h"
#include "base/text_compare.h"
#include "proxies/failure_witness.h"
#include "proxies/proxy_line.h"
#include "proxies/proxy_secrets.h"
#include "proxies/proxy_tester.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

std::string AddressPart(const std::string& proxyText) {
    return proxyText.substr(0, proxyText.find("->"));
}

}  // namespace

int FindRowByPrefix(const ProxyList& list, const std::string& prefix) {
    for (int i = 0; i < list.Count(); ++i) {
        if (base::StartsWithIgnoringCase(list.Row(i).Address(), prefix))
            return i;
    }
    return -1;
}

ProxyRotation::ProxyRotation(ProxyActivation& activation, MainWindowView& view,
                             BackgroundWork& work)
    : activation_(activation), view_(view), work_(work) {}

void ProxyRotation::Start() {
    // Only an edited registry holds more than the field accepts; a larger
    // number would also overflow the timer's milliseconds.
    minutes_ = std::min(RegDwordValue(setting::AutoTimer).Get(), rotation::MaxMinutes);
    view_.SetMinutes(minutes_);
    bool on = RegDwordValue(setting::AutoEnabled).IsOn();
    view_.SetRotationBox(on);
    // A stored interval of 0 would make the timer fire without pause.
    if (on && minutes_ > 0)
        view_.StartRotationTimer(minutes_ * rotation::MillisecondsPerMinute);
}

void ProxyRotation::OnBoxClicked() {
    bool ticked = view_.RotationBox();
    view_.ReadMinutes(minutes_);
    view_.StopRotationTimer();
    if (ticked && minutes_ == 0) {
        view_.Tell(rotation::NoInterval, "Warning");
        view_.SetRotationBox(false);
        RegDwordValue(setting::AutoEnabled).Set(0);
        view_.SetMinutes(minutes_);
        return;
    }
    if (!ticked) {
        RegDwordValue(setting::AutoEnabled).Set(0);
        return;
    }
    RegDwordValue(setting::AutoTimer).Set(minutes_);
    RegDwordValue(setting::AutoEnabled).Set(1);
    view_.StartRotationTimer(minutes_ * rotation::MillisecondsPerMinute);
}

void ProxyRotation::RefuseInterval(const char* warning) {
    view_.Tell(warning, "Warning");
    view_.SetRotationBox(false);
    RegDwordValue(setting::AutoEnabled).Set(0);
    view_.StopRotationTimer();
    minutes_ = rotation::ResetMinutes;
    // Writing the field back runs this handler again with a valid number,
    // which stores it.
    RegDwordValue(setting::AutoTimer).Set(minutes_);
    view_.SetMinutes(minutes_);
}

void ProxyRotation::OnMinutesChanged() {
    view_.ReadMinutes(minutes_);
    if (minutes_ == 0) {
        RefuseInterval(rotation::NoInterval);
        return;
    }
    if (minutes_ > rotation::MaxMinutes) {
        RefuseInterval(rotation::IntervalTooLong);
        return;
    }
    RegDwordValue(setting::AutoTimer).Set(minutes_);
    view_.SetMinutes(minutes_);
}

void ProxyRotation::RotateProxy() {
    if (checking_ || !activation_.Enabled())
        return;
    const ProxyList& list = activation_.List();
    int active = FindRowByPrefix(list, AddressPart(RegStringValue(setting::ProxyName).Get()));
    if (active < 0)
        return;
    candidates_.clear();
    for (int row : UsableRowsAfter(list, active)) {
        if (list.Row(row).Address() != list.Row(active).Address())
            candidates_.push_back(list.Row(row).proxy);
    }
    TestNextCandidate();
}

void ProxyRotation::TestNextCandidate() {
    checking_ = false;
    while (!checking_ && !candidates_.empty()) {
        net::ProxyAddress proxy = candidates_.front();
        candidates_.erase(candidates_.begin());
        // The user may have removed the row since the step began.
        if (activation_.List().FindProxyRow(proxy) < 0)
            continue;
        checking_ = work_.StartRotationTest(proxy);
        checked_ = proxy;
        if (!checking_)
            candidates_.clear();
    }
}

void ProxyRotation::OnTested(const ProxyTestResult& result) {
    if (!checking_ || result.proxy != checked_)
        return;
    // Browsing switched off while the test ran, or the test page cannot be
    // reached even without a proxy, so that nothing can be graded now: the
    // active proxy stays.
    if (!activation_.Enabled() || !result.judgeReached) {
        checking_ = false;
        return;
    }
    ProxyList& list = activation_.List();
    // The user may have changed the list meanwhile: the row is found again
    // by its address.
    int row = list.FindProxyRow(checked_);
    const ProxyCheck& check = result.check;
    if (IsProxyFailure(check)) {
        // A tick during the message still finds the step running.
        view_.Tell(rotation::UnreachableProxy, "Error");
        row = list.FindProxyRow(checked_);
        if (row >= 0) {
            activation_.RemoveRow(row);
            activation_.SaveList();
        }
        TestNextCandidate();
        return;
    }
    // One that wants a user name and password is passed over and kept; one
    // never to be used is kept too, marked so.
    if (check.outcome != CheckOutcome::Passed) {
        if (row >= 0 && IsNeverUsed(check.outcome))
            PutTestFigures(list, row, check);
        TestNextCandidate();
        return;
    }
    if (row >= 0)
        PutTestFigures(list, row, check);
    if (!HidesUserAddress(check.level) || row < 0) {
        TestNextCandidate();
        return;
    }
    checking_ = false;
    candidates_.clear();
    std::string address = RowAddressOf(checked_);
    activation_.SwitchUpstream(WithKeptPassword(checked_));
    view_.SetSelectorText(address);
    activation_.ShowActive(address);
}
