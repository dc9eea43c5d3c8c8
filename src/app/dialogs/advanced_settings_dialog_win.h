// "Advanced Settings Dialog": start with Windows, the local proxy's port, and
// a test of that port. "Apply" and the close box store; "Cancel" and Escape
// do not.
#pragma once

#include <string>

#include "app/local_port_test.h"
#include "app/ui/color_button_win.h"
#include "app/ui/colors_win.h"
#include "app/ui/dialog_win.h"

class AdvancedSettingsDialog : public Dialog {
public:
    static constexpr int kMaxPortLength = 5;

    // `engine` tells the port test which port the program's own engine holds;
    // it may be null, and must outlive the dialog otherwise.
    explicit AdvancedSettingsDialog(const EngineStatus* engine = nullptr);

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;
    // Enter presses "Apply".
    void OnOK() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

private:
    void ReadControls();
    void Store();
    void TestPort();

    const EngineStatus* engine_;
    std::string portText_;
    int runAtStartup_ = 0;
    ui::DialogColors colors_;
    ColorButton testButton_;
    ColorButton applyButton_;
    ColorButton cancelButton_;
};
