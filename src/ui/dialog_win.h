// The dialog base that every window of the program derives from. A static
// dialog procedure binds the object to its window at WM_INITDIALOG and
// forwards messages to virtual handlers; the binding is cleared before the
// object goes, and no exception ever crosses into Windows.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/colors_win.h"

namespace ui {

// Owner-drawn controls paint themselves: a draw request that the dialog does
// not handle in OnDrawItem is sent on to the control as this message, with
// the DRAWITEMSTRUCT in lParam (ColorButton answers it).
UINT ReflectedDrawItemMessage();

class Dialog {
public:
    explicit Dialog(int resourceId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; IDOK, IDCANCEL or what EndDialog was given,
    // -1 when the window could not be made or the object already has one.
    INT_PTR DoModal(HWND parent = nullptr);
    // Creates the dialog modeless (for windows that stay, and for tests that
    // drive a dialog with messages); nullptr on failure or when the object
    // already has a window.
    HWND Create(HWND parent = nullptr);

    HWND Hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    // Ends a modal run, or destroys a modeless window.
    void End(INT_PTR result);
    // What End was given (IDCANCEL until then).
    INT_PTR Result() const { return result_; }

protected:
    // The look the settings dialogs share: the light background behind the
    // dialog and its labels. Called from the constructor, so that the brush
    // lives exactly as long as the object.
    void UseDialogColors();

    // Return false when the handler set the focus itself.
    virtual bool OnInitDialog() { return true; }
    // Return true when the command was handled.
    virtual bool OnCommand(int id, int notifyCode, HWND control) { return false; }
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    // A brush for the control's background, or nullptr for the default. A
    // dialog that asked for the shared colours gets them here.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);
    virtual bool OnDrawItem(int id, const DRAWITEMSTRUCT& item) { return false; }
    virtual bool OnNotify(int id, NMHDR& header, LRESULT& result) { return false; }
    virtual void OnDestroy() {}
    // The background of the client area; return true when it was painted.
    virtual bool OnEraseBackground(HDC dc) { return false; }
    // Any other message; set handled to answer it.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
        return 0;
    }

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Proc(UINT message, WPARAM wParam, LPARAM lParam);
    void Unbind();

    int resourceId_;
    std::unique_ptr<DialogColors> colors_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    INT_PTR result_ = IDCANCEL;
};

}  // namespace ui
