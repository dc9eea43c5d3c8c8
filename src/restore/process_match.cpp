#include "restore/process_match.h"

uint32_t FirstProcessNamedInSession(const std::vector<RunningProcess>& processes,
                                    const std::string& text, uint32_t ownSession, uint32_t self,
                                    uint32_t except) {
    for (const RunningProcess& process : processes) {
        // A copy of this tool renamed to carry the text must not stop itself
        // before it has reset anything.
        if (process.id == 0 || process.id == self || process.id == except)
            continue;
        if (!process.sessionKnown || process.sessionId != ownSession)
            continue;
        if (process.exeFile.find(text) != std::string::npos)
            return process.id;
    }
    return 0;
}
