// A static text that opens a page or a file when clicked: underlined, in
// blue, with a pointing hand over it.
#pragma once

#include <windows.h>

#include <string>

#include "base/scoped_win.h"

namespace ui {

class HyperlinkLabel {
public:
    static constexpr COLORREF LinkColor = RGB(0, 0, 255);

    HyperlinkLabel() = default;
    ~HyperlinkLabel();
    HyperlinkLabel(const HyperlinkLabel&) = delete;
    HyperlinkLabel& operator=(const HyperlinkLabel&) = delete;

    // Takes over static control `id`; the hand is cursor resource
    // `cursorResourceId` of the program.
    bool Attach(int id, HWND parent, int cursorResourceId);
    // What a click opens; when empty, the control's own text is opened.
    void SetLink(const std::string& link) { link_ = link; }
    const std::string& Link() const { return link_; }
    HWND Hwnd() const { return hwnd_; }
    // The dialog's answer to the control's colour message: blue on the
    // given background.
    HBRUSH OnCtlColor(HDC dc, HBRUSH background) const;
    // What a click does.
    void Open() const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR idSubclass, DWORD_PTR refData);

    HWND hwnd_ = nullptr;
    HCURSOR cursor_ = nullptr;
    base::ScopedGdiObject font_;
    std::string link_;
};

}  // namespace ui
