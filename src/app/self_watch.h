// While anonymous browsing is on, something outside Veilgate's process puts
// the browsers back should it end in any way but its own: a watcher process
// (Gatereset's watching mode) for a kill or a crash, and a log-on entry for a
// power cut. Both act only while the browsing mark says so
// (browsers/browsing_mark.h); every orderly end clears it once the browsers
// are back, and the watcher then leaves quietly.
//
// One watcher a process: started at the first "on" and left waiting after
// an "off" (it does nothing while the mark is clear); a new one is started at
// an "on" only when the one before has ended.
#pragma once

#include <string>

#include "session/shell_interfaces.h"
#include "settings/settings_backend.h"

namespace self_watch {
constexpr char CannotWatch[] =
    "Veilgate cannot watch itself: if it is closed by force, run Gatereset.";
}  // namespace self_watch

// The watcher process as Veilgate sees it.
class Watcher {
public:
    virtual ~Watcher() = default;
    // Whether the watcher started last still runs.
    virtual bool IsWatching() = 0;
    // Starts a watcher of this process; false when none could be started.
    virtual bool Start() = 0;
};

class SelfWatch {
public:
    // `leftoverCommand` is what the log-on entry runs.
    SelfWatch(Watcher& watcher, MainWindowView& view, std::string leftoverCommand,
              SettingsBackend& backend = DefaultSettingsBackend());

    // Before the first browser is changed; tells nothing, so that nothing
    // holds the switch (at a start at log-on nobody may be there to click).
    void BrowsingOn();
    // After the switch: a watcher that could not be started is told to the
    // user once a run, as a balloon from the tray icon when the window is
    // in the tray, else in a box. Browsing goes on all the same.
    void TellIfUnwatched();
    // After every browser is back.
    void BrowsingOff();

private:
    Watcher& watcher_;
    MainWindowView& view_;
    std::string leftoverCommand_;
    SettingsBackend& backend_;
    bool toldCannotWatch_ = false;
    bool cannotWatchDue_ = false;
};

// Whether Veilgate's start-up, the only copy running, finds browsers that a
// run which did not end in order left pointed at it, and must put them back
// before anything else: the mark says on while UseProxy is off (with
// UseProxy on, the start-up takes them over instead).
bool IsLeftoverToRestore(SettingsBackend& backend = DefaultSettingsBackend());
