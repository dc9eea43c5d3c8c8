// The Online Privacy dialog, created modeless in this process and driven
// with real window messages; what it stores is read back from the test
// prefix's registry, and what it starts is the real cleaner or a recorder.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlwapi.h>

#include <string>

#include "dialog_harness.h"
#include "privacy/privacy_dialog_res.h"
#include "privacy/privacy_dialog_win.h"
#include "privacy/privacy_runtime_win.h"
#include "privacy/trace_cleaner_win.h"
#include "recording_work.h"
#include "registry_test_support.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "wait_for.h"

namespace {

using harness::Click;
using harness::IsChecked;
using harness::TextOf;
using namespace testing_support;

constexpr char TypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";

const int Boxes[] = {IDC_CLEAR_HISTORY,   IDC_CLEAR_TYPED_URLS, IDC_CLEAR_TEMPORARY_FILES,
                     IDC_CLEAR_COOKIES,   IDC_CLEAR_FORMS,      IDC_CLEAR_PASSWORDS,
                     IDC_CLEAR_FAVORITES, IDC_BLOCK_SCRIPTS,    IDC_BLOCK_OBJECTS};

void TypeInterval(HWND dialog, const char* text) {
    SendMessageA(GetDlgItem(dialog, IDC_CLEAN_INTERVAL), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(text));
}

bool SettingExists(const char* settingPath) {
    std::string keyPath, name;
    SplitSettingPath(settingPath, keyPath, name);
    return ValueExists(ProductRoot, keyPath, name);
}

// What the dialog works on: the settings, and an auto-clean thread whose
// work only records what it is asked to do.
struct RecordedCleaning {
    PrivacySettings settings;
    RecordingWork work;
    AutoCleanThread thread{work};
};

class PrivacyDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(ProductRoot, ProductKey);
        WriteText(HKEY_CURRENT_USER, TypedUrls, "url1", "http://typed.test/");
    }
    void TearDown() override {
        RegDeleteTreeA(ProductRoot, ProductKey);
        SHDeleteKeyA(HKEY_CURRENT_USER, TypedUrls);
    }
};

TEST_F(PrivacyDialogTest, HasItsControlsTextsAndLimits) {
    RecordedCleaning cleaning;
    PrivacyDialog dialog(cleaning.settings, cleaning.thread);
    HWND hwnd = dialog.Create();
    ASSERT_TRUE(hwnd);

    char caption[64] = {};
    GetWindowTextA(hwnd, caption, sizeof(caption));
    EXPECT_STREQ(caption, "Online Privacy");
    struct Control {
        int id;
        const char* text;
    } controls[] = {
        {1055, "Clear Internet History"},
        {1056, "Clear Typed URL"},
        {1057, "Clear Temporary Internet Files"},
        {1058, "Clear Internet Cookies"},
        {1059, "Clear AutoComplete Forms History"},
        {1060, "Clear AutoComplete Passwords History"},
        {1061, "Clear Internet Explorer Favorites"},
        {1029, "Block Java Script"},
        {1030, "Block Active X Objects"},
        {IDOK, "Apply"},
        {IDCANCEL, "Cancel"},
    };
    for (const Control& control : controls)
        EXPECT_EQ(TextOf(hwnd, control.id), control.text) << control.id;

    EXPECT_EQ(SendDlgItemMessageA(hwnd, IDC_CLEAN_INTERVAL, EM_GETLIMITTEXT, 0, 0), 2);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(hwnd, IDC_CLEAN_INTERVAL), GWL_STYLE) & ES_NUMBER);
    for (int id : {IDOK, IDCANCEL})
        EXPECT_EQ(GetWindowLongA(GetDlgItem(hwnd, id), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW)
            << "colour buttons are owner-drawn";
}

TEST_F(PrivacyDialogTest, OpensWithWhatWasStoredAndOnAFreshSystemWithNothing) {
    for (bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "stored" : "fresh");
        if (stored) {
            RegDwordValue(setting::IClear3).Set(1);
            RegDwordValue(setting::IClear7).Set(1);
            RegDwordValue(setting::EnableActiveX).Set(1);
            RegStringValue(setting::Sleep).Set("42");
        }
        RecordedCleaning cleaning;
        PrivacyDialog dialog(cleaning.settings, cleaning.thread);
        HWND hwnd = dialog.Create();
        ASSERT_TRUE(hwnd);
        for (int id : Boxes) {
            bool expected = stored && (id == IDC_CLEAR_TEMPORARY_FILES ||
                                       id == IDC_CLEAR_FAVORITES || id == IDC_BLOCK_OBJECTS);
            EXPECT_EQ(IsChecked(hwnd, id), expected) << id;
        }
        EXPECT_EQ(TextOf(hwnd, IDC_CLEAN_INTERVAL), stored ? "42" : "");
    }
}

TEST_F(PrivacyDialogTest, ApplyWithTypedUrlStoresTheChoiceAndCleansAtOnce) {
    PrivacySettings settings;
    TraceCleanerWork work;
    AutoCleanThread thread(work);
    PrivacyDialog dialog(settings, thread);
    HWND hwnd = dialog.Create();
    ASSERT_TRUE(hwnd);
    Click(hwnd, IDC_CLEAR_TYPED_URLS);
    TypeInterval(hwnd, "5");
    Click(hwnd, IDOK);

    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_FALSE(IsWindow(hwnd)) << "Apply closes the dialog";
    EXPECT_EQ(RegDwordValue(setting::IClear2).Get(), 1u);
    EXPECT_EQ(RegDwordValue(setting::AutoClean).Get(), 1u);
    EXPECT_EQ(RegStringValue(setting::Sleep).Get(), "5");
    for (const char* other : {setting::IClear1, setting::IClear3, setting::EnableJS})
        EXPECT_EQ(RegDwordValue(other).Get(), 0u) << other;
    EXPECT_TRUE(thread.IsStarted());
    EXPECT_TRUE(WaitFor([] { return !KeyExists(HKEY_CURRENT_USER, TypedUrls); }))
        << "the typed URLs go in the pass that Apply starts";
}

TEST_F(PrivacyDialogTest, ApplyWithNoBoxTurnsAutoCleanOffAndStartsNothing) {
    RegDwordValue(setting::AutoClean).Set(1);
    RegDwordValue(setting::IClear2).Set(1);
    RecordedCleaning cleaning;
    PrivacyDialog dialog(cleaning.settings, cleaning.thread);
    HWND hwnd = dialog.Create();
    ASSERT_TRUE(hwnd);
    Click(hwnd, IDC_CLEAR_TYPED_URLS);  // clears the stored choice
    Click(hwnd, IDOK);

    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_TRUE(SettingExists(setting::AutoClean));
    EXPECT_EQ(RegDwordValue(setting::AutoClean).Get(), 0u);
    EXPECT_EQ(RegDwordValue(setting::IClear2).Get(), 0u);
    EXPECT_FALSE(cleaning.thread.IsStarted());
    EXPECT_EQ(cleaning.work.threadsBegun.load(), 0);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TypedUrls));
}

TEST_F(PrivacyDialogTest, CancelStoresNothingAndLeavesTheThreadAlone) {
    RecordedCleaning cleaning;
    PrivacyDialog dialog(cleaning.settings, cleaning.thread);
    HWND hwnd = dialog.Create();
    ASSERT_TRUE(hwnd);
    Click(hwnd, IDC_CLEAR_HISTORY);
    Click(hwnd, IDC_BLOCK_SCRIPTS);
    TypeInterval(hwnd, "7");
    Click(hwnd, IDCANCEL);

    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(KeyExists(ProductRoot, ProductKey)) << "nothing stored";
    EXPECT_FALSE(cleaning.thread.IsStarted());

    // The close box is a Cancel too.
    PrivacyDialog again(cleaning.settings, cleaning.thread);
    hwnd = again.Create();
    ASSERT_TRUE(hwnd);
    Click(hwnd, IDC_CLEAR_COOKIES);
    SendMessageA(hwnd, WM_CLOSE, 0, 0);  // the dialog manager posts its Cancel
    EXPECT_TRUE(WaitFor([&] {
        harness::PumpMessages();
        return !IsWindow(hwnd);
    }));
    EXPECT_EQ(again.Result(), IDCANCEL);
    EXPECT_FALSE(KeyExists(ProductRoot, ProductKey));
}

TEST_F(PrivacyDialogTest, ApplyingTwiceRunsANewPassAtOnceAndNeverTwoTogether) {
    RecordedCleaning cleaning;
    cleaning.work.passRunsUntilStopped = true;
    for (int round = 1; round <= 2; ++round) {
        PrivacyDialog dialog(cleaning.settings, cleaning.thread);
        HWND hwnd = dialog.Create();
        ASSERT_TRUE(hwnd);
        if (round == 1)
            Click(hwnd, IDC_CLEAR_COOKIES);
        EXPECT_TRUE(IsChecked(hwnd, IDC_CLEAR_COOKIES));
        Click(hwnd, IDOK);
        if (round == 1)
            ASSERT_TRUE(WaitFor([&] { return cleaning.work.passesStarted.load() == 1; }));
    }
    EXPECT_TRUE(WaitFor([&] { return cleaning.work.passesStarted.load() == 2; }));
    EXPECT_TRUE(WaitFor([&] { return cleaning.work.threadsEnded.load() == 1; }));
    EXPECT_EQ(cleaning.work.maxInPass.load(), 1);
}

TEST_F(PrivacyDialogTest, BlockingSwitchesReachAFreshReadAtOnce) {
    RecordedCleaning cleaning;
    {
        PrivacyDialog dialog(cleaning.settings, cleaning.thread);
        HWND hwnd = dialog.Create();
        ASSERT_TRUE(hwnd);
        Click(hwnd, IDC_BLOCK_SCRIPTS);
        Click(hwnd, IDOK);
    }
    // What a connection thread does for every relayed block.
    EXPECT_EQ(RegDwordValue(setting::EnableJS).Get(), 1u);
    EXPECT_EQ(RegDwordValue(setting::EnableActiveX).Get(), 0u);
    EXPECT_FALSE(cleaning.thread.IsStarted()) << "the switches alone start no cleaning";

    {
        PrivacyDialog dialog(cleaning.settings, cleaning.thread);
        HWND hwnd = dialog.Create();
        ASSERT_TRUE(hwnd);
        EXPECT_TRUE(IsChecked(hwnd, IDC_BLOCK_SCRIPTS));
        Click(hwnd, IDC_BLOCK_SCRIPTS);
        Click(hwnd, IDC_BLOCK_OBJECTS);
        Click(hwnd, IDOK);
    }
    EXPECT_EQ(RegDwordValue(setting::EnableJS).Get(), 0u);
    EXPECT_EQ(RegDwordValue(setting::EnableActiveX).Get(), 1u);
}

TEST_F(PrivacyDialogTest, StartUpStartsCleaningOnlyWhenTheLastApplyAskedForIt) {
    {
        PrivacyRuntime runtime;
        runtime.StartAutoCleanIfEnabled();
        EXPECT_FALSE(runtime.AutoClean().IsStarted());
    }
    RegDwordValue(setting::AutoClean).Set(1);
    RegDwordValue(setting::IClear2).Set(1);
    {
        PrivacyRuntime runtime;
        runtime.StartAutoCleanIfEnabled();
        EXPECT_TRUE(runtime.AutoClean().IsStarted());
        EXPECT_TRUE(WaitFor([] { return !KeyExists(HKEY_CURRENT_USER, TypedUrls); }));
    }  // stops the thread, which is waiting its interval, and waits for it
}

}  // namespace
