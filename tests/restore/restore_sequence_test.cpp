// Gatereset's start routine with recording stand-ins for the system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "restore/restore_sequence.h"

namespace {

using Log = std::vector<std::string>;

class RecordingProcesses : public ProcessControl {
public:
    explicit RecordingProcesses(Log& log) : log_(log) {}
    bool StopFirstProcessNamed(const std::string& text) override {
        log_.push_back("stop " + text);
        return found;
    }
    bool found = true;

private:
    Log& log_;
};

class RecordingBrowsers : public BrowserRestores {
public:
    explicit RecordingBrowsers(Log& log) : log_(log) {}
    bool ResetInternetSettings() override {
        log_.push_back("internet settings");
        return resetWorks;
    }
    void RestoreOperaInstallationIni() override { log_.push_back("opera 1"); }
    void RestoreOperaProfileIni() override { log_.push_back("opera 2"); }
    void RestoreOperaInstallationDefaults() override { log_.push_back("opera 3"); }
    void RestoreMozilla() override { log_.push_back("mozilla"); }
    void RestoreFirefox() override { log_.push_back("firefox"); }
    bool resetWorks = true;

private:
    Log& log_;
};

class RecordingPoll : public PollQuestion {
public:
    explicit RecordingPoll(Log& log) : log_(log) {}
    void Ask() override { log_.push_back("poll"); }

private:
    Log& log_;
};

const Log FullRun = {"stop Veilgate", "internet settings", "opera 1", "opera 2",
                     "opera 3",       "mozilla",           "firefox", "poll"};

// What the user has at each moment: whether Veilgate still runs, and which
// browsers still point at it. Each browser remembers whether Veilgate was
// still running when it was reset, since a running copy could point it back.
struct Machine : ProcessControl, BrowserRestores, PollQuestion {
    bool veilgateRunning = true;
    std::vector<std::string> proxied = {"internet settings", "opera 1", "opera 2",
                                        "opera 3",           "mozilla", "firefox"};
    std::vector<std::string> resetWhileRunning;
    bool askedWithBrowsersProxied = false;
    bool asked = false;

    bool StopFirstProcessNamed(const std::string& text) override {
        bool stopped = veilgateRunning && text == "Veilgate";
        veilgateRunning = veilgateRunning && !stopped;
        return stopped;
    }
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

TEST(RunRestore, WithoutTheMainProgramRunningEverythingElseStillRuns) {
    Log log;
    RecordingProcesses processes(log);
    processes.found = false;
    RecordingBrowsers browsers(log);
    RecordingPoll poll(log);
    EXPECT_EQ(0, RunRestore(processes, browsers, poll));
    EXPECT_EQ(FullRun, log);
}

TEST(RunRestore, FailedInternetSettingsResetEndsTheRun) {
    Log log;
    RecordingProcesses processes(log);
    RecordingBrowsers browsers(log);
    browsers.resetWorks = false;
    RecordingPoll poll(log);
    EXPECT_EQ(0, RunRestore(processes, browsers, poll));
    EXPECT_EQ((Log{"stop Veilgate", "internet settings"}), log);
}

TEST(RunRestore, BrowsersOnlyRunStopsNothingAndAsksNothing) {
    Log log;
    RecordingProcesses processes(log);
    RecordingBrowsers browsers(log);
    RecordingPoll poll(log);
    EXPECT_EQ(0, RunRestore(processes, browsers, poll, RestoreRun::BrowsersOnly));
    EXPECT_EQ((Log{"internet settings", "opera 1", "opera 2", "opera 3", "mozilla", "firefox"}),
              log);
}

TEST(RestoreRunFor, OnlyTheSwitchItselfRestoresBrowsersOnly) {
    const struct {
        const char* commandLine;
        RestoreRun run;
    } cases[] = {
        {"", RestoreRun::Full},
        {"/restoreonly", RestoreRun::BrowsersOnly},
        {" /RestoreOnly\t", RestoreRun::BrowsersOnly},
        {"/restore", RestoreRun::Full},
        {"/restoreonly /x", RestoreRun::Full},
        {"restoreonly", RestoreRun::Full},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.run, RestoreRunFor(c.commandLine)) << c.commandLine;
}

}  // namespace
