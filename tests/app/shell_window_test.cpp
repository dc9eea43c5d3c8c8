// The window's own parts of the proxy in use: the tray hint, the watch from
// outside and the switch that keeps the window answering.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

#ifdef _WIN32
#include "app/browser_switch_win.h"
#endif
#include "app/self_watch.h"
#include "app/tray_hint.h"
#include "browsers/browsing_mark.h"
#include "settings/memory_settings_backend.h"
#include "shell_fakes.h"

namespace {

TEST(TrayHint, IsShownTheFirstTimeOnlyOncePerUser) {
    FakeView view;
    RegDwordValue(setting::TrayHintShown, 0, true).Set(0);
    view.trayRefuses = true;
    OnWentToTray(view);
    EXPECT_EQ(0u, RegDwordValue(setting::TrayHintShown, 0, true).Get())
        << "not shown, so asked again next time";
    view.trayRefuses = false;
    OnWentToTray(view);
    OnWentToTray(view);
    EXPECT_EQ(std::vector<std::string>{"Veilgate is still running. Double-click this icon to open "
                                       "it."},
              view.balloons);
    EXPECT_EQ(1u, RegDwordValue(setting::TrayHintShown, 0, true).Get());
}

// --- The watch from outside ------------------------------------------------

struct FakeWatcher : Watcher {
    bool IsWatching() override { return watching; }
    bool Start() override {
        ++starts;
        watching = startable;
        return startable;
    }
    bool startable = true;
    bool watching = false;
    int starts = 0;
};

TEST(SelfWatch, OneWatcherAndTheLogOnEntryWhileOnBothGoneWhenOffAndAFailureToldOnce) {
    MemorySettingsBackend backend;
    FakeWatcher watcher;
    FakeView view;
    SelfWatch watch(watcher, view, "\"C:\\V\\Gatereset.exe\" /leftover", backend);
    for (int on = 0; on < 2; ++on) {
        watch.BrowsingOn();
        std::string entry;
        backend.ReadText(SettingsRoot::CurrentUser, RunOnceKey, RunOnceName, entry);
        EXPECT_TRUE(IsBrowsingMarkedOn(backend) && entry == "\"C:\\V\\Gatereset.exe\" /leftover");
        watch.BrowsingOff();
        EXPECT_FALSE(IsBrowsingMarkedOn(backend) ||
                     backend.ValueExists(SettingsRoot::CurrentUser, RunOnceKey, RunOnceName));
    }
    EXPECT_EQ(1, watcher.starts) << "the first watcher still watches";
    watcher.watching = false;
    watcher.startable = false;
    view.trayRefuses = true;
    watch.BrowsingOn();
    EXPECT_TRUE(view.told.empty()) << "nothing holds the switch";
    watch.TellIfUnwatched();
    watch.BrowsingOn();
    watch.TellIfUnwatched();
    EXPECT_EQ(3, watcher.starts) << "one that ended is replaced";
    EXPECT_EQ((std::vector<std::string>{std::string("Veilgate: ") + self_watch::CannotWatch}),
              view.told);
    EXPECT_TRUE(IsBrowsingMarkedOn(backend)) << "browsing goes on";
}

// A switch while on (another proxy, a new port) rewrites neither the mark
// nor the log-on entry; a moved program's entry is replaced.
TEST(SelfWatch, TheLogOnEntryIsWrittenOnceWhileOn) {
    MemorySettingsBackend backend;
    FakeWatcher watcher;
    FakeView view;
    SelfWatch watch(watcher, view, "\"C:\\V\\Gatereset.exe\" /leftover", backend);
    watch.BrowsingOn();
    int written = backend.WriteCount();
    watch.BrowsingOn();
    EXPECT_EQ(written, backend.WriteCount());
    SelfWatch moved(watcher, view, "\"D:\\W\\Gatereset.exe\" /leftover", backend);
    moved.BrowsingOn();
    std::string entry;
    backend.ReadText(SettingsRoot::CurrentUser, RunOnceKey, RunOnceName, entry);
    EXPECT_EQ("\"D:\\W\\Gatereset.exe\" /leftover", entry);
}

TEST(SelfWatch, TheLogOnCommandFitsWindowsLimitOrIsNone) {
    const std::string deep = "C:\\" + std::string(240, 'f') + "\\Gatereset.exe";
    const struct {
        std::string tool, shortTool, command;
    } cases[] = {
        {"C:\\V\\Gatereset.exe", "C:\\V\\GATERE~1.EXE", "\"C:\\V\\Gatereset.exe\" /leftover"},
        {deep, "C:\\FFFFFF~1\\GATERE~1.EXE", "\"C:\\FFFFFF~1\\GATERE~1.EXE\" /leftover"},
        {deep, "", ""},
        {deep, deep, ""},
    };
    for (const auto& c : cases) {
        std::string command = RunOnceCommand(c.tool, c.shortTool, LeftoverSwitch);
        EXPECT_EQ(c.command, command) << c.tool.size();
        EXPECT_LT(command.size(), 260u);
    }
}

TEST(SelfWatch, AFailureToWatchIsABalloonWhileTheWindowIsInTheTray) {
    MemorySettingsBackend backend;
    FakeWatcher watcher;
    watcher.startable = false;
    FakeView view;
    SelfWatch watch(watcher, view, "", backend);
    watch.TellIfUnwatched();
    EXPECT_TRUE(view.balloons.empty()) << "nothing to tell before a failure";
    watch.BrowsingOn();
    watch.TellIfUnwatched();
    EXPECT_EQ(std::vector<std::string>{self_watch::CannotWatch}, view.balloons);
    EXPECT_TRUE(view.told.empty());
}

#ifdef _WIN32
// The switch runs on a worker while the window's thread answers its
// messages; the program's own posts wait until the switch is done, and a
// switch asked for during one runs at once on the caller's thread.
TEST(BrowserSwitch, TheWindowAnswersWhileTheWorkRunsAndPostsWaitForItsEnd) {
    static int posts = 0;
    HWND window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    auto countPosts = [](HWND hwnd, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_APP + 7)
            ++posts;
        return DefWindowProcA(hwnd, message, w, l);
    };
    SetWindowLongPtrA(window, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(static_cast<WNDPROC>(countPosts)));
    PostMessageA(window, WM_APP + 7, 0, 0);
    BrowserSwitch browserSwitch;
    DWORD caller = GetCurrentThreadId();
    bool answered = false, onWorker = false, nestedHere = false;
    bool took = browserSwitch.Run(window, [&] {
        onWorker = GetCurrentThreadId() != caller;
        DWORD_PTR ignored = 0;
        answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored) != 0;
        return true;
    });
    EXPECT_TRUE(took && onWorker && answered);
    EXPECT_EQ(0, posts) << "the post waited in the queue";
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    EXPECT_EQ(1, posts);
    EXPECT_FALSE(browserSwitch.Busy());
    EXPECT_TRUE(browserSwitch.EndAfterWorker(0));
    EXPECT_FALSE(browserSwitch.Run(window, [&] {
        nestedHere = GetCurrentThreadId() == caller;
        return false;
    }));
    EXPECT_TRUE(nestedHere) << "once the program ends, a switch runs on the caller's thread";
    DestroyWindow(window);
}
#endif

TEST(SelfWatch, ALeftoverIsRestoredAtStartUpOnlyWhenMarkedOnWithUseProxyOff) {
    const struct {
        const char* mark;  // the bytes stored, nullptr for none
        uint32_t useProxy;
        bool restore;
    } cases[] = {
        {"\x01\0\0\0", 0, true},
        {"\x01\0\0\0", 1, false},
        {nullptr, 0, false},
        {"1", 0, false},  // damaged: a text where a number belongs
    };
    for (const auto& c : cases) {
        MemorySettingsBackend backend;
        if (c.mark)
            backend.WriteBytes(SettingsRoot::CurrentUser, BrowsingMarkKey, "On",
                               std::string(c.mark, c.mark[0] == '1' ? 2 : 4));
        RegDwordValue(setting::UseProxy, 0, true, SettingsRoot::Product, backend).Set(c.useProxy);
        EXPECT_EQ(c.restore, IsLeftoverToRestore(backend)) << !!c.mark << c.useProxy;
    }
}

}  // namespace
