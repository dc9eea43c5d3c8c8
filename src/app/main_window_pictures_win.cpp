// The window's pictures: the background, the toolbar and the selector's
// images, drawn for 100, 150 and 200 percent and loaded for the window's DPI.
#include "app/main_window_win.h"

#include "app/main_window_parts_win.h"
#include "app/main_window_res.h"
#include "app/res/app_resources.h"
#include "ui/bitmap_layout.h"

namespace {

constexpr COLORREF Transparent = RGB(255, 0, 255);
// The pictures' sizes at 100 %; the bitmaps drawn for other scales are as
// ui::ScalePixels makes them.
constexpr int SelectorImageWidth = 21;
constexpr int ToolbarButtonWidth = 97;
constexpr int ToolbarButtonHeight = 30;
constexpr int ToolbarCommands[] = {IDT_ADVANCED_SETTINGS, IDT_ONLINE_PRIVACY, IDT_BROWSERS,
                                   IDT_HELP};

// The resource of a picture drawn at percent (see app_resources.h).
int PictureId(int bitmapId, int percent) {
    return percent == 200   ? bitmapId + IDB_AT_200
           : percent == 150 ? bitmapId + IDB_AT_150
                            : bitmapId;
}

HIMAGELIST LoadStrip(int bitmapId, int imageWidth, int percent) {
    return ImageList_LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(PictureId(bitmapId, percent)),
        ui::ScalePixels(imageWidth, percent), 0, Transparent, IMAGE_BITMAP, LR_CREATEDIBSECTION);
}

// Called once the control holds fresh, so that it never draws a destroyed list.
void Replace(HIMAGELIST& owned, HIMAGELIST fresh) {
    if (owned)
        ImageList_Destroy(owned);
    owned = fresh;
}

}  // namespace

int main_window::WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow) {
        if (UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    }
    HDC dc = GetDC(window);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ReleaseDC(window, dc);
    return dpi > 0 ? dpi : 96;
}

void MainWindow::CreateToolbar() {
    toolbar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_FLAT | CCS_TOP, 0, 0, 0,
                               0, Hwnd(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!toolbar_)
        return;
    SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // The buttons are the pictures alone, so the bar stays above the first
    // row of controls.
    SendMessageA(toolbar_, TB_SETPADDING, 0, MAKELPARAM(0, 0));
    TBBUTTON buttons[4] = {};
    for (int i = 0; i < 4; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = ToolbarCommands[i];
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
        buttons[i].iString = -1;
    }
    SendMessageA(toolbar_, TB_ADDBUTTONSA, 4, reinterpret_cast<LPARAM>(buttons));
}

void MainWindow::LoadPictures(int dpi) {
    int scale = ui::PictureScaleForDpi(dpi);
    LoadBitmapResource(PictureId(IDB_BACKGROUND, scale));
    if (toolbar_) {
        HIMAGELIST images = LoadStrip(IDB_TOOLBAR, ToolbarButtonWidth, scale);
        HIMAGELIST hotImages = LoadStrip(IDB_TOOLBAR_HOT, ToolbarButtonWidth, scale);
        int width = ui::ScalePixels(ToolbarButtonWidth, scale);
        int height = ui::ScalePixels(ToolbarButtonHeight, scale);
        SendMessageA(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(width, height));
        SendMessageA(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        SendMessageA(toolbar_, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(hotImages));
        SendMessageA(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(width, height));
        SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
        Replace(toolbarImages_, images);
        Replace(toolbarHotImages_, hotImages);
    }
    if (selector_) {
        HIMAGELIST images = LoadStrip(IDB_SELECTOR, SelectorImageWidth, scale);
        SendMessageA(selector_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        Replace(selectorImages_, images);
    }
}
