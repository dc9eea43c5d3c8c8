// ui::ColorButton painting, read back pixel by pixel from a memory bitmap.
#include "ui/color_button_win.h"

#include <gtest/gtest.h>

#include "ui/dialog_win.h"
#include "base/scoped_win.h"

namespace {

constexpr int Width = 60;
constexpr int Height = 24;
constexpr int ButtonId = 1234;

class ColorButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        button_ = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                                  Width, Height, parent_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(ButtonId)),
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(button_, nullptr);
        screen_ = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen_);
        bitmap_.Reset(CreateCompatibleBitmap(screen_, Width, Height));
        old_ = SelectObject(dc_, bitmap_.Get());
    }
    void TearDown() override {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        ReleaseDC(nullptr, screen_);
        if (parent_)
            DestroyWindow(parent_);
    }

    DRAWITEMSTRUCT Item(UINT state) const {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = ButtonId;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = button_;
        item.hDC = dc_;
        item.rcItem = RECT{0, 0, Width, Height};
        return item;
    }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

    HWND parent_ = nullptr;
    HWND button_ = nullptr;
    HDC screen_ = nullptr;
    HDC dc_ = nullptr;
    base::ScopedGdiObject bitmap_;
    HGDIOBJ old_ = nullptr;
};

TEST_F(ColorButtonTest, AttachMakesTheControlOwnerDrawnOnce) {
    ui::ColorButton button;
    EXPECT_FALSE(button.Attach(999, parent_));
    ASSERT_TRUE(button.Attach(ButtonId, parent_));
    EXPECT_EQ(GetWindowLongPtrA(button_, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    ui::ColorButton second;
    EXPECT_FALSE(second.Attach(ButtonId, parent_));
    button.Detach();
    EXPECT_EQ(GetWindowLongPtrA(button_, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_TRUE(second.Attach(ButtonId, parent_));
}

TEST_F(ColorButtonTest, DepthTwoRingsAndFace) {
    ui::ColorButton button;
    ASSERT_TRUE(button.Attach(ButtonId, parent_, ui::ButtonFace, ui::ButtonText,
                              ui::ButtonDisabledText, 2));
    button.Draw(Item(0));
    EXPECT_EQ(At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(Width / 2, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(0, Height / 2), RGB(255, 255, 255));
    EXPECT_EQ(At(Width - 1, Height / 2), RGB(128, 128, 128));
    EXPECT_EQ(At(Width / 2, Height - 1), RGB(128, 128, 128));
    EXPECT_EQ(At(Width - 1, Height - 1), RGB(128, 128, 128));
    EXPECT_EQ(At(1, 1), RGB(223, 223, 223));
    EXPECT_EQ(At(1, Height / 2), RGB(223, 223, 223));
    EXPECT_EQ(At(Width - 2, Height / 2), RGB(85, 85, 85));
    EXPECT_EQ(At(Width / 2, Height - 2), RGB(85, 85, 85));
    EXPECT_EQ(At(2, 2), ui::ButtonFace);
    EXPECT_EQ(At(Width - 3, Height - 3), ui::ButtonFace);
}

TEST_F(ColorButtonTest, DepthOneRing) {
    ui::ColorButton button;
    ASSERT_TRUE(button.Attach(ButtonId, parent_, ui::ButtonFace, ui::ButtonText,
                              ui::ButtonDisabledText, 1));
    button.Draw(Item(0));
    EXPECT_EQ(At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(Width - 1, Height - 1), RGB(128, 128, 128));
    EXPECT_EQ(At(1, 1), ui::ButtonFace);
    EXPECT_EQ(At(Width - 2, Height - 2), ui::ButtonFace);
}

TEST_F(ColorButtonTest, FocusedAndPressedRedrawsWithAPressedEdge) {
    ui::ColorButton button;
    ASSERT_TRUE(button.Attach(ButtonId, parent_));
    button.Draw(Item(ODS_FOCUS | ODS_SELECTED));
    EXPECT_EQ(At(0, Height / 2), RGB(128, 128, 128));
    EXPECT_EQ(At(Width - 1, Height / 2), RGB(255, 255, 255));
    // The pressed redraw has a one-pixel bevel: the second ring is face.
    EXPECT_EQ(At(1, Height / 2), ui::ButtonFace);
}

int CountPixels(HDC dc, COLORREF color) {
    int count = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            count += GetPixel(dc, x, y) == color;
    return count;
}

TEST_F(ColorButtonTest, DisabledTextIsGreyAndEnabledTextIsNearBlack) {
    const COLORREF Text = RGB(200, 0, 0);
    const COLORREF Disabled = RGB(0, 0, 200);
    ui::ColorButton button;
    ASSERT_TRUE(button.Attach(ButtonId, parent_, ui::ButtonFace, Text, Disabled, 2));
    button.Draw(Item(0));
    EXPECT_GT(CountPixels(dc_, Text), 0);
    EXPECT_EQ(CountPixels(dc_, Disabled), 0);
    button.Draw(Item(ODS_DISABLED));
    EXPECT_GT(CountPixels(dc_, Disabled), 0);
}

TEST_F(ColorButtonTest, DrawRequestsReachTheButtonThroughTheReflectedMessage) {
    ui::ColorButton button;
    ASSERT_TRUE(button.Attach(ButtonId, parent_));
    DRAWITEMSTRUCT item = Item(0);
    EXPECT_TRUE(
        SendMessageA(button_, ui::ReflectedDrawItemMessage(), 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(At(Width / 2, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(3, 3), ui::ButtonFace);
}

TEST_F(ColorButtonTest, DestroyedControlReleasesTheObject) {
    ui::ColorButton button;
    ASSERT_TRUE(button.Attach(ButtonId, parent_));
    DestroyWindow(parent_);
    parent_ = nullptr;
    EXPECT_EQ(button.Hwnd(), nullptr);
}

}  // namespace
