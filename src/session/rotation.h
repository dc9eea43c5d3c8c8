// Moving to the next tested proxy every few minutes: the rotation box, the
// MinutesField, timer 100 and the step that makes the next row active.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/activation.h"
#include "session/shell_interfaces.h"

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
constexpr char UnreachableProxy[] = "Unable to connect to proxy server";
}  // namespace rotation

// The index of the first row whose address begins with `prefix`, regardless
// of case, or -1.
int FindRowByPrefix(const ProxyList& list, const std::string& prefix);

class ProxyRotation {
public:
    ProxyRotation(ProxyActivation& activation, MainWindowView& view, BackgroundWork& work);

    // The window's start-up: the field from AutoTimer, the box and the timer
    // from AutoEnabled.
    void Start();
    void OnBoxClicked();
    void OnMinutesChanged();
    // Timer 100: the rows after the active one that a test in this run
    // showed to hide the user are tested again on a worker thread, one at a
    // time in list order, and the first that passes as well becomes the
    // active proxy. A tick that falls due while the previous step still runs
    // (its test or its message) does nothing.
    void RotateProxy();
    // The test's outcome, on the window's thread.
    void OnTested(const ProxyTestResult& result);

    uint32_t Minutes() const { return minutes_; }
    bool Checking() const { return checking_; }

private:
    // The rotation off after an unusable interval, the field back at 10.
    void RefuseInterval(const char* warning);
    // Starts the test of the first of candidates_ still in the list; the
    // step ends when none is left.
    void TestNextCandidate();

    ProxyActivation& activation_;
    MainWindowView& view_;
    BackgroundWork& work_;
    uint32_t minutes_ = 0;
    bool checking_ = false;
    // The row being tested, and those still to try in this step.
    net::ProxyAddress checked_;
    std::vector<net::ProxyAddress> candidates_;
};
