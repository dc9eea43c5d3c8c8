// The dialog base, data exchange and the bitmap background, on real windows.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/dialogs/about_dialog_res.h"
#include "app/res/app_resources.h"
#include "ui/bitmap_dialog_win.h"
#include "ui/data_exchange_win.h"
#include "dialog_harness.h"

using namespace harness;

namespace {

constexpr int EditId = 501;
constexpr int BoxId = 502;

class FieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, parent_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(EditId)), nullptr, nullptr);
        CreateWindowExA(0, "BUTTON", "box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 30, 100, 20,
                        parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(BoxId)), nullptr,
                        nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }

    CapturedMessages messages_;
    HWND parent_ = nullptr;
};

TEST_F(FieldsTest, UnsignedFieldReadsNumbers) {
    ui::SetFieldUnsigned(parent_, EditId, 4000000000u);
    EXPECT_EQ(TextOf(parent_, EditId), "4000000000");
    uint32_t value = 0;
    EXPECT_TRUE(ui::GetFieldUnsigned(parent_, EditId, value));
    EXPECT_EQ(value, 4000000000u);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FieldsTest, UnsignedFieldRefusesTextAndKeepsTheMember) {
    for (const char* text : {"abc", "-5", "", "12 minutes"}) {
        SCOPED_TRACE(text);
        messages_.shown.clear();
        ui::SetFieldText(parent_, EditId, text);
        uint32_t value = 15;
        EXPECT_FALSE(ui::GetFieldUnsigned(parent_, EditId, value));
        EXPECT_EQ(value, 15u);
        ASSERT_EQ(messages_.shown.size(), 1u);
        EXPECT_EQ(messages_.shown[0].text, "Please enter a positive integer.");
        EXPECT_EQ(messages_.shown[0].caption, "Veilgate");
        EXPECT_EQ(messages_.shown[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
    }
}

TEST_F(FieldsTest, TextLimitAndCheckBoxes) {
    ui::LimitFieldText(parent_, EditId, 2);
    ui::SetFieldText(parent_, EditId, "");
    Type(parent_, EditId, "123");
    EXPECT_EQ(ui::GetFieldText(parent_, EditId), "12");

    ui::SetCheckBox(parent_, BoxId, 1);
    EXPECT_EQ(ui::GetCheckBox(parent_, BoxId), 1);
    ui::SetCheckBox(parent_, BoxId, 2);  // only 1 counts as ticked
    EXPECT_EQ(ui::GetCheckBox(parent_, BoxId), 0);
    EXPECT_EQ(ui::GetFieldText(parent_, 9999), "");
}

// A dialog whose handlers throw: nothing may reach Windows.
class ThrowingDialog : public ui::Dialog {
public:
    ThrowingDialog() : Dialog(IDD_ABOUT) {}
    int commands = 0;

protected:
    bool OnCommand(int id, int, HWND) override {
        ++commands;
        if (id == IDOK)
            throw std::runtime_error("handler failed");
        return false;
    }
};

TEST(DialogBase, ExceptionsStopAtTheDialogProcedure) {
    ThrowingDialog dialog;
    HWND hwnd = dialog.Create();
    ASSERT_NE(hwnd, nullptr);
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(dialog.commands, 1);
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST(DialogBase, DestroyingTheObjectDestroysAModelessWindowFirst) {
    HWND hwnd;
    {
        ThrowingDialog dialog;
        hwnd = dialog.Create();
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(dialog.Hwnd(), hwnd);
    }
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(DialogBase, OneWindowPerObjectAtATime) {
    ThrowingDialog dialog;
    HWND hwnd = dialog.Create();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(dialog.Create(), nullptr);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.Hwnd(), hwnd);
    dialog.End(IDOK);
    HWND again = dialog.Create();
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(dialog.Result(), IDCANCEL);
}

TEST(DialogBase, EndOnAModelessDialogDestroysItsWindow) {
    ThrowingDialog dialog;
    HWND hwnd = dialog.Create();
    dialog.End(IDRETRY);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(dialog.Result(), IDRETRY);
    EXPECT_EQ(dialog.Hwnd(), nullptr);
}

class BackgroundDialog : public ui::BitmapDialog {
public:
    BackgroundDialog() : ui::BitmapDialog(IDD_ABOUT) {}
};

COLORREF BitmapPixel(int id, int x, int y) {
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    COLORREF color = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return color;
}

TEST(BitmapDialog, AcceptsOnlyItsThreeModesAndExistingBitmaps) {
    BackgroundDialog dialog;
    EXPECT_EQ(dialog.Mode(), 0);
    dialog.SetMode(2);
    EXPECT_EQ(dialog.Mode(), 2);
    dialog.SetMode(3);
    EXPECT_EQ(dialog.Mode(), 2);
    dialog.SetMode(-1);
    EXPECT_EQ(dialog.Mode(), 2);
    EXPECT_FALSE(dialog.LoadBitmapResource(9999));
    EXPECT_FALSE(dialog.HasBitmap());
    EXPECT_TRUE(dialog.LoadBitmapResource(IDB_BACKGROUND));
    EXPECT_TRUE(dialog.HasBitmap());
}

TEST(BitmapDialog, EraseDrawsTheBitmapFromTheTopLeftCorner) {
    BackgroundDialog dialog;
    ASSERT_TRUE(dialog.LoadBitmapResource(IDB_SELECTOR));  // 43 x 12: tiles repeat
    HWND hwnd = dialog.Create();
    ASSERT_NE(hwnd, nullptr);
    RECT client{};
    GetClientRect(hwnd, &client);
    ASSERT_GT(client.right, 86);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, target);
    SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    for (int x : {0, 10, 30}) {
        for (int y : {0, 5, 11}) {
            COLORREF expected = BitmapPixel(IDB_SELECTOR, x, y);
            EXPECT_EQ(GetPixel(dc, x, y), expected) << x << "," << y;
            EXPECT_EQ(GetPixel(dc, x + 43, y + 12), expected) << "tile " << x << "," << y;
        }
    }
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST(Pictures, EveryPictureLoadsInItsSize) {
    struct Expected {
        int id;
        int width, height;
    };
    // The sets for 150 and 200 % in the sizes the main window cuts them at.
    for (Expected e :
         {Expected{IDB_BACKGROUND, 600, 304}, Expected{IDB_SELECTOR, 43, 12},
          Expected{IDB_TOOLBAR, 4 * 97, 30}, Expected{IDB_TOOLBAR_HOT, 4 * 97, 30},
          Expected{IDB_BACKGROUND_200, 1200, 608}, Expected{IDB_SELECTOR_150, 65, 18},
          Expected{IDB_TOOLBAR_150, 4 * 146, 45}, Expected{IDB_TOOLBAR_HOT_200, 4 * 194, 60}}) {
        SCOPED_TRACE(e.id);
        HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(e.id));
        ASSERT_NE(bitmap, nullptr);
        BITMAP info{};
        GetObjectA(bitmap, sizeof(info), &info);
        EXPECT_EQ(info.bmWidth, e.width);
        EXPECT_EQ(info.bmHeight, e.height);
        DeleteObject(bitmap);
    }
    // Magenta is the transparent colour of the strips: their corners show it.
    EXPECT_EQ(BitmapPixel(IDB_TOOLBAR, 0, 0), RGB(255, 0, 255));
    EXPECT_EQ(BitmapPixel(IDB_SELECTOR, 42, 0), RGB(255, 0, 255));
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(LoadImageA(
            GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VEILGATE), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        DestroyIcon(icon);
    }
    HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_POINTER));
    EXPECT_NE(hand, nullptr);
}

}  // namespace
