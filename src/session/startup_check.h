// The stored proxy tested in the background when the program starts with
// anonymous browsing on: one that turns out transparent, of unknown level or
// dead is left for the next proxy that a test shows to hide the user, or
// anonymous browsing goes off, and the user is told which. When the test page
// cannot be reached even directly (no network yet at log-on), the stored
// proxy, the user's own earlier choice, stays "(not checked)" and is tested
// again every minute until the page answers.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "session/activation.h"
#include "session/shell_interfaces.h"

namespace startup_check {
constexpr char TransparentFormat[] =
    "The proxy %s passes your own IP address on to the sites you visit.";
constexpr char DeadFormat[] = "The proxy %s does not answer.";
constexpr char NeverUsedFormat[] =
    "The proxy %s changes the pages it passes on, or does not pass them on as they were sent.";
constexpr char UnknownFormat[] =
    "Veilgate could not check whether the proxy %s hides your IP address.";
constexpr char MovedFormat[] = " Veilgate now uses %s.";
constexpr char NoneLeft[] = " No other tested proxy can be used: Veilgate is off.";
constexpr int RecheckTimerId = 102;
constexpr uint32_t RecheckMs = 60000;
}  // namespace startup_check

class StartUpCheck {
public:
    StartUpCheck(ProxyActivation& activation, MainWindowView& view, BackgroundWork& work);

    // After the activation step: starts the test of ProxyName when on.
    void Start();
    // A result or the end of a run, on the window's thread; false when it
    // is not this check's.
    bool OnProxyTested(const ProxyTestResult& result);
    bool OnProxyTestsEnded(int run, bool judgeReached);
    // After "Test All Proxies": an active proxy it graded Transparent or
    // Unknown is checked again as at start-up, and left for the next usable
    // one.
    void RecheckIfActiveIsRefused();
    // Timer 102: the test of a proxy left "(not checked)" again.
    void OnRecheckTimer();
    bool Running() const { return run_ != 0; }

private:
    // The rows after the stored proxy's, in list order from it, wrapping;
    // not the stored proxy itself, nor one a test in this run refused.
    std::vector<net::ProxyAddress> Candidates() const;
    // Whether the stored proxy is still the active one: the user may have
    // chosen another meanwhile, which is then left alone.
    bool StillActive() const;
    // The figures and level of a passed proxy into its row, if it has one.
    void KeepFigures(const ProxyTestResult& result);
    void MoveOn(const std::vector<net::ProxyAddress>& candidates);

    ProxyActivation& activation_;
    MainWindowView& view_;
    BackgroundWork& work_;
    // Runs count down from -1, so that they never meet those of "Test All
    // Proxies", which count up.
    int lastRun_ = 0;
    int run_ = 0;
    bool testingOthers_ = false;
    std::string stored_;
    net::ProxyAddress storedProxy_;
    // Why the stored proxy is left ("The proxy ... does not answer.").
    std::string why_;
    std::vector<net::ProxyAddress> candidates_;
    std::map<std::string, ProxyCheck> results_;
};
