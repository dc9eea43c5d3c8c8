#include "ui/clipboard_win.h"

#include <cstring>

namespace ui {

namespace {

// Hands `size` bytes to the clipboard in `format`; the clipboard owns the
// memory once it took it.
bool Put(UINT format, const void* data, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return false;
    void* bytes = GlobalLock(memory);
    if (!bytes) {
        GlobalFree(memory);
        return false;
    }
    memcpy(bytes, data, size);
    GlobalUnlock(memory);
    if (SetClipboardData(format, memory))
        return true;
    GlobalFree(memory);
    return false;
}

}  // namespace

bool CopyPrivateText(HWND owner, const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    bool put = Put(CF_UNICODETEXT, wide.c_str(), wide.size() * sizeof(wchar_t));
    // Windows reads these by name: any data in the first keeps the item out
    // of both; a DWORD 0 in each of the others says the same to each.
    const DWORD no = 0;
    for (const char* name : {"ExcludeClipboardContentFromMonitorProcessing",
                             "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"}) {
        UINT format = RegisterClipboardFormatA(name);
        put = put && format != 0 && Put(format, &no, sizeof no);
    }
    // Without all of them the report would reach the history: nothing stays.
    if (!put)
        EmptyClipboard();
    CloseClipboard();
    return put;
}

}  // namespace ui
