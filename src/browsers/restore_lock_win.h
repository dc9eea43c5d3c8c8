// Held by whoever puts the browsers back after a Veilgate that did not end
// in order (its watcher, the log-on restore, Veilgate's own start-up), so
// that one of them never undoes what another is doing. A named mutex, not
// Veilgate's own: the watcher must hold nothing that Veilgate needs.
#pragma once

#include <windows.h>

#include "base/scoped_win.h"

class RestoreLock {
public:
    // Waits at most `waitMs` for a holder to finish; a holder that died
    // while holding it (an abandoned mutex) counts as finished, and after
    // the wait the caller goes on even without it.
    explicit RestoreLock(DWORD waitMs = 10000);
    ~RestoreLock();

    RestoreLock(const RestoreLock&) = delete;
    RestoreLock& operator=(const RestoreLock&) = delete;

private:
    base::ScopedHandle mutex_;
    bool held_ = false;
};
