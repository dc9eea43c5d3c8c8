#include "restore/process_list_win.h"

#include <tlhelp32.h>

#include <vector>

#include "base/scoped_win.h"
#include "restore/process_match.h"

namespace {

// Every process of a fresh snapshot, which lists all sessions' processes,
// each with its session where it can be learnt. ProcessIdToSessionId needs
// query access to the process, which another user's process may refuse:
// such a process counts as another session's.
std::vector<RunningProcess> SnapshotProcesses() {
    std::vector<RunningProcess> processes;
    base::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return processes;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.Get(), &entry); more;
         more = Process32Next(snapshot.Get(), &entry)) {
        RunningProcess process;
        process.id = entry.th32ProcessID;
        DWORD session = 0;
        process.sessionKnown = ProcessIdToSessionId(entry.th32ProcessID, &session) != 0;
        process.sessionId = session;
        process.exeFile = entry.szExeFile;
        processes.push_back(process);
    }
    return processes;
}

}  // namespace

DWORD OwnSessionId() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

DWORD FindFirstProcessNamed(const std::string& text, DWORD except) {
    return FirstProcessNamedInSession(SnapshotProcesses(), text, OwnSessionId(),
                                      GetCurrentProcessId(), except);
}

bool StopFirstProcessNamed(const std::string& text) {
    DWORD id = FindFirstProcessNamed(text);
    if (id == 0)
        return false;
    base::ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    // The open handle keeps the id from being reused: its session, read
    // again now, is that of the process about to be stopped.
    DWORD session = 0;
    return process && ProcessIdToSessionId(id, &session) && session == OwnSessionId() &&
           TerminateProcess(process.Get(), 0);
}

void WaitForProcessEnd(DWORD id, HANDLE orThis) {
    // SYNCHRONIZE alone: enough to wait on, and granted to the same user
    // without elevation.
    base::ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process)
        return;
    HANDLE either[] = {process.Get(), orThis};
    WaitForMultipleObjects(orThis ? 2 : 1, either, FALSE, INFINITE);
}
