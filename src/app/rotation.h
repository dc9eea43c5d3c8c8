// Moving to the next tested proxy every few minutes: the rotation box, the
// MinutesField, timer 100 and the step that makes the next row active.
#pragma once

#include <cstdint>
#include <string>

#include "app/activation.h"
#include "app/shell_interfaces.h"

namespace rotation {
constexpr int TimerId = 100;
constexpr uint32_t MillisecondsPerMinute = 60000;
constexpr uint32_t MaxMinutes = 90;
// What the field is reset to after an unusable interval.
constexpr uint32_t ResetMinutes = 10;
constexpr char NoInterval[] =
    "Please fill the automaticlly change the allready tested proxies value";
constexpr char IntervalTooLong[] =
    "Please fill the automaticlly change the allready tested proxies value [1..90] minutes";
constexpr char UnresolvedProxy[] = "Unable to solve proxy server name";
constexpr char UnreachableProxy[] = "Unable to connect to proxy server";
}  // namespace rotation

// The index of the first row whose address begins with `prefix`, regardless
// of case, or -1.
int FindRowByPrefix(const ProxyList& list, const std::string& prefix);
// The row after `index`, wrapping from the last row to the first.
int NextRow(int index, int count);

// CheckProxyReachable and MeasureResponseTime over real sockets, bounded by
// the tester's time-out; the reasons are told through the view.
class SocketProbe : public ProxyProbe {
public:
    explicit SocketProbe(MainWindowView& view) : view_(view) {}
    bool CheckProxyReachable(const std::string& host, int port) override;
    uint32_t MeasureResponseTime(const std::string& host, int port) override;

private:
    MainWindowView& view_;
};

class ProxyRotation {
public:
    ProxyRotation(ProxyActivation& activation, MainWindowView& view, ProxyProbe& probe);

    // The window's start-up: the field from AutoTimer, the box and the timer
    // from AutoEnabled.
    void Start();
    void OnBoxClicked();
    void OnMinutesChanged();
    // Timer 100. A tick that falls due while the previous step still runs
    // (in its connect or its message) does nothing.
    void RotateProxy();

    uint32_t Minutes() const { return minutes_; }

private:
    void RotateOnce();
    // The rotation off after an unusable interval, the field back at 10.
    void RefuseInterval(const char* warning);

    ProxyActivation& activation_;
    MainWindowView& view_;
    ProxyProbe& probe_;
    uint32_t minutes_ = 0;
    bool rotating_ = false;
};
