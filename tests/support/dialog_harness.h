// Driving dialogs the way a person would, with real window messages, and
// catching what they would have said.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/message_box.h"

namespace harness {

struct ShownMessage {
    std::string text;
    std::string caption;
    UINT type = 0;
};

// Captures every message box of the program while it lives; each one is
// answered with IDOK.
class CapturedMessages : public ui::MessageSink {
public:
    CapturedMessages() { ui::SetMessageSinkForTesting(this); }
    ~CapturedMessages() override { ui::SetMessageSinkForTesting(nullptr); }
    int Show(HWND, const std::string& text, const std::string& caption, UINT type) override {
        shown.push_back({text, caption, type});
        return IDOK;
    }
    std::vector<ShownMessage> shown;
};

inline HWND Control(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

// Types characters one by one, as the keyboard does: edit limits and the
// digits-only style apply.
inline void Type(HWND dialog, int id, const std::string& text) {
    HWND edit = Control(dialog, id);
    for (char c : text)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

// Replaces everything in an edit with text, as a paste over a selection
// does (the edit's limit applies).
inline void Paste(HWND dialog, int id, const std::string& text) {
    HWND edit = Control(dialog, id);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

inline std::string TextOf(HWND window) {
    char buffer[1024] = {};
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

inline std::string TextOf(HWND dialog, int id) {
    return TextOf(Control(dialog, id));
}

inline void Click(HWND dialog, int id) {
    SendMessageA(Control(dialog, id), BM_CLICK, 0, 0);
}

inline bool IsChecked(HWND dialog, int id) {
    return SendMessageA(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Handles what is waiting in this thread's queue (posted commands).
inline void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The title bar's close box. Windows posts the resulting IDCANCEL, so the
// queue is pumped afterwards.
inline void CloseBox(HWND dialog) {
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages();
}

// A key pressed while the focus is in the dialog (Escape, Enter).
inline void PressKey(HWND dialog, WPARAM key) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(dialog, focus))
        focus = dialog;
    MSG message{};
    message.hwnd = focus;
    message.message = WM_KEYDOWN;
    message.wParam = key;
    IsDialogMessageA(dialog, &message);
}

// Runs `drive` on the first dialog with this caption once it is up, from a
// timer of the modal loop; DoModal then returns what the drive led to.
class ModalDriver {
public:
    using Drive = void (*)(HWND dialog);
    ModalDriver(const char* caption, Drive drive) {
        caption_ = caption;
        drive_ = drive;
        timer_ = SetTimer(nullptr, 0, 20, &ModalDriver::Tick);
    }
    ~ModalDriver() { KillTimer(nullptr, timer_); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        HWND dialog = FindWindowA("#32770", caption_);
        if (!dialog || !drive_)
            return;
        Drive drive = drive_;
        drive_ = nullptr;
        KillTimer(nullptr, id);
        drive(dialog);
    }
    static inline const char* caption_ = nullptr;
    static inline Drive drive_ = nullptr;
    UINT_PTR timer_ = 0;
};

}  // namespace harness
