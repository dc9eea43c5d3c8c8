#include "app/watcher_process_win.h"

#include "base/files.h"
#include "browsers/browsing_mark.h"

std::string WatcherProcess::RestoreToolPath() {
    return base::JoinPath(base::ProgramFolder(), RestoreToolFile);
}

std::string WatcherProcess::LeftoverCommand() {
    std::string tool = RestoreToolPath();
    char shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameA(tool.c_str(), shortPath, sizeof shortPath);
    std::string shortTool = length > 0 && length < sizeof shortPath ? shortPath : "";
    return RunOnceCommand(tool, shortTool, LeftoverSwitch);
}

bool WatcherProcess::IsWatching() {
    return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

bool WatcherProcess::Start() {
    std::string tool = RestoreToolPath();
    std::string commandLine = RestoreToolCommand(
        tool, std::string(WatchSwitch) + " " + std::to_string(GetCurrentProcessId()));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    // No handle is inherited, so the watcher holds neither the single-copy
    // mutex nor the engine's listening socket. Out of Veilgate's job where
    // the job allows it, so that closing the job does not end the watcher
    // with the program it watches.
    for (DWORD flags : {static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB), static_cast<DWORD>(0)}) {
        if (CreateProcessA(tool.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                           nullptr, base::ProgramFolder().c_str(), &startup, &started))
            break;
    }
    if (!started.hProcess)
        return false;
    CloseHandle(started.hThread);
    process_.Reset(started.hProcess);
    return true;
}
