// Gatereset's start routine as a sequence of calls over three small
// interfaces, so that the whole run can be exercised without a person
// answering the poll.
#pragma once

#include <string>

// The text by which the main program is recognised among running processes.
constexpr char MainProgramNameText[] = "Veilgate";

class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // Stops the first running process whose executable name contains `text`,
    // case-sensitively; false when there is none or it could not be stopped.
    virtual bool StopFirstProcessNamed(const std::string& text) = 0;
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
// could hit the caller itself; and it asks no poll question.
constexpr char RestoreOnlySwitch[] = "/restoreonly";

enum class RestoreRun { Full, BrowsersOnly };

// The run that the command line asks for: BrowsersOnly for the switch (in
// any case, blanks around it allowed), Full for anything else, so that an
// unknown argument still restores everything as before.
RestoreRun RestoreRunFor(const std::string& commandLine);

// Stops the main program, resets every browser and offers the poll (a
// BrowsersOnly run just resets the browsers); answers the program's exit
// code, always 0.
int RunRestore(ProcessControl& processes, BrowserRestores& browsers, PollQuestion& poll,
               RestoreRun run = RestoreRun::Full);
