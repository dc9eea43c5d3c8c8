// The cleaner's decisions that need no Windows: which tasks a pass runs and
// in what order, how an index file is overwritten, which paths are refused,
// and how the stored interval is read.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "privacy/auto_clean_thread.h"
#include "privacy/browser_traces.h"
#include "privacy/clean_pass.h"
#include "privacy/clean_paths.h"
#include "privacy/index_wipe.h"
#include "privacy/url_cache_walk.h"
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

TEST(CleanPass, OnlyAChoiceOfExactlyOneRunsAndInTheFixedOrder) {
    using T = CleanTask;
    const std::vector<T> every = {T::History,  T::TypedUrls,        T::TemporaryFiles,
                                  T::Cookies,  T::ProtectedStorage, T::IntelliForms,
                                  T::Favorites};
    const struct {
        std::vector<std::pair<int, uint32_t>> stored;  // choice index, value
        std::vector<T> ran;
    } cases[] = {
        {{}, {}},
        {{{6, 1}, {5, 1}, {4, 1}, {3, 1}, {2, 1}, {1, 1}, {0, 1}}, every},
        {{{0, 2}, {1, 1}, {3, 0xFFFFFFFF}, {6, 1}}, {T::TypedUrls, T::Favorites}},
    };
    for (const auto& c : cases) {
        MemorySettingsBackend store;
        for (const auto& choice : c.stored)
            StoreChoice(store, choice.first, choice.second);
        RecordingTasks tasks;
        RunCleanTasks(ReadCleanChoices(store), tasks, StopToken::Never());
        EXPECT_EQ(tasks.ran, c.ran) << c.stored.size();
        EXPECT_EQ(store.WriteCount(), static_cast<int>(c.stored.size()))
            << "reading the choices must not create them";
    }
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

// The URL cache as Microsoft documents it: a listing without a pattern
// covers the content cache only, "cookie:" and "visited:" their own
// containers. `listsAllForNoPattern` makes it behave as Wine does.
class DocumentedUrlCache : public UrlCacheSource {
public:
    explicit DocumentedUrlCache(bool listsAllForNoPattern) : wineLike_(listsAllForNoPattern) {}
    bool List(const char* pattern, std::vector<UrlCacheEntry>& entries) override {
        const std::string name = pattern ? pattern : "";
        for (const UrlCacheEntry& entry : all) {
            const bool cookie = entry.url.rfind("Cookie:", 0) == 0;
            const bool visited = entry.url.rfind("Visited:", 0) == 0;
            if ((name.empty() && (wineLike_ || (!cookie && !visited))) ||
                (name == "cookie:" && cookie) || (name == "visited:" && visited))
                entries.push_back(entry);
        }
        return name.empty() || name == "cookie:" || name == "visited:";
    }
    void Delete(const std::string& url) override { deleted.push_back(url); }

    std::vector<UrlCacheEntry> all = {{"http://a.test/page.htm", 1},
                                      {"Cookie:user@a.test/", CookieEntryBit},
                                      {"Visited: user@http://a.test/", UrlHistoryEntryBit}};
    std::vector<std::string> deleted;

private:
    bool wineLike_;
};

TEST(UrlCacheWalk, EachChoiceClearsItsOwnContainerOnWindowsAndUnderWine) {
    const struct {
        UrlCacheMode mode;
        const char* gone;
    } cases[] = {{UrlCacheMode::AllButCookies, "http://a.test/page.htm"},
                 {UrlCacheMode::CookiesOnly, "Cookie:user@a.test/"},
                 {UrlCacheMode::HistoryOnly, "Visited: user@http://a.test/"}};
    for (bool wineLike : {false, true}) {
        for (const auto& c : cases) {
            DocumentedUrlCache cache(wineLike);
            EXPECT_TRUE(ClearUrlCacheEntries(c.mode, cache));
            EXPECT_EQ(cache.deleted, std::vector<std::string>{c.gone}) << c.gone << wineLike;
        }
    }
}

// A folder tree in memory: each path maps to true for a folder.
class FakeProfileFiles : public ProfileFiles {
public:
    void Add(const std::string& file) {
        for (size_t at = file.find('\\'); at != std::string::npos; at = file.find('\\', at + 1))
            tree[file.substr(0, at)] = true;
        tree.emplace(file, false);
    }
    std::vector<ProfileEntry> List(const std::string& folder) override {
        std::vector<ProfileEntry> entries;
        for (const auto& item : tree) {
            const std::string& path = item.first;
            if (path.rfind(folder + "\\", 0) == 0 &&
                path.find('\\', folder.size() + 1) == std::string::npos)
                entries.push_back({path.substr(folder.size() + 1), item.second, false});
        }
        return entries;
    }
    bool Exists(const std::string& path) override { return tree.count(path) != 0; }
    bool IsHeld(const std::string& path) override { return held.count(path) != 0; }
    void RemoveFile(const std::string& path) override { tree.erase(path); }
    void RemoveFolder(const std::string& path) override {
        if (List(path).empty())
            tree.erase(path);
    }
    std::map<std::string, bool> tree;
    std::set<std::string> held;
};

TEST(BrowserTraces, EachChoiceClearsItsFilesInEveryProfileAndARunningBrowserIsSkipped) {
    const std::string edge = "L\\Microsoft\\Edge\\User Data",
                      chrome = "L\\Google\\Chrome\\User Data";
    const std::string fox = "R\\Mozilla\\Firefox\\Profiles\\ab.default-release";
    const std::string foxLocal = "L\\Mozilla\\Firefox\\Profiles\\ab.default-release";
    const std::vector<std::string> gone = {edge + "\\Default\\History",
                                           edge + "\\Default\\History-journal",
                                           edge + "\\Profile 1\\Network\\Cookies",
                                           edge + "\\Default\\Cache\\Cache_Data\\f_0001",
                                           edge + "\\Default\\GPUCache\\data_0",
                                           edge + "\\Default\\Visited Links",
                                           edge + "\\Default\\Top Sites",
                                           edge + "\\Default\\Top Sites-journal",
                                           edge + "\\Profile 1\\Shortcuts",
                                           edge + "\\Profile 1\\Shortcuts-journal",
                                           edge + "\\Default\\DawnCache\\data_1",
                                           edge + "\\Default\\DawnWebGPUCache\\data_1",
                                           edge + "\\Default\\DawnGraphiteCache\\data_1",
                                           edge + "\\GrShaderCache\\data_1",
                                           edge + "\\GraphiteDawnCache\\data_1",
                                           fox + "\\cookies.sqlite-wal",
                                           fox + "\\formhistory.sqlite",
                                           foxLocal + "\\cache2\\entries\\ABCD"};
    const std::vector<std::string> kept = {
        edge + "\\Default\\Bookmarks", edge + "\\Default\\Web Data",      edge + "\\Local State",
        edge + "\\Crashpad\\History",  chrome + "\\Default\\History",     fox + "\\places.sqlite",
        fox + "\\logins.json",         chrome + "\\GrShaderCache\\data_1"};
    FakeProfileFiles files;
    for (const std::string& path : gone)
        files.Add(path);
    for (const std::string& path : kept)
        files.Add(path);
    files.Add(edge + "\\Default\\Preferences");
    files.Add(edge + "\\Profile 1\\Preferences");
    files.Add(chrome + "\\Default\\Preferences");
    files.Add(chrome + "\\lockfile");
    files.held.insert(chrome + "\\lockfile");

    CleanChoices choices{};
    for (CleanTask task : {CleanTask::History, CleanTask::TypedUrls, CleanTask::TemporaryFiles,
                           CleanTask::Cookies, CleanTask::ProtectedStorage, CleanTask::Favorites})
        choices[static_cast<size_t>(task)] = true;
    BrowserOutcome outcome = CleanBrowserProfiles(choices, {"L", "R"}, files, StopToken::Never());
    for (const std::string& path : gone)
        EXPECT_FALSE(files.Exists(path)) << path;
    for (const std::string& path : kept)
        EXPECT_TRUE(files.Exists(path)) << path;
    EXPECT_TRUE(files.Exists(edge + "\\Default\\Cache")) << "the cache folder itself stays";
    EXPECT_TRUE(files.Exists(edge + "\\GrShaderCache")) << "so does a browser's own cache folder";
    EXPECT_EQ(DescribeCleaning(true, outcome),
              std::string("Cleared Internet Explorer, Edge and Firefox. Chrome is running and was "
                          "skipped: close it and apply again.") +
                  browser_traces::ChromeInBackground);

    files.held.insert(fox + "\\parent.lock");
    files.Add(fox + "\\cookies.sqlite");
    files.Add(edge + "\\lockfile");
    files.held.insert(edge + "\\lockfile");
    outcome = CleanBrowserProfiles(choices, {"L", "R"}, files, StopToken::Never());
    EXPECT_TRUE(files.Exists(fox + "\\cookies.sqlite"));
    EXPECT_EQ(DescribeCleaning(true, outcome),
              std::string("Cleared Internet Explorer. Edge, Chrome and Firefox are running and "
                          "were skipped: close them and apply again.") +
                  browser_traces::EdgeInBackground + browser_traces::ChromeInBackground);

    // One Firefox profile in use, another cleaned: both named.
    const std::string other = "R\\Mozilla\\Firefox\\Profiles\\cd.work";
    files.Add(other + "\\cookies.sqlite");
    outcome = CleanBrowserProfiles(choices, {"L", "R"}, files, StopToken::Never());
    EXPECT_FALSE(files.Exists(other + "\\cookies.sqlite"));
    EXPECT_TRUE(files.Exists(fox + "\\cookies.sqlite"));
    EXPECT_EQ(DescribeCleaning(false, outcome),
              std::string("Cleared Firefox. Edge and Chrome are running and were skipped: close "
                          "them and apply again.") +
                  browser_traces::EdgeInBackground + browser_traces::ChromeInBackground +
                  " The Firefox profile \"ab.default-release\" is in use and was skipped: close "
                  "Firefox and apply again.");
}

}  // namespace
