// The stored proxy tested in the background when the program starts with
// anonymous browsing on: one that turns out transparent or dead is left for
// the next tested proxy that is neither, or anonymous browsing goes off, and
// the user is told which.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/activation.h"
#include "app/shell_interfaces.h"

namespace startup_check {
constexpr char TransparentFormat[] =
    "The proxy %s passes your own IP address on to the sites you visit.";
constexpr char DeadFormat[] = "The proxy %s does not answer.";
constexpr char MovedFormat[] = " Veilgate now uses %s.";
constexpr char NoneLeft[] = " No other tested proxy can be used: Veilgate is off.";
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
    // After "Test All Proxies": an active proxy it graded transparent is
    // checked again as at start-up, and left for the next usable one.
    void RecheckIfActiveIsTransparent();
    bool Running() const { return run_ != 0; }

private:
    // The rows after the stored proxy's, in list order from it, wrapping;
    // not the stored proxy itself, nor one known to be transparent.
    std::vector<std::string> Candidates() const;
    // Whether the stored proxy is still the active one: the user may have
    // chosen another meanwhile, which is then left alone.
    bool StillActive() const;
    // The figures and level of a passed proxy into its row, if it has one.
    void KeepFigures(const ProxyTestResult& result);
    void MoveOn(const std::vector<std::string>& candidates);

    ProxyActivation& activation_;
    MainWindowView& view_;
    BackgroundWork& work_;
    // Runs count down from -1, so that they never meet those of "Test All
    // Proxies", which count up.
    int lastRun_ = 0;
    int run_ = 0;
    bool testingOthers_ = false;
    std::string stored_;
    // Why the stored proxy is left ("The proxy ... does not answer.").
    std::string why_;
    std::vector<std::string> candidates_;
    std::map<std::string, ProxyCheck> results_;
};
