// "Advanced Settings Dialog": start with Windows, a protection check after
// each switching on, the local proxy's port, and a test of that port. "Apply" and the close box
// store; "Cancel" and Escape do not.
#pragma once

#include <string>

#include "app/local_port_test.h"
#include "ui/color_button_win.h"
#include "ui/dialog_win.h"

class AdvancedSettingsDialog : public ui::Dialog {
public:
    static constexpr int MaxPortLength = 5;

    // `engine` tells the port test which port the program's own engine holds;
    // it may be null, and must outlive the dialog otherwise.
    explicit AdvancedSettingsDialog(const EngineStatus* engine = nullptr);

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;
    // Enter presses "Apply".
    void OnOK() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void ReadControls();
    void Store();
    void TestPort();

    const EngineStatus* engine_;
    std::string portText_;
    int runAtStartup_ = 0;
    // "Check my protection after switching on" (CheckAfterSwitchingOn).
    int checkAfterOn_ = 0;
    ui::ColorButton testButton_;
    ui::ColorButton applyButton_;
    ui::ColorButton cancelButton_;
};
