#include "app/rotation.h"

#include <algorithm>

#include "base/text_compare.h"
#include "net/socket.h"
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
        if (base::StartsWithIgnoringCase(list.Row(i).address, prefix))
            return i;
    }
    return -1;
}

bool IsTransparentRow(const ProxyList& list, int index) {
    return AnonymityFromWord(list.Row(index).anonymity) == Anonymity::Transparent;
}

int NextRow(int index, int count) {
    return index < count - 1 ? index + 1 : 0;
}

Reachability SocketProbe::CheckProxyReachable(const std::string& host, int port) {
    net::NetworkInit network;
    std::string address;
    if (!network.Ok() || !net::ResolveFirstAddress(host, ProxyConnectTimeoutMs, address))
        return Reachability::Unresolved;
    net::Socket connection = net::ConnectTcp(address, port, ProxyConnectTimeoutMs);
    return connection.IsValid() ? Reachability::Reachable : Reachability::Unreachable;
}

const char* ReachabilityMessage(Reachability reachability) {
    switch (reachability) {
    case Reachability::Unresolved:
        return rotation::UnresolvedProxy;
    case Reachability::Unreachable:
        return rotation::UnreachableProxy;
    default:
        return "";
    }
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
    if (checking_)
        return;
    ProxyList& list = activation_.List();
    int active = FindRowByPrefix(list, AddressPart(RegStringValue(setting::ProxyName).Get()));
    if (active < 0)
        return;
    // A transparent proxy is passed over: it would hand the user's address
    // to every site.
    int next = NextRow(active, list.Count());
    for (int tried = 1; tried < list.Count() && IsTransparentRow(list, next); ++tried)
        next = NextRow(next, list.Count());
    if (IsTransparentRow(list, next))
        return;
    std::string address = list.Row(next).address;
    if (!activation_.Enabled())
        return;
    ProxyLine proxy(address);
    checking_ = work_.StartReachabilityCheck(proxy.Host(), proxy.Port());
    if (checking_)
        checkedAddress_ = address;
}

void ProxyRotation::OnChecked(Reachability reachability) {
    if (!checking_)
        return;
    std::string address = checkedAddress_;
    // Browsing switched off while the check ran: the tick has nothing to do.
    if (!activation_.Enabled()) {
        checking_ = false;
        return;
    }
    if (reachability != Reachability::Reachable) {
        // A tick during the message still finds the step running.
        view_.Tell(ReachabilityMessage(reachability), "Error");
        ProxyList& list = activation_.List();
        // The user may have changed the list meanwhile: the row is found
        // again by its address.
        int row = list.FindProxyRow(address);
        if (row >= 0) {
            list.RemoveRow(row);
            activation_.SaveList();
        }
        checking_ = false;
        return;
    }
    checking_ = false;
    activation_.SwitchUpstream(ProxyWithPassword(address));
    view_.SetSelectorText(address);
    activation_.ShowActive(address);
}
