// The browsers' profiles in the user's own folders, reached through the wide
// file calls so that a profile named outside the ANSI code page is cleaned.
#pragma once

#include "privacy/browser_traces.h"

// %LOCALAPPDATA% and %APPDATA% of the user; false when either is missing.
bool FindUserFolders(UserFolders& folders);
BrowserOutcome CleanBrowserProfilesOfUser(const CleanChoices& choices, const StopToken& stop);
