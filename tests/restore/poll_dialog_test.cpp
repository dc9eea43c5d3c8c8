// The poll dialog, created from its real template and driven with messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_harness.h"
#include "registry_test_support.h"
#include "restore/poll_dialog_res.h"
#include "restore/poll_dialog_win.h"

namespace {

using harness::TextOf;
using namespace testing_support;

class PollDialogTest : public testing::Test {
protected:
    PollDialog dialog_{[this](const std::string& url) { opened_.push_back(url); }};
    std::vector<std::string> opened_;

    void Click(int id) {
        SendMessageA(dialog_.Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(dialog_.Item(id)));
    }
};

TEST_F(PollDialogTest, ShowsItsCaptionTextButtonsAndIcon) {
    ASSERT_NE(nullptr, dialog_.Create());
    HWND hwnd = dialog_.Hwnd();
    EXPECT_EQ("Veilgate Online Poll", TextOf(hwnd));
    EXPECT_EQ("Please help us improve our product by participating in a short online poll !",
              TextOf(dialog_.Item(IDC_POLL_TEXT)));
    EXPECT_EQ("Yes", TextOf(dialog_.Item(IDOK)));
    EXPECT_EQ("No", TextOf(dialog_.Item(IDCANCEL)));
    EXPECT_EQ(static_cast<LONG>(BS_DEFPUSHBUTTON),
              GetWindowLongA(dialog_.Item(IDOK), GWL_STYLE) & BS_TYPEMASK);
    EXPECT_NE(0, SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(0, SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0));

    RECT units = {0, 0, 154, 62};
    MapDialogRect(hwnd, &units);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(units.right, client.right);
    EXPECT_EQ(units.bottom, client.bottom);
}

TEST_F(PollDialogTest, NoOpensNothing) {
    ASSERT_NE(nullptr, dialog_.Create());
    Click(IDCANCEL);
    EXPECT_EQ(IDCANCEL, dialog_.Result());
    EXPECT_EQ(nullptr, dialog_.Hwnd());
    EXPECT_TRUE(opened_.empty());
}

TEST_F(PollDialogTest, CloseBoxOpensNothing) {
    ASSERT_NE(nullptr, dialog_.Create());
    SendMessageA(dialog_.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(IDCANCEL, dialog_.Result());
    EXPECT_TRUE(opened_.empty());
}

TEST_F(PollDialogTest, YesOpensThePollPageOfTheBuiltInHost) {
    // The main program's host setting is not Gatereset's to read.
    ASSERT_TRUE(WriteText(ProductRoot, ProductKey, "ServerHost", "127.0.0.1:9"));
    ASSERT_NE(nullptr, dialog_.Create());
    Click(IDOK);
    EXPECT_EQ(IDOK, dialog_.Result());
    EXPECT_EQ(std::vector<std::string>{"http://www.veilgate.com/products/veilgate/poll.htm"},
              opened_);
    DeleteValue(ProductRoot, ProductKey, "ServerHost");
}

}  // namespace
