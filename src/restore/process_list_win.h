// Running processes, found by their executable file name.
#pragma once

#include <windows.h>

#include <string>

// The id of the first process in a fresh snapshot whose executable file name
// contains `text` (case-sensitively) and that runs in this process's own
// session, this process itself and `except` excepted; 0 when there is none.
DWORD FindFirstProcessNamed(const std::string& text, DWORD except = 0);

// The session this process runs in.
DWORD OwnSessionId();

// Returns once process `id` has ended or `orThis` (when not null) is
// signalled; at once when the process cannot be opened.
void WaitForProcessEnd(DWORD id, HANDLE orThis = nullptr);

// Terminates that process (so never another session's) with exit code 0,
// without waiting for it to end.
// False when there is none or it cannot be terminated.
bool StopFirstProcessNamed(const std::string& text);
