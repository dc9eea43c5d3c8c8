#include "restore/restore_sequence.h"

#include "base/text_compare.h"

namespace {

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

RestoreRun RestoreRunFor(const std::string& commandLine) {
    return base::EqualsIgnoringCase(Trimmed(commandLine), RestoreOnlySwitch)
               ? RestoreRun::BrowsersOnly
               : RestoreRun::Full;
}

int RunRestore(ProcessControl& processes, BrowserRestores& browsers, PollQuestion& poll,
               RestoreRun run) {
    // Whether the main program was running or not, every browser is reset.
    if (run == RestoreRun::Full)
        processes.StopFirstProcessNamed(MainProgramNameText);
    if (!browsers.ResetInternetSettings())
        return 0;
    // Each browser is handled whatever became of the one before.
    browsers.RestoreOperaInstallationIni();
    browsers.RestoreOperaProfileIni();
    browsers.RestoreOperaInstallationDefaults();
    browsers.RestoreMozilla();
    browsers.RestoreFirefox();
    if (run == RestoreRun::Full)
        poll.Ask();
    return 0;
}
