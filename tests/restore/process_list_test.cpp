// Finding and stopping the main program among real processes of the test
// prefix, with stand-ins whose file names carry the search text.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/scoped_win.h"
#include "browsers/browsing_mark.h"
#include "restore/process_list_win.h"
#include "restore/restore_sequence.h"
#include "restore/restore_system_win.h"
#include "restore_test_support.h"

namespace {

using namespace testing_support;

TEST(ProcessList, StopsTheRunningMainProgramWithExitCodeZero) {
    StartedProcesses processes;
    DWORD id = processes.StartStandIn("VeilgateStandIn.exe");
    ASSERT_NE(0u, id);
    EXPECT_EQ(id, FindFirstProcessNamed(MainProgramNameText));
    EXPECT_TRUE(StopFirstProcessNamed(MainProgramNameText));
    EXPECT_EQ(0, processes.WaitForExit(id, 10000));
}

TEST(ProcessList, OnlyTheFirstOfTwoInTheSnapshotStops) {
    StartedProcesses processes;
    DWORD first = processes.StartStandIn("VeilgateStandIn.exe");
    DWORD second = processes.StartStandIn("CopyOfVeilgate.exe");
    ASSERT_TRUE(first && second) << first << " " << second;
    DWORD chosen = FindFirstProcessNamed(MainProgramNameText);
    ASSERT_TRUE(chosen == first || chosen == second);
    DWORD other = chosen == first ? second : first;

    EXPECT_TRUE(StopFirstProcessNamed(MainProgramNameText));
    EXPECT_EQ(0, processes.WaitForExit(chosen, 10000));
    EXPECT_EQ(-1, processes.WaitForExit(other, 300));
    EXPECT_TRUE(processes.IsRunning(other));
    EXPECT_EQ(other, FindFirstProcessNamed(MainProgramNameText));
}

// A crashed Veilgate may never end: its crash filter signals its event, and
// the watcher's wait ends with the process still there.
TEST(ProcessList, TheWatchersWaitEndsWhenTheProcessAsksForTheRestoreNow) {
    StartedProcesses processes;
    DWORD id = processes.StartStandIn("VeilgateStandIn.exe");
    ASSERT_NE(0u, id);
    base::ScopedHandle restoreNow(
        CreateEventA(nullptr, TRUE, FALSE, RestoreNowEventName(id).c_str()));
    ASSERT_TRUE(restoreNow);
    std::atomic<bool> waited{false};
    std::thread watcher([&] {
        SystemProcessControl().WaitForEnd(id);
        waited = true;
    });
    Sleep(300);
    EXPECT_FALSE(waited) << "the wait ended before the process asked";
    SetEvent(restoreNow.Get());
    watcher.join();
    EXPECT_TRUE(processes.IsRunning(id));
}

// Nor does this test program's own name carry the text.
TEST(ProcessList, NameWithTheTextOnlyInLowerCaseIsLeftRunning) {
    StartedProcesses processes;
    DWORD lower = processes.StartStandIn("veilgate-helper.exe");
    ASSERT_NE(0u, lower);
    EXPECT_EQ(0u, FindFirstProcessNamed(MainProgramNameText));
    EXPECT_FALSE(StopFirstProcessNamed(MainProgramNameText));
    EXPECT_EQ(-1, processes.WaitForExit(lower, 300));
}

}  // namespace
