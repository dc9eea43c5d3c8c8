#include "browsers/restore_lock_win.h"

namespace {

// This user's session only, like the record it guards.
constexpr char LockName[] = "Local\\VeilgateBrowserRestore";

}  // namespace

RestoreLock::RestoreLock(DWORD waitMs) : mutex_(CreateMutexA(nullptr, FALSE, LockName)) {
    if (!mutex_)
        return;
    DWORD waited = WaitForSingleObject(mutex_.Get(), waitMs);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

RestoreLock::~RestoreLock() {
    if (held_)
        ReleaseMutex(mutex_.Get());
}
