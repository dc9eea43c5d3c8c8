// Processes that the restore tests start, each stopped by its id at the end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "browsers_test_support.h"
#include "temp_folder.h"

namespace testing_support {

// A Unix path of the build as Wine's drive Z: sees it.
std::string FromBuildPath(const std::string& unixPath);

class StartedProcesses {
public:
    StartedProcesses() = default;
    ~StartedProcesses();
    StartedProcesses(const StartedProcesses&) = delete;
    StartedProcesses& operator=(const StartedProcesses&) = delete;

    // Starts `exe` with `arguments` after its quoted path; the process's id,
    // or 0 when it could not be started (StartFailure then says why).
    DWORD Start(const std::string& exe, const std::string& arguments = "");
    // "CreateProcessA of <exe> failed: error <GetLastError()>" for the last
    // start that failed (also written to stderr when it fails); empty when
    // none did.
    const std::string& StartFailure() const { return startFailure_; }
    // Starts a copy of the stand-in named `fileName`.
    DWORD StartStandIn(const std::string& fileName);

    HANDLE Handle(DWORD id) const;
    bool IsRunning(DWORD id) const;
    // Waits up to `ms` for the process to end; its exit code, or -1 when it
    // did not end.
    long WaitForExit(DWORD id, DWORD ms) const;

private:
    TempFolder folder_;
    std::vector<PROCESS_INFORMATION> started_;
    std::string startFailure_;
};

}  // namespace testing_support
