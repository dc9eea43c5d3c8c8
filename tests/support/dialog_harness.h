// Driving dialogs the way a person would, with real window messages, and
// reading back what they stored and what they would have said.
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

// The registry as it is, read without the program's own wrappers.
inline bool ReadRegText(HKEY root, const char* key, const char* name, std::string& text) {
    char buffer[2048] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    LONG status =
        RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    text = buffer;
    return true;
}

inline bool ReadRegDword(HKEY root, const char* key, const char* name, DWORD& value) {
    DWORD size = sizeof(value);
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    LONG status =
        RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS && type == REG_DWORD;
}

inline void WriteRegText(HKEY root, const char* key, const char* name, const std::string& text) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
}

inline void WriteRegDword(HKEY root, const char* key, const char* name, DWORD value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    RegCloseKey(handle);
}

inline void DeleteRegValue(HKEY root, const char* key, const char* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

inline bool RegValueExists(HKEY root, const char* key, const char* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    LONG status = RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

constexpr char ProductKey[] = "Software\\Veilgate";
constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

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
