// Gatereset's start routine with recording stand-ins for the system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "restore/restore_sequence.h"

namespace {

using Log = std::vector<std::string>;

// Logs every call the restore makes, in order, to whichever of the three it goes.
struct RecordingSystem : ProcessControl, BrowserRestores, PollQuestion {
    bool StopFirstProcessNamed(const std::string& text) override {
        log.push_back("stop " + text);
        return found;
    }
    bool ResetInternetSettings() override {
        log.push_back("internet settings");
        return resetWorks;
    }
    void RestoreOperaInstallationIni() override { log.push_back("opera 1"); }
    void RestoreOperaProfileIni() override { log.push_back("opera 2"); }
    void RestoreOperaInstallationDefaults() override { log.push_back("opera 3"); }
    void RestoreMozilla() override { log.push_back("mozilla"); }
    void RestoreFirefox() override { log.push_back("firefox"); }
    void Ask() override { log.push_back("poll"); }

    Log log;
    bool found = true;
    bool resetWorks = true;
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
    RecordingSystem system;
    system.found = false;
    EXPECT_EQ(0, RunRestore(system, system, system));
    EXPECT_EQ(FullRun, system.log);
}

TEST(RunRestore, FailedInternetSettingsResetEndsTheRun) {
    RecordingSystem system;
    system.resetWorks = false;
    EXPECT_EQ(0, RunRestore(system, system, system));
    EXPECT_EQ((Log{"stop Veilgate", "internet settings"}), system.log);
}

TEST(RunRestore, BrowsersOnlyRunStopsNothingAndAsksNothing) {
    RecordingSystem system;
    EXPECT_EQ(0, RunRestore(system, system, system, RestoreRun::BrowsersOnly));
    EXPECT_EQ((Log{"internet settings", "opera 1", "opera 2", "opera 3", "mozilla", "firefox"}),
              system.log);
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
