// The cleaner's decisions that need no Windows: which tasks a pass runs and
// in what order, how an index file is overwritten, which paths are refused,
// and how the stored interval is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "privacy/auto_clean_thread.h"
#include "privacy/clean_pass.h"
#include "privacy/clean_paths.h"
#include "privacy/index_wipe.h"
#include "settings/memory_settings_backend.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

const char* const Choices[] = {setting::IClear1, setting::IClear2, setting::IClear3,
                               setting::IClear4, setting::IClear5, setting::IClear6,
                               setting::IClear7};

void StoreChoice(MemorySettingsBackend& store, int index, uint32_t value) {
    std::string keyPath, name;
    SplitSettingPath(Choices[index], keyPath, name);
    store.WriteDword(SettingsRoot::LocalMachine, keyPath, name, value);
}

class RecordingTasks : public TraceTasks {
public:
    explicit RecordingTasks(StopToken* stopAfterFirst = nullptr)
        : stopAfterFirst_(stopAfterFirst) {}
    void RunTask(CleanTask task, const StopToken&) override {
        ran.push_back(task);
        if (stopAfterFirst_)
            stopAfterFirst_->RequestStop();
    }
    std::vector<CleanTask> ran;

private:
    StopToken* stopAfterFirst_;
};

TEST(CleanPass, NoChoiceStoredRunsNothing) {
    MemorySettingsBackend store;
    RecordingTasks tasks;
    RunCleanTasks(ReadCleanChoices(store), tasks, StopToken::Never());
    EXPECT_TRUE(tasks.ran.empty());
    EXPECT_EQ(store.WriteCount(), 0) << "reading the choices must not create them";
}

TEST(CleanPass, EveryChoiceRunsInTheFixedOrder) {
    MemorySettingsBackend store;
    for (int i = 6; i >= 0; --i)
        StoreChoice(store, i, 1);
    RecordingTasks tasks;
    RunCleanTasks(ReadCleanChoices(store), tasks, StopToken::Never());
    EXPECT_EQ(tasks.ran, (std::vector<CleanTask>{CleanTask::History, CleanTask::TypedUrls,
                                                 CleanTask::TemporaryFiles, CleanTask::Cookies,
                                                 CleanTask::ProtectedStorage,
                                                 CleanTask::IntelliForms, CleanTask::Favorites}));
}

TEST(CleanPass, OnlyAValueOfExactlyOneCounts) {
    MemorySettingsBackend store;
    StoreChoice(store, 0, 2);           // history: 2 is off
    StoreChoice(store, 1, 1);           // typed URLs
    StoreChoice(store, 3, 0xFFFFFFFF);  // cookies: off
    StoreChoice(store, 6, 1);           // favourites
    RecordingTasks tasks;
    RunCleanTasks(ReadCleanChoices(store), tasks, StopToken::Never());
    EXPECT_EQ(tasks.ran, (std::vector<CleanTask>{CleanTask::TypedUrls, CleanTask::Favorites}));
}

TEST(CleanPass, StopsBetweenTasks) {
    MemorySettingsBackend store;
    for (int i = 0; i < 7; ++i)
        StoreChoice(store, i, 1);
    StopToken stop;
    RecordingTasks tasks(&stop);
    RunCleanTasks(ReadCleanChoices(store), tasks, stop);
    EXPECT_EQ(tasks.ran, (std::vector<CleanTask>{CleanTask::History}));

    RecordingTasks none;
    RunCleanTasks(ReadCleanChoices(store), none, stop);
    EXPECT_TRUE(none.ran.empty()) << "a stopped token runs no task at all";
}

TEST(IndexWipe, WritesZeroBytesAfterTheHeaderInPiecesOfAtMostTenThousand) {
    EXPECT_EQ(IndexWipeWrites(64 + 10000), (std::vector<uint32_t>{10000}));
    EXPECT_EQ(IndexWipeWrites(64 + 20001), (std::vector<uint32_t>{10000, 10000, 1}));
    EXPECT_EQ(IndexWipeWrites(65), (std::vector<uint32_t>{1}));
    EXPECT_EQ(IndexWipeWrites(64 + 9999), (std::vector<uint32_t>{9999}));
}

TEST(IndexWipe, AFileNoLongerThanItsHeaderGetsNoWrite) {
    EXPECT_TRUE(IndexWipeWrites(64).empty());
    EXPECT_TRUE(IndexWipeWrites(20).empty());
    EXPECT_TRUE(IndexWipeWrites(0).empty());
}

TEST(IndexWipe, ALargeFileIsCoveredExactly) {
    const uint64_t size = 64 + 5ull * 1000 * 1000 * 1000;  // beyond 32 bits
    uint64_t total = 0;
    for (uint32_t piece : IndexWipeWrites(size)) {
        ASSERT_LE(piece, WipeChunkSize);
        total += piece;
    }
    EXPECT_EQ(total, size - 64);
}

TEST(CleanPaths, APathThatWouldNotFitIsRefusedNotCut) {
    const std::string folder(250, 'a');
    std::string out = "unchanged";
    EXPECT_TRUE(FittingPath(folder, "12345678", out));  // 259 characters
    EXPECT_EQ(out.size(), 259u);
    EXPECT_EQ(out.substr(250), "\\12345678");

    out = "unchanged";
    EXPECT_FALSE(FittingPath(folder, "123456789", out));  // 260 characters
    EXPECT_EQ(out, "unchanged");
    EXPECT_FALSE(AppendPath(std::string(256, 'a'), "\\*.*", out));
    EXPECT_TRUE(AppendPath("C:\\Temp\\", "\\History", out));
    EXPECT_EQ(out, "C:\\Temp\\\\History");
}

TEST(CleanPaths, FileNamesCompareIgnoringCase) {
    EXPECT_TRUE(SameFileName("DeskTop.INI", "desktop.ini"));
    EXPECT_TRUE(SameFileName("INDEX.DAT", "index.dat"));
    EXPECT_FALSE(SameFileName("index.dat.bak", "index.dat"));
    EXPECT_FALSE(SameFileName("index.da", "index.dat"));
}

TEST(Interval, ReadLikeAtoiWithoutItsFaults) {
    struct Case {
        const char* text;
        uint32_t minutes;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"5", 5},
        {"99", 99},
        {" 7", 7},
        {"12ab", 12},
        {"ab", 0},
        {"+3", 3},
        {"-5", 0},
        {"05", 5},
        {"99999999999999999999", MaxIntervalMinutes},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseIntervalMinutes(c.text), c.minutes) << '"' << c.text << '"';
}

TEST(Interval, StoredTextIsReadAfreshAndTurnedIntoMilliseconds) {
    MemorySettingsBackend store;
    EXPECT_EQ(ReadIntervalMinutes(store), 0u);
    std::string keyPath, name;
    SplitSettingPath(setting::Sleep, keyPath, name);
    store.WriteText(SettingsRoot::LocalMachine, keyPath, name, "99");
    EXPECT_EQ(ReadIntervalMinutes(store), 99u);
    EXPECT_EQ(IntervalToWait(99).count(), 99 * 60000);
    EXPECT_EQ(IntervalToWait(0).count(), 60000);
}

}  // namespace
