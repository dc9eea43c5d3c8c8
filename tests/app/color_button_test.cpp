// ColorButton painting, read back pixel by pixel from a memory bitmap.
#include "app/ui/color_button_win.h"

#include <gtest/gtest.h>

#include "app/ui/dialog_win.h"
#include "base/scoped_win.h"

namespace {

constexpr int kWidth = 60;
constexpr int kHeight = 24;
constexpr int kButtonId = 1234;

class ColorButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        button_ = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                                  kWidth, kHeight, parent_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)),
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(button_, nullptr);
        screen_ = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen_);
        bitmap_.Reset(CreateCompatibleBitmap(screen_, kWidth, kHeight));
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
        item.CtlID = kButtonId;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = button_;
        item.hDC = dc_;
        item.rcItem = RECT{0, 0, kWidth, kHeight};
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
    ColorButton button;
    EXPECT_FALSE(button.Attach(999, parent_));
    ASSERT_TRUE(button.Attach(kButtonId, parent_));
    EXPECT_EQ(GetWindowLongPtrA(button_, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    ColorButton second;
    EXPECT_FALSE(second.Attach(kButtonId, parent_));
    button.Detach();
    EXPECT_EQ(GetWindowLongPtrA(button_, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_TRUE(second.Attach(kButtonId, parent_));
}

TEST_F(ColorButtonTest, DepthTwoRingsAndFace) {
    ColorButton button;
    ASSERT_TRUE(button.Attach(kButtonId, parent_, ui::kButtonFace, ui::kButtonText,
                              ui::kButtonDisabledText, 2));
    button.Draw(Item(0));
    EXPECT_EQ(At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(kWidth / 2, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(0, kHeight / 2), RGB(255, 255, 255));
    EXPECT_EQ(At(kWidth - 1, kHeight / 2), RGB(128, 128, 128));
    EXPECT_EQ(At(kWidth / 2, kHeight - 1), RGB(128, 128, 128));
    EXPECT_EQ(At(kWidth - 1, kHeight - 1), RGB(128, 128, 128));
    EXPECT_EQ(At(1, 1), RGB(223, 223, 223));
    EXPECT_EQ(At(1, kHeight / 2), RGB(223, 223, 223));
    EXPECT_EQ(At(kWidth - 2, kHeight / 2), RGB(85, 85, 85));
    EXPECT_EQ(At(kWidth / 2, kHeight - 2), RGB(85, 85, 85));
    EXPECT_EQ(At(2, 2), ui::kButtonFace);
    EXPECT_EQ(At(kWidth - 3, kHeight - 3), ui::kButtonFace);
}

TEST_F(ColorButtonTest, DepthOneRing) {
    ColorButton button;
    ASSERT_TRUE(button.Attach(kButtonId, parent_, ui::kButtonFace, ui::kButtonText,
                              ui::kButtonDisabledText, 1));
    button.Draw(Item(0));
    EXPECT_EQ(At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(kWidth - 1, kHeight - 1), RGB(128, 128, 128));
    EXPECT_EQ(At(1, 1), ui::kButtonFace);
    EXPECT_EQ(At(kWidth - 2, kHeight - 2), ui::kButtonFace);
}

TEST_F(ColorButtonTest, FocusedAndPressedRedrawsWithAPressedEdge) {
    ColorButton button;
    ASSERT_TRUE(button.Attach(kButtonId, parent_));
    button.Draw(Item(ODS_FOCUS | ODS_SELECTED));
    EXPECT_EQ(At(0, kHeight / 2), RGB(128, 128, 128));
    EXPECT_EQ(At(kWidth - 1, kHeight / 2), RGB(255, 255, 255));
    // The pressed redraw has a one-pixel bevel: the second ring is face.
    EXPECT_EQ(At(1, kHeight / 2), ui::kButtonFace);
}

int CountPixels(HDC dc, COLORREF color) {
    int count = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            count += GetPixel(dc, x, y) == color;
    return count;
}

TEST_F(ColorButtonTest, DisabledTextIsGreyAndEnabledTextIsNearBlack) {
    const COLORREF kText = RGB(200, 0, 0);
    const COLORREF kDisabled = RGB(0, 0, 200);
    ColorButton button;
    ASSERT_TRUE(button.Attach(kButtonId, parent_, ui::kButtonFace, kText, kDisabled, 2));
    button.Draw(Item(0));
    EXPECT_GT(CountPixels(dc_, kText), 0);
    EXPECT_EQ(CountPixels(dc_, kDisabled), 0);
    button.Draw(Item(ODS_DISABLED));
    EXPECT_GT(CountPixels(dc_, kDisabled), 0);
}

TEST_F(ColorButtonTest, DrawRequestsReachTheButtonThroughTheReflectedMessage) {
    ColorButton button;
    ASSERT_TRUE(button.Attach(kButtonId, parent_));
    DRAWITEMSTRUCT item = Item(0);
    EXPECT_TRUE(
        SendMessageA(button_, ReflectedDrawItemMessage(), 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(At(kWidth / 2, 0), RGB(255, 255, 255));
    EXPECT_EQ(At(3, 3), ui::kButtonFace);
}

TEST_F(ColorButtonTest, DestroyedControlReleasesTheObject) {
    ColorButton button;
    ASSERT_TRUE(button.Attach(kButtonId, parent_));
    DestroyWindow(parent_);
    parent_ = nullptr;
    EXPECT_EQ(button.Hwnd(), nullptr);
}

}  // namespace
