// The auto-clean thread against a work object that records what happens:
// a pass at once, the interval asked after every pass, a cooperative stop
// that also ends the wait, and never two passes at the same time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "privacy/auto_clean_thread.h"
#include "wait_for.h"

namespace {

using namespace std::chrono_literals;

class RecordingWork : public AutoCleanWork {
public:
    void BeforeRun() override { ++threadsBegun; }
    void AfterRun() override { ++threadsEnded; }

    void RunPass(const StopToken& stop) override {
        int now = ++inPass;
        int seen = maxInPass.load();
        while (now > seen && !maxInPass.compare_exchange_weak(seen, now)) {
        }
        ++passesStarted;
        if (passRunsUntilStopped) {
            // A long pass: it looks at the token between its "files", and
            // after a stop it still finishes the file it is on.
            WaitFor([&] { return stop.StopRequested(); }, 20s);
            WaitFor([&] { return currentFileMayEnd.load(); }, 20s);
        }
        --inPass;
        ++passesFinished;
    }

    uint32_t IntervalMinutes() override {
        int read = ++intervalReads;
        return read <= zeroIntervalReads ? 0 : interval.load();
    }

    std::atomic<int> threadsBegun{0};
    std::atomic<int> threadsEnded{0};
    std::atomic<int> passesStarted{0};
    std::atomic<int> passesFinished{0};
    std::atomic<int> inPass{0};
    std::atomic<int> maxInPass{0};
    std::atomic<int> intervalReads{0};
    std::atomic<uint32_t> interval{99};
    int zeroIntervalReads = 0;
    bool passRunsUntilStopped = false;
    std::atomic<bool> currentFileMayEnd{true};
};

TEST(AutoCleanThread, RunsAPassAtOnceThenWaitsTheStoredInterval) {
    RecordingWork work;
    AutoCleanThread thread(work);
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

TEST(AutoCleanThread, AnIntervalOfZeroRunsPassesBackToBackAndIsAskedAfterEachPass) {
    RecordingWork work;
    work.zeroIntervalReads = 3;  // then 99 minutes
    AutoCleanThread thread(work);
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(WaitFor([&] { return work.intervalReads.load() == 4; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(work.passesStarted.load(), 4);
    EXPECT_EQ(work.intervalReads.load(), 4);
}

TEST(AutoCleanThread, ARestartWaitsForTheOldPassAndNeverRunsTwoAtOnce) {
    RecordingWork work;
    work.passRunsUntilStopped = true;
    work.currentFileMayEnd = false;
    AutoCleanThread thread(work);
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

TEST(AutoCleanThread, ARestartDuringTheWaitBeginsANewPassAtOnce) {
    RecordingWork work;  // 99 minutes between passes
    AutoCleanThread thread(work);
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(WaitFor([&] { return work.intervalReads.load() == 1; }));
    thread.StopThread();
    ASSERT_TRUE(thread.StartThread());
    EXPECT_TRUE(WaitFor([&] { return work.passesStarted.load() == 2; }));
    EXPECT_TRUE(WaitFor([&] { return work.threadsEnded.load() == 1; }));
    EXPECT_EQ(work.threadsBegun.load(), 2);
}

TEST(AutoCleanThread, StartingTwiceWithoutAStopStillKeepsOnePassAtATime) {
    RecordingWork work;
    work.passRunsUntilStopped = true;
    AutoCleanThread thread(work);
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(thread.StartThread());
    ASSERT_TRUE(thread.StartThread());
    EXPECT_TRUE(WaitFor([&] { return work.threadsEnded.load() == 2; }));
    EXPECT_EQ(work.maxInPass.load(), 1);
}

TEST(AutoCleanThread, StopWithoutAThreadDoesNothing) {
    RecordingWork work;
    AutoCleanThread thread(work);
    thread.StopThread();
    thread.StopThread();
    EXPECT_FALSE(thread.IsStarted());
    EXPECT_EQ(work.threadsBegun.load(), 0);
}

TEST(AutoCleanThread, DestructionStopsTheThreadAndWaitsForIt) {
    RecordingWork work;
    work.passRunsUntilStopped = true;
    {
        AutoCleanThread thread(work);
        ASSERT_TRUE(thread.StartThread());
        ASSERT_TRUE(WaitFor([&] { return work.passesStarted.load() == 1; }));
    }
    EXPECT_EQ(work.threadsEnded.load(), 1);
    EXPECT_EQ(work.inPass.load(), 0);
}

}  // namespace
