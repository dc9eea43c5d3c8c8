#include "privacy/browser_traces.h"

#include <algorithm>

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

bool Chosen(const CleanChoices& choices, CleanTask task) {
    return choices[static_cast<size_t>(task)];
}

struct Trace {
    CleanTask task;
    const char* path;
    bool isFolder;  // its contents go, the folder stays
};

// Chromium keeps autofill with the saved cards and typed addresses in its
// history, so only these go; bookmarks never do. "Shortcuts" holds what was
// typed into the address bar, "Visited Links" the colouring of links
// already followed, "Top Sites" the new tab page's most visited. The Dawn
// caches are the WebGPU and Graphite shader caches: "DawnCache" until
// 2023, then "DawnWebGPUCache" and "DawnGraphiteCache".
const Trace ChromiumTraces[] = {
    {CleanTask::History, "History", false},
    {CleanTask::History, "History-journal", false},
    {CleanTask::History, "Visited Links", false},
    {CleanTask::History, "Top Sites", false},
    {CleanTask::History, "Top Sites-journal", false},
    {CleanTask::History, "Shortcuts", false},
    {CleanTask::History, "Shortcuts-journal", false},
    {CleanTask::TemporaryFiles, "Cache", true},
    {CleanTask::TemporaryFiles, "Code Cache", true},
    {CleanTask::TemporaryFiles, "GPUCache", true},
    {CleanTask::TemporaryFiles, "DawnCache", true},
    {CleanTask::TemporaryFiles, "DawnWebGPUCache", true},
    {CleanTask::TemporaryFiles, "DawnGraphiteCache", true},
    {CleanTask::Cookies, "Network\\Cookies", false},
    {CleanTask::Cookies, "Network\\Cookies-journal", false},
    {CleanTask::Cookies, "Cookies", false},
    {CleanTask::Cookies, "Cookies-journal", false},
};

// In User Data itself, shared by the browser's profiles: the shaders that
// pages' drawing compiled.
const Trace ChromiumBrowserTraces[] = {
    {CleanTask::TemporaryFiles, "GrShaderCache", true},
    {CleanTask::TemporaryFiles, "GraphiteDawnCache", true},
    {CleanTask::TemporaryFiles, "ShaderCache", true},
};

// Firefox's history shares places.sqlite with the bookmarks, so it is not
// among them.
const Trace FirefoxTraces[] = {
    {CleanTask::Cookies, "cookies.sqlite", false},
    {CleanTask::Cookies, "cookies.sqlite-journal", false},
    {CleanTask::Cookies, "cookies.sqlite-wal", false},
    {CleanTask::Cookies, "cookies.sqlite-shm", false},
    {CleanTask::ProtectedStorage, "formhistory.sqlite", false},
    {CleanTask::ProtectedStorage, "formhistory.sqlite-journal", false},
    {CleanTask::ProtectedStorage, "formhistory.sqlite-wal", false},
    {CleanTask::ProtectedStorage, "formhistory.sqlite-shm", false},
};
// In the profile's local folder.
const Trace FirefoxLocalTraces[] = {
    {CleanTask::TemporaryFiles, "cache2", true},
};

class Sweeper {
public:
    Sweeper(const CleanChoices& choices, ProfileFiles& files, const StopToken& stop)
        : choices_(choices), files_(files), stop_(stop) {}

    // True when any trace of the table was chosen.
    template <size_t N>
    bool Clean(const std::string& profile, const Trace (&traces)[N]) {
        bool any = false;
        for (const Trace& trace : traces) {
            if (stop_.StopRequested() || !Chosen(choices_, trace.task))
                continue;
            any = true;
            const std::string path = Join(profile, trace.path);
            if (trace.isFolder)
                EmptyFolder(path);
            else if (files_.Exists(path))
                files_.RemoveFile(path);
        }
        return any;
    }

private:
    void EmptyFolder(const std::string& folder) {
        for (const ProfileEntry& entry : files_.List(folder)) {
            if (stop_.StopRequested())
                return;
            const std::string path = Join(folder, entry.name);
            if (entry.isFolder) {
                if (!entry.isLink)
                    EmptyFolder(path);
                files_.RemoveFolder(path);
            } else {
                files_.RemoveFile(path);
            }
        }
    }

    const CleanChoices& choices_;
    ProfileFiles& files_;
    const StopToken& stop_;
};

std::vector<std::string> ProfileFolders(ProfileFiles& files, const std::string& root) {
    std::vector<std::string> folders;
    for (const ProfileEntry& entry : files.List(root)) {
        if (entry.isFolder && !entry.isLink)
            folders.push_back(entry.name);
    }
    return folders;
}

enum class Result { NothingFound, Cleared, Skipped };

Result CleanChromium(const std::string& userData, Sweeper& sweeper, ProfileFiles& files) {
    if (files.IsHeld(Join(userData, "lockfile")))
        return Result::Skipped;
    bool cleared = false;
    for (const std::string& name : ProfileFolders(files, userData)) {
        const std::string profile = Join(userData, name);
        // Every profile holds its "Preferences"; the other folders of User
        // Data belong to the browser as a whole.
        if (files.Exists(Join(profile, "Preferences")))
            cleared = sweeper.Clean(profile, ChromiumTraces) || cleared;
    }
    if (cleared)
        sweeper.Clean(userData, ChromiumBrowserTraces);
    return cleared ? Result::Cleared : Result::NothingFound;
}

// A profile in use is left alone and named in `inUse`; Firefox counts as
// skipped only when no other profile was cleaned.
Result CleanFirefox(const UserFolders& folders, Sweeper& sweeper, ProfileFiles& files,
                    std::vector<std::string>& inUse) {
    const std::string roaming = Join(folders.roamingAppData, "Mozilla\\Firefox\\Profiles");
    const std::string local = Join(folders.localAppData, "Mozilla\\Firefox\\Profiles");
    bool cleared = false, skipped = false;
    for (const std::string& name : ProfileFolders(files, roaming)) {
        const std::string profile = Join(roaming, name);
        if (files.IsHeld(Join(profile, "parent.lock"))) {
            skipped = true;
            inUse.push_back(name);
            continue;
        }
        cleared = sweeper.Clean(profile, FirefoxTraces) || cleared;
        cleared = sweeper.Clean(Join(local, name), FirefoxLocalTraces) || cleared;
    }
    if (cleared)
        return Result::Cleared;
    return skipped ? Result::Skipped : Result::NothingFound;
}

void Record(Result result, Browser browser, BrowserOutcome& outcome) {
    if (result == Result::Cleared)
        outcome.cleared.push_back(browser);
    else if (result == Result::Skipped)
        outcome.skipped.push_back(browser);
}

std::string NameList(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

}  // namespace

BrowserOutcome CleanBrowserProfiles(const CleanChoices& choices, const UserFolders& folders,
                                    ProfileFiles& files, const StopToken& stop) {
    Sweeper sweeper(choices, files, stop);
    BrowserOutcome outcome;
    Record(CleanChromium(Join(folders.localAppData, "Microsoft\\Edge\\User Data"), sweeper, files),
           Browser::Edge, outcome);
    Record(CleanChromium(Join(folders.localAppData, "Google\\Chrome\\User Data"), sweeper, files),
           Browser::Chrome, outcome);
    Record(CleanFirefox(folders, sweeper, files, outcome.firefoxProfilesInUse), Browser::Firefox,
           outcome);
    return outcome;
}

const char* BrowserName(Browser browser) {
    switch (browser) {
    case Browser::Edge:
        return "Edge";
    case Browser::Chrome:
        return "Chrome";
    case Browser::Firefox:
        break;
    }
    return "Firefox";
}

std::string DescribeCleaning(bool internetExplorer, const BrowserOutcome& outcome) {
    std::vector<std::string> cleared;
    if (internetExplorer)
        cleared.push_back("Internet Explorer");
    for (Browser browser : outcome.cleared)
        cleared.push_back(BrowserName(browser));
    std::vector<std::string> skipped;
    for (Browser browser : outcome.skipped)
        skipped.push_back(BrowserName(browser));

    std::string text;
    if (!cleared.empty())
        text = "Cleared " + NameList(cleared) + ".";
    if (!skipped.empty()) {
        if (!text.empty())
            text += " ";
        text +=
            NameList(skipped) +
            (skipped.size() == 1 ? " is running and was skipped: close it and apply again."
                                 : " are running and were skipped: close them and apply again.");
    }
    // Chromium browsers hold their files with no window open; the user is
    // told so, and where the browser's own settings stop it.
    for (Browser browser : outcome.skipped) {
        if (browser == Browser::Edge)
            text += browser_traces::EdgeInBackground;
        else if (browser == Browser::Chrome)
            text += browser_traces::ChromeInBackground;
    }
    bool firefoxCleared = std::find(outcome.cleared.begin(), outcome.cleared.end(),
                                    Browser::Firefox) != outcome.cleared.end();
    if (firefoxCleared && !outcome.firefoxProfilesInUse.empty()) {
        std::vector<std::string> quoted;
        for (const std::string& name : outcome.firefoxProfilesInUse)
            quoted.push_back("\"" + name + "\"");
        text +=
            (text.empty() ? "" : " ") +
            std::string(quoted.size() == 1 ? "The Firefox profile " : "The Firefox profiles ") +
            NameList(quoted) +
            (quoted.size() == 1 ? " is in use and was skipped" : " are in use and were skipped") +
            ": close Firefox and apply again.";
    }
    return text;
}
