// "Check My Protection" on the real system: the test page asked directly and
// through the engine, WinINet's connection options, the Firefox profile
// files, the browsers' policies in the registry; and the fixes, each through
// the browser configuration's own routines, so that every restore undoes
// them like the rest.
#pragma once

#include <functional>

#include "app/dialogs/protection_dialog_win.h"

class SystemProtectionWork : public ProtectionWork {
public:
    // `state` and `pointBrowsers` run on the window's thread.
    SystemProtectionWork(std::function<protection::EngineState()> state,
                         std::function<void(protection::Fix)> pointBrowsers)
        : state_(std::move(state)), pointBrowsers_(std::move(pointBrowsers)) {}

    protection::EngineState CurrentState() override { return state_(); }
    std::vector<protection::Item> Check(const protection::EngineState& state,
                                        const std::atomic<bool>& stop) override;
    void ApplyFix(protection::Fix fix, const protection::EngineState& state,
                  std::string& told) override;
    void PointBrowsers(protection::Fix fix) override { pointBrowsers_(fix); }

private:
    std::function<protection::EngineState()> state_;
    std::function<void(protection::Fix)> pointBrowsers_;
};

// Told when Windows refuses the user's own policy values.
constexpr char WebRtcPoliciesRefused[] =
    "Windows did not let Veilgate set the WebRTC policies of Chrome and Edge for you. The setup "
    "program sets them for every user: run it again as an administrator with \"Stop Chrome and "
    "Edge from showing my address through WebRTC\" ticked.";
