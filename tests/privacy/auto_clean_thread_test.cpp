// The auto-clean thread against a work object that records what happens:
// a pass at once, the interval asked after every pass, a cooperative stop
// that also ends the wait, and never two passes at the same time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "privacy/auto_clean_thread.h"
#include "recording_work.h"
#include "wait_for.h"

namespace {

using namespace std::chrono_literals;

class AutoCleanThreadTest : public testing::Test {
protected:
    RecordingWork work;  // 99 minutes between passes
    AutoCleanThread thread{work};
};

TEST_F(AutoCleanThreadTest, RunsAPassAtOnceThenWaitsTheStoredInterval) {
    EXPECT_FALSE(thread.IsStarted());
    ASSERT_TRUE(thread.StartThread());
    EXPECT_TRUE(thread.IsStarted());
    ASSERT_TRUE(WaitFor([&] { return work.intervalReads.load() == 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(work.passesStarted.load(), 1) << "99 minutes have not passed";

    thread.StopThread();
    EXPECT_FALSE(thread.IsStarted());
    EXPECT_TRUE(WaitFor([&] { return work.threadsEnded.load() == 1; }))
        << "a stop must end the wait, not only the pass";
}

TEST_F(AutoCleanThreadTest, AnIntervalOfZeroStillWaitsBetweenPasses) {
    work.zeroIntervalReads = 3;
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(WaitFor([&] { return work.intervalReads.load() == 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(work.passesStarted.load(), 1) << "passes must not run back to back";
    EXPECT_EQ(work.intervalReads.load(), 1);
}

TEST_F(AutoCleanThreadTest, ARestartWaitsForTheOldPassAndNeverRunsTwoAtOnce) {
    work.passRunsUntilStopped = true;
    work.currentFileMayEnd = false;
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(WaitFor([&] { return work.passesStarted.load() == 1; }));

    thread.StopThread();  // returns while the old pass finishes its file
    ASSERT_TRUE(thread.StartThread());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(work.passesStarted.load(), 1) << "the new pass began beside the old one";

    work.currentFileMayEnd = true;
    EXPECT_TRUE(WaitFor([&] { return work.passesStarted.load() == 2; }))
        << "the new thread must begin its pass once the old one has left";
    EXPECT_TRUE(WaitFor([&] { return work.threadsEnded.load() == 1; }));
    EXPECT_EQ(work.maxInPass.load(), 1);
}

TEST_F(AutoCleanThreadTest, ARestartDuringTheWaitBeginsANewPassAtOnce) {
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(WaitFor([&] { return work.intervalReads.load() == 1; }));
    thread.StopThread();
    ASSERT_TRUE(thread.StartThread());
    EXPECT_TRUE(WaitFor([&] { return work.passesStarted.load() == 2; }));
    EXPECT_TRUE(WaitFor([&] { return work.threadsEnded.load() == 1; }));
    EXPECT_EQ(work.threadsBegun.load(), 2);
}

TEST_F(AutoCleanThreadTest, StartingTwiceWithoutAStopStillKeepsOnePassAtATime) {
    work.passRunsUntilStopped = true;
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(thread.StartThread());
    EXPECT_TRUE(WaitFor([&] { return work.threadsEnded.load() == 2; }));
    EXPECT_TRUE(WaitFor([&] { return work.inPass.load() == 1; }))
        << "the last thread started keeps cleaning";
    EXPECT_EQ(work.maxInPass.load(), 1);
}

TEST_F(AutoCleanThreadTest, StopWithoutAThreadDoesNothing) {
    thread.StopThread();
    thread.StopThread();
    EXPECT_FALSE(thread.IsStarted());
    EXPECT_EQ(work.threadsBegun.load(), 0);
}

TEST_F(AutoCleanThreadTest, DestructionStopsTheThreadAndWaitsForIt) {
    work.passRunsUntilStopped = true;
    {
        AutoCleanThread own(work);
        ASSERT_TRUE(own.StartThread());
        ASSERT_TRUE(WaitFor([&] { return work.passesStarted.load() == 1; }));
    }
    EXPECT_EQ(work.threadsEnded.load(), 1);
    EXPECT_EQ(work.inPass.load(), 0);
}

}  // namespace
