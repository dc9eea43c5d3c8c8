// Gatereset's start routine with recording stand-ins for the system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "restore/process_match.h"
#include "restore/restore_sequence.h"

namespace {

using Log = std::vector<std::string>;

// Logs every call the restore makes, in order, to whichever of the three it goes.
struct RecordingSystem : ProcessControl, BrowserRestores, PollQuestion {
    bool StopFirstProcessNamed(const std::string& text) override {
        log.push_back("stop " + text);
        return found;
    }
    bool IsProcessNamedRunning(const std::string& text, uint32_t except) override {
        log.push_back("find " + text + " but " + std::to_string(except));
        return found;
    }
    void WaitForEnd(uint32_t id) override { log.push_back("wait " + std::to_string(id)); }
    void HoldRestoreLock() override { log.push_back("lock"); }
    bool ResetInternetSettings() override {
        log.push_back("internet settings");
        return resetWorks;
    }
    bool IsBrowsingMarkedOn() override { return markedOn; }
    void ForgetBrowsingMark() override { log.push_back("forget mark"); }
    void RestoreOperaInstallationIni() override { log.push_back("opera 1"); }
    void RestoreOperaProfileIni() override { log.push_back("opera 2"); }
    void RestoreOperaInstallationDefaults() override { log.push_back("opera 3"); }
    void RestoreMozilla() override { log.push_back("mozilla"); }
    void RestoreFirefox() override { log.push_back("firefox"); }
    void Ask() override { log.push_back("poll"); }
    bool FirefoxRestoreUnfinished() override { return firefoxRunning; }

    Log log;
    bool firefoxRunning = false;
    bool found = true;
    bool resetWorks = true;
    bool markedOn = true;
};

const Log EveryBrowser = {"internet settings", "opera 1", "opera 2",
                          "opera 3",           "mozilla", "firefox"};
const Log FullRun = {"forget mark", "stop Veilgate", "internet settings", "opera 1", "opera 2",
                     "opera 3",     "mozilla",       "firefox",           "poll"};

Log Then(Log first, const Log& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// What the user has at each moment: whether Veilgate still runs, and which
// browsers still point at it. Each browser remembers whether Veilgate was
// still running when it was reset, since a running copy could point it back.
struct Machine : ProcessControl, BrowserRestores, PollQuestion {
    bool veilgateRunning = true;
    Log proxied = EveryBrowser;
    std::vector<std::string> resetWhileRunning;
    bool askedWithBrowsersProxied = false;
    bool asked = false;

    bool StopFirstProcessNamed(const std::string& text) override {
        bool stopped = veilgateRunning && text == "Veilgate";
        veilgateRunning = veilgateRunning && !stopped;
        return stopped;
    }
    bool IsProcessNamedRunning(const std::string&, uint32_t) override { return veilgateRunning; }
    void WaitForEnd(uint32_t) override {}
    void HoldRestoreLock() override {}
    bool IsBrowsingMarkedOn() override { return false; }
    void ForgetBrowsingMark() override {}
    void Reset(const std::string& browser) {
        if (veilgateRunning)
            resetWhileRunning.push_back(browser);
        proxied.erase(std::remove(proxied.begin(), proxied.end(), browser), proxied.end());
    }
    bool ResetInternetSettings() override {
        Reset("internet settings");
        return true;
    }
    void RestoreOperaInstallationIni() override { Reset("opera 1"); }
    void RestoreOperaProfileIni() override { Reset("opera 2"); }
    void RestoreOperaInstallationDefaults() override { Reset("opera 3"); }
    void RestoreMozilla() override { Reset("mozilla"); }
    void RestoreFirefox() override { Reset("firefox"); }
    void Ask() override {
        asked = true;
        askedWithBrowsersProxied = !proxied.empty();
    }
};

TEST(RunRestore, VeilgateIsStoppedFirstThenEveryBrowserGoesDirectThenThePollIsOffered) {
    Machine machine;
    EXPECT_EQ(0, RunRestore(machine, machine, machine));
    EXPECT_FALSE(machine.veilgateRunning);
    EXPECT_TRUE(machine.proxied.empty()) << machine.proxied.front() << " still proxied";
    EXPECT_TRUE(machine.resetWhileRunning.empty()) << "reset before Veilgate was stopped";
    EXPECT_TRUE(machine.asked);
    EXPECT_FALSE(machine.askedWithBrowsersProxied);
}

TEST(RunRestore, EachRunMakesItsCallsInOrder) {
    const RestoreRun full = RestoreRun::Full, watch = RestoreRun::Watch;
    const RestoreRun leftover = RestoreRun::Leftover;
    const Log quiet = Then(EveryBrowser, {"forget mark"});
    const struct {
        RestoreRun run;
        bool markedOn, veilgateRuns, resetWorks;
        Log expected;
    } cases[] = {
        // Without the main program running, everything else still runs.
        {full, true, false, true, FullRun},
        // A failed reset of the Internet settings ends the run.
        {full, true, true, false, {"forget mark", "stop Veilgate", "internet settings"}},
        // Browsers only: nothing is stopped, nothing asked.
        {RestoreRun::BrowsersOnly, true, true, true, Then({"forget mark"}, EveryBrowser)},
        // The quiet runs restore only what the mark says a Veilgate that is gone left.
        {watch, true, false, true, Then({"wait 42", "lock", "find Veilgate but 42"}, quiet)},
        {leftover, true, false, true, Then({"lock", "find Veilgate but 0"}, quiet)},
        // After an orderly end: the watcher leaves quietly.
        {watch, false, false, true, {"wait 42", "lock"}},
        // Another Veilgate has them in hand.
        {leftover, true, true, true, {"lock", "find Veilgate but 0"}},
        {watch, true, true, true, {"wait 42", "lock", "find Veilgate but 42"}},
        // The mark stays for another try.
        {leftover, true, false, false, {"lock", "find Veilgate but 0", "internet settings"}},
    };
    for (const auto& c : cases) {
        RecordingSystem system;
        system.markedOn = c.markedOn;
        system.found = c.veilgateRuns;
        system.resetWorks = c.resetWorks;
        RestoreCommand command{c.run, c.run == RestoreRun::Watch ? 42u : 0u};
        EXPECT_EQ(0, RunRestore(system, system, system, command));
        EXPECT_EQ(c.expected, system.log)
            << static_cast<int>(c.run) << c.markedOn << c.veilgateRuns << c.resetWorks;
    }
}

// The uninstaller learns from the exit code that Firefox kept a profile's
// restore from being finished, and asks for Firefox to be closed.
TEST(RunRestore, OnlyTheUninstallersRunSaysFirefoxStillRuns) {
    for (RestoreRun run : {RestoreRun::BrowsersOnly, RestoreRun::Full, RestoreRun::Leftover}) {
        RecordingSystem system;
        system.found = false;
        system.firefoxRunning = true;
        EXPECT_EQ(run == RestoreRun::BrowsersOnly ? FirefoxStillRunningExitCode : 0,
                  RunRestore(system, system, system, RestoreCommand{run, 0}))
            << static_cast<int>(run);
    }
}

TEST(RestoreCommandFor, EachSwitchAloneAndWatchWithAProcessId) {
    const struct {
        const char* commandLine;
        RestoreRun run;
        uint32_t processId;
    } cases[] = {
        {"", RestoreRun::Full, 0},
        {" /RestoreOnly\t", RestoreRun::BrowsersOnly, 0},
        {"/restoreonly /x", RestoreRun::Full, 0},
        {"/LEFTOVER ", RestoreRun::Leftover, 0},
        {" /Watch \t 4294967295 ", RestoreRun::Watch, 4294967295u},
        {"/watch 4294967296", RestoreRun::Full, 0},
        {"/watch 0", RestoreRun::Full, 0},
        {"/watch 12x", RestoreRun::Full, 0},
        {"/watch1234", RestoreRun::Full, 0},
    };
    for (const auto& c : cases) {
        RestoreCommand command = RestoreCommandFor(c.commandLine);
        EXPECT_EQ(c.run, command.run) << c.commandLine;
        EXPECT_EQ(c.processId, command.processId) << c.commandLine;
    }
}

}  // namespace

namespace {

// A snapshot lists every session's processes; only the caller's session
// counts. Session 1 is the caller's, 2 another user's (fast user switching),
// 0 the services'. The caller is process 10.
TEST(FirstProcessNamedInSession, OnlyTheCallersOwnSessionCounts) {
    struct Case {
        const char* name;
        std::vector<RunningProcess> processes;
        uint32_t except;
        uint32_t found;
    };
    const Case cases[] = {
        {"one in the caller's session", {{5, true, 1, "Veilgate.exe"}}, 0, 5},
        {"another user's only: none", {{5, true, 2, "Veilgate.exe"}}, 0, 0},
        {"another user's first, then the caller's",
         {{5, true, 2, "Veilgate.exe"}, {7, true, 1, "Veilgate.exe"}},
         0,
         7},
        {"a session that cannot be read is another user's", {{5, false, 1, "Veilgate.exe"}}, 0, 0},
        {"a service's copy: none", {{5, true, 0, "Veilgate.exe"}}, 0, 0},
        {"the caller itself is left out", {{10, true, 1, "Veilgate.exe"}}, 0, 0},
        {"so is the process watched",
         {{5, true, 1, "Veilgate.exe"}, {6, true, 1, "xVeilgate"}},
         5,
         6},
        {"case-sensitive", {{5, true, 1, "veilgate.exe"}}, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.found,
                  FirstProcessNamedInSession(c.processes, MainProgramNameText, 1, 10, c.except))
            << c.name;
    }
}

}  // namespace
