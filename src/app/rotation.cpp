#include "app/rotation.h"

#include "base/text_compare.h"
#include "net/socket.h"
#include "proxies/proxy_line.h"
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

int NextRow(int index, int count) {
    return index < count - 1 ? index + 1 : 0;
}

bool SocketProbe::CheckProxyReachable(const std::string& host, int port) {
    net::NetworkInit network;
    std::string address;
    if (!network.Ok() || !net::ResolveFirstAddress(host, ProxyConnectTimeoutMs, address)) {
        view_.Tell(rotation::UnresolvedProxy, "Error");
        return false;
    }
    net::Socket connection = net::ConnectTcp(address, port, ProxyConnectTimeoutMs);
    if (!connection.IsValid()) {
        view_.Tell(rotation::UnreachableProxy, "Error");
        return false;
    }
    return true;
}

uint32_t SocketProbe::MeasureResponseTime(const std::string& host, int port) {
    return ::MeasureResponseTime(host, port, nullptr);
}

ProxyRotation::ProxyRotation(ProxyActivation& activation, MainWindowView& view, ProxyProbe& probe)
    : activation_(activation), view_(view), probe_(probe) {}

void ProxyRotation::Start() {
    minutes_ = RegDwordValue(setting::AutoTimer).Get();
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
    if (rotating_)
        return;
    rotating_ = true;
    RotateOnce();
    rotating_ = false;
}

void ProxyRotation::RotateOnce() {
    ProxyList& list = activation_.List();
    int active = FindRowByPrefix(list, AddressPart(RegStringValue(setting::ProxyName).Get()));
    if (active < 0)
        return;
    int next = NextRow(active, list.Count());
    std::string address = list.Row(next).address;
    if (!activation_.Enabled())
        return;
    ProxyLine proxy(address);
    if (!probe_.CheckProxyReachable(proxy.Host(), proxy.Port())) {
        // The user may have changed the list while the message was up.
        if (next >= list.Count() || list.Row(next).address != address)
            next = list.FindProxyRow(address);
        list.RemoveRow(next);
        activation_.SaveList();
        return;
    }
    activation_.SwitchUpstream(proxy.Host(), proxy.Port());
    view_.SetSelectorText(address);
    activation_.ShowActive(address);
}
