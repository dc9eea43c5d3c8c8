// Text the user copies that should stay on this machine: put on the clipboard
// as Unicode text, with the registered formats by which Windows leaves an
// item out of the clipboard history and out of the cloud clipboard's sync to
// the user's other devices.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

// `text` in the program's code page; false when the clipboard could not be
// had or filled.
bool CopyPrivateText(HWND owner, const std::string& text);

}  // namespace ui
