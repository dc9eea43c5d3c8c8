// The browser configuration dialog, driven with window messages against the
// Wine prefix's real registry.
#include <gtest/gtest.h>

#include "browsers/browser_config_dialog_res.h"
#include "browsers/browser_config_dialog_win.h"
#include "dialog_harness.h"
#include "registry_test_support.h"

using namespace harness;
using namespace testing_support;

namespace {

const char* const Flags[] = {"Opera", "Netscape", "Mozilla"};

DWORD Flag(const char* name) {
    DWORD value = 0xdeadbeef;
    ReadDword(ProductRoot, ProductKey, name, value);
    return value;
}

class BrowserConfigDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : Flags)
            DeleteValue(ProductRoot, ProductKey, name);
    }
    HWND Open() {
        dialog_.reset(new BrowserConfigDialog);
        return dialog_->Create();
    }

    CapturedMessages messages_;
    std::unique_ptr<BrowserConfigDialog> dialog_;
};

TEST_F(BrowserConfigDialogTest, FreshMachineOpensWithEveryBoxClear) {
    HWND hwnd = Open();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(TextOf(hwnd), "Brower Configuration");
    for (int id :
         {IDC_CONFIGURE_IE, IDC_CONFIGURE_OPERA, IDC_CONFIGURE_NETSCAPE, IDC_CONFIGURE_MOZILLA})
        EXPECT_FALSE(IsChecked(hwnd, id)) << id;
    EXPECT_EQ(TextOf(hwnd, IDOK), "Apply ");
    for (int id : {IDOK, IDCANCEL})
        EXPECT_EQ(GetWindowLongPtrA(Control(hwnd, id), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW)
            << "colour buttons are owner-drawn";
    EXPECT_EQ(Flag("Opera"), 0xdeadbeefu);  // opening stores nothing
}

TEST_F(BrowserConfigDialogTest, InternetExplorerBoxIsDisabledWhateverTheFlags) {
    for (const char* name : Flags)
        WriteDword(ProductRoot, ProductKey, name, 1);
    HWND hwnd = Open();
    EXPECT_FALSE(IsWindowEnabled(Control(hwnd, IDC_CONFIGURE_IE)));
    EXPECT_FALSE(IsChecked(hwnd, IDC_CONFIGURE_IE));
    for (int id : {IDC_CONFIGURE_OPERA, IDC_CONFIGURE_NETSCAPE, IDC_CONFIGURE_MOZILLA})
        EXPECT_TRUE(IsChecked(hwnd, id)) << id;
}

TEST_F(BrowserConfigDialogTest, EachClickIsStoredAtOnceAndCancelKeepsIt) {
    HWND hwnd = Open();
    Click(hwnd, IDC_CONFIGURE_OPERA);
    EXPECT_EQ(Flag("Opera"), 1u);
    EXPECT_EQ(Flag("Netscape"), 0xdeadbeefu);  // only the clicked box is written
    Click(hwnd, IDC_CONFIGURE_MOZILLA);
    Click(hwnd, IDC_CONFIGURE_MOZILLA);
    EXPECT_EQ(Flag("Mozilla"), 0u);
    Click(hwnd, IDCANCEL);
    EXPECT_EQ(dialog_->Result(), IDCANCEL);
    EXPECT_EQ(Flag("Opera"), 1u);
    EXPECT_EQ(Flag("Mozilla"), 0u);
}

TEST_F(BrowserConfigDialogTest, ApplyOnlyCloses) {
    WriteDword(ProductRoot, ProductKey, "Netscape", 1);
    HWND hwnd = Open();
    Click(hwnd, IDC_CONFIGURE_OPERA);
    Click(hwnd, IDOK);
    EXPECT_EQ(dialog_->Result(), IDOK);
    EXPECT_EQ(dialog_->Opera(), 1);
    EXPECT_EQ(dialog_->Netscape(), 1);
    EXPECT_EQ(dialog_->Mozilla(), 0);
    EXPECT_EQ(Flag("Mozilla"), 0xdeadbeefu);
}

TEST_F(BrowserConfigDialogTest, StoredTwoShowsClearAndTheNextClickWritesOneThenZero) {
    WriteDword(ProductRoot, ProductKey, "Netscape", 2);
    HWND hwnd = Open();
    EXPECT_FALSE(IsChecked(hwnd, IDC_CONFIGURE_NETSCAPE));
    Click(hwnd, IDC_CONFIGURE_NETSCAPE);
    EXPECT_EQ(Flag("Netscape"), 1u);
    Click(hwnd, IDC_CONFIGURE_NETSCAPE);
    EXPECT_EQ(Flag("Netscape"), 0u);
}

TEST_F(BrowserConfigDialogTest, CloseBoxStoresNothingMore) {
    HWND hwnd = Open();
    Click(hwnd, IDC_CONFIGURE_OPERA);
    CloseBox(hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Flag("Opera"), 1u);
    EXPECT_EQ(Flag("Mozilla"), 0xdeadbeefu);
}

TEST(BrowserConfigDialogModal, RunsModally) {
    BrowserConfigDialog dialog;
    ModalDriver driver("Brower Configuration", [](HWND hwnd) { Click(hwnd, IDCANCEL); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

}  // namespace
