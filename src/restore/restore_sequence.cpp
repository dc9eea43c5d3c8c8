#include "restore/restore_sequence.h"

#include <cctype>

#include "base/text_compare.h"
#include "browsers/browsing_mark.h"

namespace {

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A process id: decimal digits only, above 0, within 32 bits.
bool ParseProcessId(const std::string& text, uint32_t& id) {
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value == 0 || value > UINT32_MAX)
        return false;
    id = static_cast<uint32_t>(value);
    return true;
}

// Each browser is handled whatever became of the one before; false when the
// Internet settings could not even be attempted.
bool ResetEveryBrowser(BrowserRestores& browsers) {
    if (!browsers.ResetInternetSettings())
        return false;
    browsers.RestoreOperaInstallationIni();
    browsers.RestoreOperaProfileIni();
    browsers.RestoreOperaInstallationDefaults();
    browsers.RestoreMozilla();
    browsers.RestoreFirefox();
    return true;
}

}  // namespace

RestoreCommand RestoreCommandFor(const std::string& commandLine) {
    std::string text = Trimmed(commandLine);
    RestoreCommand command;
    if (base::EqualsIgnoringCase(text, RestoreOnlySwitch)) {
        command.run = RestoreRun::BrowsersOnly;
    } else if (base::EqualsIgnoringCase(text, LeftoverSwitch)) {
        command.run = RestoreRun::Leftover;
    } else if (base::StartsWithIgnoringCase(text, WatchSwitch) &&
               text.find_first_of(" \t") == sizeof(WatchSwitch) - 1 &&
               ParseProcessId(Trimmed(text.substr(sizeof(WatchSwitch) - 1)), command.processId)) {
        command.run = RestoreRun::Watch;
    }
    return command;
}

int RunRestore(ProcessControl& processes, BrowserRestores& browsers, PollQuestion& poll,
               const RestoreCommand& command) {
    if (command.run == RestoreRun::Watch)
        processes.WaitForEnd(command.processId);
    if (command.run == RestoreRun::Watch || command.run == RestoreRun::Leftover) {
        processes.HoldRestoreLock();
        // A Veilgate that runs has the browsers in hand: it took them over
        // at its start, or will put them back itself.
        if (!browsers.IsBrowsingMarkedOn() ||
            processes.IsProcessNamedRunning(MainProgramNameText, command.processId))
            return 0;
        if (ResetEveryBrowser(browsers))
            browsers.ForgetBrowsingMark();
        return 0;
    }
    browsers.ForgetBrowsingMark();
    // Whether the main program was running or not, every browser is reset.
    if (command.run == RestoreRun::Full)
        processes.StopFirstProcessNamed(MainProgramNameText);
    bool reset = ResetEveryBrowser(browsers);
    if (reset && command.run == RestoreRun::Full)
        poll.Ask();
    if (reset && command.run == RestoreRun::BrowsersOnly && browsers.FirefoxRestoreUnfinished())
        return FirefoxStillRunningExitCode;
    return 0;
}
