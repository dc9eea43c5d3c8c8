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
// Whether a test in this run found the row's proxy transparent.
bool IsTransparentRow(const ProxyList& list, int index);
// The row after `index`, wrapping from the last row to the first.
int NextRow(int index, int count);

// CheckProxyReachable over real sockets, bounded by the tester's time-out.
class SocketProbe : public ProxyProbe {
public:
    Reachability CheckProxyReachable(const std::string& host, int port) override;
};

// What the user is told about a proxy that a check did not reach; empty
// for a reachable one.
const char* ReachabilityMessage(Reachability reachability);

class ProxyRotation {
public:
    ProxyRotation(ProxyActivation& activation, MainWindowView& view, BackgroundWork& work);

    // The window's start-up: the field from AutoTimer, the box and the timer
    // from AutoEnabled.
    void Start();
    void OnBoxClicked();
    void OnMinutesChanged();
    // Timer 100: starts the check of the next row on a worker thread. A
    // tick that falls due while the previous step still runs (its check or
    // its message) does nothing.
    void RotateProxy();
    // The check's outcome, on the window's thread.
    void OnChecked(Reachability reachability);

    uint32_t Minutes() const { return minutes_; }
    bool Checking() const { return checking_; }

private:
    // The rotation off after an unusable interval, the field back at 10.
    void RefuseInterval(const char* warning);

    ProxyActivation& activation_;
    MainWindowView& view_;
    BackgroundWork& work_;
    uint32_t minutes_ = 0;
    bool checking_ = false;
    // The row being checked.
    std::string checkedAddress_;
};
