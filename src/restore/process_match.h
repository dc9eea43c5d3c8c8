// The choice of a running Veilgate among the processes of a snapshot, apart
// from the snapshot itself so that it can be tested over any list. The
// system's process list holds every session's processes (fast user
// switching, Remote Desktop): only one in the caller's own session is the
// caller's Veilgate. Another user's belongs to them: it neither keeps this
// user's browsers from being put back nor may it be stopped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RunningProcess {
    uint32_t id = 0;
    // False when the session could not be learnt (the process belongs to
    // another user, or ended meanwhile): it is never taken for the caller's.
    bool sessionKnown = false;
    uint32_t sessionId = 0;
    std::string exeFile;
};

// The id of the first process in `processes` whose executable file name
// contains `text` (case-sensitively) and that runs in `ownSession`, `self`
// and `except` left out; 0 when there is none.
uint32_t FirstProcessNamedInSession(const std::vector<RunningProcess>& processes,
                                    const std::string& text, uint32_t ownSession, uint32_t self,
                                    uint32_t except);
