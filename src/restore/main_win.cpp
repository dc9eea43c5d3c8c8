// Gatereset.exe: stops Veilgate if it runs, puts every browser back on a
// direct connection and offers the online poll. "Gatereset /restoreonly"
// only puts the browsers back; "/watch <process id>" and "/leftover" are
// Veilgate's quiet runs (see restore_sequence.h).
#include <windows.h>
#include <commctrl.h>

#include "restore/restore_sequence.h"
#include "restore/restore_system_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    try {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        RestoreCommand command = RestoreCommandFor(commandLine ? commandLine : "");
        // Only Gatereset run by hand resets what has no record: the quiet runs,
        // the uninstaller's included, put back only what points at Veilgate
        // and leave every setting the user made themselves as it is.
        bool quiet = command.run != RestoreRun::Full;
        SystemProcessControl processes;
        SystemBrowserRestores browsers(quiet ? WithoutRecord::OnlyWhenPointedAtEngine
                                             : WithoutRecord::Reset);
        PollDialogQuestion poll;
        return RunRestore(processes, browsers, poll, command);
    } catch (...) {
        // Nothing may unwind out of the program's entry; the run just ends.
        return 0;
    }
}
