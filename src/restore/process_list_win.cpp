#include "restore/process_list_win.h"

#include <tlhelp32.h>

#include "base/scoped_win.h"

DWORD FindFirstProcessNamed(const std::string& text, DWORD except) {
    base::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    if (!Process32First(snapshot.Get(), &entry))
        return 0;
    DWORD self = GetCurrentProcessId();
    do {
        // A copy of this tool renamed to carry the text must not stop itself
        // before it has reset anything.
        if (entry.th32ProcessID != self && entry.th32ProcessID != except &&
            std::string(entry.szExeFile).find(text) != std::string::npos)
            return entry.th32ProcessID;
    } while (Process32Next(snapshot.Get(), &entry));
    return 0;
}

bool StopFirstProcessNamed(const std::string& text) {
    DWORD id = FindFirstProcessNamed(text);
    if (id == 0)
        return false;
    base::ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return process && TerminateProcess(process.Get(), 0);
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
