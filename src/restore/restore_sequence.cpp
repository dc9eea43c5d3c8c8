#include "restore/restore_sequence.h"

int RunRestore(ProcessControl& processes, BrowserRestores& browsers, PollQuestion& poll) {
    // Whether the main program was running or not, every browser is reset.
    processes.StopFirstProcessNamed(MainProgramNameText);
    if (!browsers.ResetInternetSettings())
        return 0;
    // Each browser is handled whatever became of the one before.
    browsers.RestoreOperaInstallationIni();
    browsers.RestoreOperaProfileIni();
    browsers.RestoreOperaInstallationDefaults();
    browsers.RestoreMozilla();
    browsers.RestoreFirefox();
    poll.Ask();
    return 0;
}
