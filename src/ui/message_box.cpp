#include "ui/message_box.h"

namespace ui {

namespace {

class SystemMessageSink : public MessageSink {
public:
    int Show(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        // A null caption would give Windows' own "Error".
        return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
    }
};

SystemMessageSink systemSink;
MessageSink* currentSink = &systemSink;

}  // namespace

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    return currentSink->Show(owner, text, caption, type);
}

int ShowMessage(HWND owner, const std::string& text, const std::string& caption) {
    return ShowMessageBox(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

void SetMessageSinkForTesting(MessageSink* sink) {
    currentSink = sink ? sink : &systemSink;
}

}  // namespace ui
