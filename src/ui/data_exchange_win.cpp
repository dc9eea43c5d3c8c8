#include "ui/data_exchange_win.h"

#include <vector>

#include "ui/field_parse.h"
#include "ui/message_box.h"

namespace ui {

namespace {

// Validation messages are the dialog layer's own, in the standard warning
// form with the program's name as the caption.
constexpr char ProductName[] = "Veilgate";

}  // namespace

void SetFieldText(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
}

std::string GetFieldText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return std::string();
    int length = GetWindowTextLengthA(control);
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(control, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void LimitFieldText(HWND dialog, int id, int maxCharacters) {
    SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(maxCharacters), 0);
}

void SetFieldUnsigned(HWND dialog, int id, uint32_t value) {
    SetFieldText(dialog, id, std::to_string(value));
}

void SetFieldUnsignedKeepingCaret(HWND dialog, int id, uint32_t value) {
    std::string before = GetFieldText(dialog, id);
    std::string after = std::to_string(value);
    if (before == after)
        return;
    DWORD caret = 0;
    SendDlgItemMessageA(dialog, id, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    SetFieldText(dialog, id, after);
    WPARAM place = CaretAfterRewrite(before, after, caret);
    SendDlgItemMessageA(dialog, id, EM_SETSEL, place, static_cast<LPARAM>(place));
}

bool GetFieldUnsigned(HWND dialog, int id, uint32_t& value) {
    if (ParseUnsignedField(GetFieldText(dialog, id), value))
        return true;
    ShowMessageBox(dialog, NotAPositiveInteger, ProductName, MB_OK | MB_ICONEXCLAMATION);
    HWND control = GetDlgItem(dialog, id);
    if (control) {
        SetFocus(control);
        SendMessageA(control, EM_SETSEL, 0, -1);
    }
    return false;
}

void SetCheckBox(HWND dialog, int id, int checked) {
    CheckDlgButton(dialog, id, checked == 1 ? BST_CHECKED : BST_UNCHECKED);
}

int GetCheckBox(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
}

}  // namespace ui
