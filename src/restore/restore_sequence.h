// Gatereset's start routine as a sequence of calls over three small
// interfaces, so that the whole run can be exercised without a person
// answering the poll.
#pragma once

#include <cstdint>
#include <string>

// The text by which the main program is recognised among running processes.
constexpr char MainProgramNameText[] = "Veilgate";

class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // Stops the first running process whose executable name contains `text`,
    // case-sensitively; false when there is none or it could not be stopped.
    virtual bool StopFirstProcessNamed(const std::string& text) = 0;
    // Whether a process whose executable name contains `text` runs, the
    // process `except` left out (0: none left out).
    virtual bool IsProcessNamedRunning(const std::string& text, uint32_t except) = 0;
    // Returns once process `id` has ended or its crash filter has asked for
    // the restore now (browsing_mark.h), or at once when it cannot be
    // watched (it has ended already, or there never was one).
    virtual void WaitForEnd(uint32_t id) = 0;
    // Keeps every other quiet restore and Veilgate's start-up waiting until
    // the run ends.
    virtual void HoldRestoreLock() = 0;
};

class BrowserRestores {
public:
    virtual ~BrowserRestores() = default;
    // Every connection given back the options the user had (or, without a
    // record of them, Windows' default); false when that could not even be
    // attempted, which ends the run.
    virtual bool ResetInternetSettings() = 0;
    virtual void RestoreOperaInstallationIni() = 0;
    virtual void RestoreOperaProfileIni() = 0;
    virtual void RestoreOperaInstallationDefaults() = 0;
    virtual void RestoreMozilla() = 0;
    virtual void RestoreFirefox() = 0;
    // Veilgate's mark that browsing is on (browsers/browsing_mark.h).
    virtual bool IsBrowsingMarkedOn() = 0;
    virtual void ForgetBrowsingMark() = 0;
    // Whether the last RestoreFirefox found Firefox running on a profile it
    // put back: that profile's user.js then holds the user's values and its
    // record stays, for a restore made once Firefox is closed.
    virtual bool FirefoxRestoreUnfinished() { return false; }
};

class PollQuestion {
public:
    virtual ~PollQuestion() = default;
    // Asks the user to take part in the poll (and opens it on "Yes").
    virtual void Ask() = 0;
};

// Gatereset's one switch, for the uninstaller: "Gatereset /restoreonly" puts
// the browsers back and does nothing else. It stops no process, since the
// caller has ended Veilgate through its window already and a search by name
// could hit the caller itself; and it asks no poll question. Its restore is
// the quiet one: what the records hold, and what points at Veilgate, is put
// back; a setting of the user's own, with no record, is left as it is.
// It ends with FirefoxStillRunningExitCode when Firefox ran on a profile it
// put back, so that the uninstaller can ask for Firefox to be closed and
// run it again.
constexpr char RestoreOnlySwitch[] = "/restoreonly";
constexpr int FirefoxStillRunningExitCode = 3;

// Watch and Leftover are Veilgate's own quiet runs (see
// browsers/browsing_mark.h): no window, no question, no process stopped.
enum class RestoreRun { Full, BrowsersOnly, Watch, Leftover };

struct RestoreCommand {
    RestoreRun run = RestoreRun::Full;
    // The process a Watch run waits for.
    uint32_t processId = 0;
};

// The run that the command line asks for: BrowsersOnly, Leftover, or Watch
// with a process id in decimal after the switch (any case, blanks around
// allowed); Full for anything else, so that an unknown argument still
// restores everything as before.
RestoreCommand RestoreCommandFor(const std::string& commandLine);

// Full: stops the main program, resets every browser and offers the poll;
// BrowsersOnly just resets the browsers. Both forget the mark first, so
// that the watcher of a Veilgate stopped here leaves the reset to this run.
// Watch waits for its process to end, then does what Leftover does: resets
// the browsers and forgets the mark, only while the mark says browsing is on
// and no Veilgate runs. Answers the program's exit code: 0, or for
// BrowsersOnly FirefoxStillRunningExitCode (see above).
int RunRestore(ProcessControl& processes, BrowserRestores& browsers, PollQuestion& poll,
               const RestoreCommand& command = RestoreCommand());
