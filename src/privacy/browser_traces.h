// The traces that Edge, Chrome and Firefox keep in their profiles, cleared by
// the same choices as Internet Explorer's. Only named files and folders of a
// profile are touched, and a browser that is running is left alone: it holds
// its files open and would write them back.
#pragma once

#include <string>
#include <vector>

#include "privacy/clean_pass.h"
#include "privacy/stop_token.h"

enum class Browser { Edge, Chrome, Firefox };

struct ProfileEntry {
    std::string name;
    bool isFolder = false;
    // A junction or symbolic link: removed itself, never followed.
    bool isLink = false;
};

// The file system as the cleaner sees it; paths are UTF-8, so that a profile
// named outside the ANSI code page is reached too.
class ProfileFiles {
public:
    virtual ~ProfileFiles() = default;
    // The entries directly in `folder`; empty when it cannot be listed.
    virtual std::vector<ProfileEntry> List(const std::string& folder) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // True when a running program holds the file open against writers.
    virtual bool IsHeld(const std::string& path) = 0;
    virtual void RemoveFile(const std::string& path) = 0;
    virtual void RemoveFolder(const std::string& path) = 0;
};

struct UserFolders {
    std::string localAppData;    // %LOCALAPPDATA%
    std::string roamingAppData;  // %APPDATA%
};

struct BrowserOutcome {
    std::vector<Browser> cleared;
    std::vector<Browser> skipped;  // running, so left as they were
    // Firefox profiles (folder names) in use and left as they were.
    std::vector<std::string> firefoxProfilesInUse;
};

// Edge and Chrome hold their profiles' lock while they run in the
// background with no window open (Edge's Startup boost and both browsers'
// background apps, on by default): the files are really in use then, so
// the lock stays the test, and the user is told where to stop it. Ending
// their background processes instead could lose what their extensions
// were writing, and the cleaner often runs with nobody there to ask.
namespace browser_traces {
constexpr char EdgeInBackground[] =
    " Edge may be running in the background with no window open: to stop that, turn off "
    "\"Startup boost\" and \"Continue running background extensions and apps when Microsoft "
    "Edge is closed\" in Edge's Settings, under System and performance.";
constexpr char ChromeInBackground[] =
    " Chrome may be running in the background with no window open: to stop that, turn off "
    "\"Continue running background apps when Google Chrome is closed\" in Chrome's Settings, "
    "under System.";
}  // namespace browser_traces

// Clears the chosen traces from every profile found in the standard folders.
BrowserOutcome CleanBrowserProfiles(const CleanChoices& choices, const UserFolders& folders,
                                    ProfileFiles& files, const StopToken& stop);

const char* BrowserName(Browser browser);
// "Cleared Internet Explorer, Chrome and Firefox. Edge is running and was
// skipped: close it and apply again."
std::string DescribeCleaning(bool internetExplorer, const BrowserOutcome& outcome);
