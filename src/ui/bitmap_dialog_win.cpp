#include "ui/bitmap_dialog_win.h"

#include "ui/bitmap_layout.h"

namespace ui {

void BitmapDialog::SetMode(int mode) {
    if (ui::IsBitmapMode(mode))
        mode_ = mode;
}

bool BitmapDialog::LoadBitmapResource(int bitmapResourceId) {
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapResourceId));
    if (!bitmap)
        return false;
    bitmap_.Reset(bitmap);
    if (Hwnd())
        InvalidateRect(Hwnd(), nullptr, TRUE);
    return true;
}

bool BitmapDialog::OnEraseBackground(HDC dc) {
    RECT client{};
    GetClientRect(Hwnd(), &client);
    // The default erase: whatever brush the dialog answers for itself.
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(
        Hwnd(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Hwnd())));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_3DFACE));
    if (!bitmap_)
        return true;

    BITMAP info{};
    GetObjectA(bitmap_.Get(), sizeof(info), &info);
    HDC source = CreateCompatibleDC(dc);
    if (!source)
        return true;
    HGDIOBJ old = SelectObject(source, bitmap_.Get());
    if (extend_) {
        for (const ui::BitmapPiece& piece :
             ui::ExtendBitmap(client.right, client.bottom, info.bmWidth, info.bmHeight))
            StretchBlt(dc, piece.to.x, piece.to.y, piece.to.width, piece.to.height, source,
                       piece.from.x, piece.from.y, piece.from.width, piece.from.height, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        return true;
    }
    for (const ui::Placement& p :
         ui::PlaceBitmap(mode_, client.right, client.bottom, info.bmWidth, info.bmHeight)) {
        if (p.width == info.bmWidth && p.height == info.bmHeight)
            BitBlt(dc, p.x, p.y, p.width, p.height, source, 0, 0, SRCCOPY);
        else
            StretchBlt(dc, p.x, p.y, p.width, p.height, source, 0, 0, info.bmWidth, info.bmHeight,
                       SRCCOPY);
    }
    SelectObject(source, old);
    DeleteDC(source);
    return true;
}

}  // namespace ui
