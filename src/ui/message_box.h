// Every message the program shows goes through here, so that tests can
// capture what a person would have been told instead of showing a window.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual int Show(HWND owner, const std::string& text, const std::string& caption,
                     UINT type) = 0;
};

// Shows an OK box with the information icon, as every message of the program
// does; an empty caption gives an empty title (not the system's "Error").
int ShowMessage(HWND owner, const std::string& text, const std::string& caption = "");
// Shows any kind of box through the current sink.
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// Replaces the real message boxes (nullptr puts them back).
void SetMessageSinkForTesting(MessageSink* sink);

}  // namespace ui
