// A dialog with a bitmap from the program's resources behind its controls:
// tiled (mode 0), centred (1) or stretched (2).
#pragma once

#include <windows.h>

#include "ui/dialog_win.h"
#include "base/scoped_win.h"

namespace ui {

class BitmapDialog : public Dialog {
public:
    explicit BitmapDialog(int resourceId) : Dialog(resourceId) {}

    // 0 tiled, 1 centred, 2 stretched; any other value is ignored.
    void SetMode(int mode);
    int Mode() const { return mode_; }
    // Instead of the mode: the picture once, extended beyond its size by
    // its edges (ui::ExtendBitmap), for a window that grows.
    void ExtendBeyondPicture() { extend_ = true; }
    // Loads a bitmap resource of the program; false when there is none.
    bool LoadBitmapResource(int bitmapResourceId);
    bool HasBitmap() const { return bitmap_.IsValid(); }

protected:
    // Erases as the dialog would, then draws the bitmap over the client area.
    bool OnEraseBackground(HDC dc) override;

private:
    base::ScopedGdiObject bitmap_;
    int mode_ = 0;
    bool extend_ = false;
};

}  // namespace ui
