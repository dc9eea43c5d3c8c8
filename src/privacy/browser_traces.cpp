#include "privacy/browser_traces.h"

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
// history, so only these go; bookmarks never do.
const Trace ChromiumTraces[] = {
    {CleanTask::History, "History", false},
    {CleanTask::History, "History-journal", false},
    {CleanTask::TemporaryFiles, "Cache", true},
    {CleanTask::TemporaryFiles, "Code Cache", true},
    {CleanTask::TemporaryFiles, "GPUCache", true},
    {CleanTask::Cookies, "Network\\Cookies", false},
    {CleanTask::Cookies, "Network\\Cookies-journal", false},
    {CleanTask::Cookies, "Cookies", false},
    {CleanTask::Cookies, "Cookies-journal", false},
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
    return cleared ? Result::Cleared : Result::NothingFound;
}

Result CleanFirefox(const UserFolders& folders, Sweeper& sweeper, ProfileFiles& files) {
    const std::string roaming = Join(folders.roamingAppData, "Mozilla\\Firefox\\Profiles");
    const std::string local = Join(folders.localAppData, "Mozilla\\Firefox\\Profiles");
    bool cleared = false, skipped = false;
    for (const std::string& name : ProfileFolders(files, roaming)) {
        const std::string profile = Join(roaming, name);
        if (files.IsHeld(Join(profile, "parent.lock"))) {
            skipped = true;
            continue;
        }
        cleared = sweeper.Clean(profile, FirefoxTraces) || cleared;
        cleared = sweeper.Clean(Join(local, name), FirefoxLocalTraces) || cleared;
    }
    if (skipped)
        return Result::Skipped;
    return cleared ? Result::Cleared : Result::NothingFound;
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
    Record(CleanFirefox(folders, sweeper, files), Browser::Firefox, outcome);
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
    return text;
}
