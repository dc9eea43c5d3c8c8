#include "restore_test_support.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace testing_support {

std::string FromBuildPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

StartedProcesses::~StartedProcesses() {
    for (const PROCESS_INFORMATION& process : started_) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

DWORD StartedProcesses::Start(const std::string& exe, const std::string& arguments) {
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        startFailure_ =
            "CreateProcessA of " + exe + " failed: error " + std::to_string(GetLastError());
        // Every caller's failure says why, whether or not it prints this.
        std::fprintf(stderr, "%s\n", startFailure_.c_str());
        return 0;
    }
    started_.push_back(process);
    return process.dwProcessId;
}

DWORD StartedProcesses::StartStandIn(const std::string& fileName) {
    std::string copy = folder_.File(fileName);
    if (!CopyFileA(FromBuildPath(STAND_IN_EXE).c_str(), copy.c_str(), FALSE)) {
        startFailure_ = "CopyFileA to " + copy + " failed: error " + std::to_string(GetLastError());
        std::fprintf(stderr, "%s\n", startFailure_.c_str());
        return 0;
    }
    return Start(copy);
}

HANDLE StartedProcesses::Handle(DWORD id) const {
    for (const PROCESS_INFORMATION& process : started_) {
        if (process.dwProcessId == id)
            return process.hProcess;
    }
    return nullptr;
}

bool StartedProcesses::IsRunning(DWORD id) const {
    HANDLE process = Handle(id);
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

long StartedProcesses::WaitForExit(DWORD id, DWORD ms) const {
    HANDLE process = Handle(id);
    if (!process || WaitForSingleObject(process, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<long>(code);
}

}  // namespace testing_support
