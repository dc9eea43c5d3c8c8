// The watcher as a real process: "Gatereset.exe /watch <this process id>",
// from the folder of Veilgate.exe.
#pragma once

#include <windows.h>

#include <string>

#include "app/self_watch.h"
#include "base/scoped_win.h"

class WatcherProcess : public Watcher {
public:
    bool IsWatching() override;
    bool Start() override;

    // Gatereset.exe beside the running program.
    static std::string RestoreToolPath();
    // "Gatereset /leftover" for the log-on entry, short enough for it
    // (RunOnceCommand); empty when no form of the path is.
    static std::string LeftoverCommand();

private:
    base::ScopedHandle process_;
};
