#include "browsers/mozilla_prefs_win.h"

#include <windows.h>

#include "base/files.h"
#include "base/text_compare.h"
#include "browsers/file_record.h"
#include "browsers/file_finder_win.h"
#include "browsers/prefs_text.h"
#include "browsers/profile_folders_win.h"
#include "browsers/text_file.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

struct ProfileFile {
    std::string path;
    std::string text;
};

std::vector<SavedFile> LoadRecord() {
    std::vector<SavedFile> record;
    LoadSavedFiles(SavedMozillaPrefsKey, prefs::ChangedPrefNames(), record);
    return record;
}

// What the user had in `text`. A file that already points at the local
// proxy was left so by a run that did not end in order: what that run saved
// stays, and without a record the user is taken to have had no proxy entries.
SavedFile UsersOwn(const std::vector<SavedFile>& record, const ProfileFile& file, int port) {
    if (prefs::PointsAt(file.text, port)) {
        if (const SavedFile* kept = FindSavedFile(record, file.path))
            return *kept;
        return SavedFile{file.path, prefs::SaveEntries(std::string())};
    }
    return SavedFile{file.path, prefs::SaveEntries(file.text)};
}

int LocalPort() {
    return static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
}

void Add(std::vector<std::string>* list, const std::string& path) {
    if (list)
        list->push_back(path);
}

}  // namespace

std::vector<std::string> FindPrefsFiles(const std::string& profileRoot) {
    FileFinder finder;
    finder.ClearMatches();
    finder.Scan(profileRoot, true);
    finder.Find("prefs.js", true, false);
    std::vector<std::string> paths;
    for (const FileMatch& match : finder.Matches())
        paths.push_back(match.path);
    return paths;
}

// A browser keeps several profiles side by side and any of them may be the
// one in use, so each one found is pointed at the proxy, and back.
bool EnableProxyInProfileTree(const std::string& profileRoot, int port,
                              std::vector<std::string>* unchanged) {
    if (profileRoot.empty())
        return false;
    std::vector<SavedFile> record = LoadRecord();
    std::vector<ProfileFile> files;
    bool failedAny = false;
    for (const std::string& path : FindPrefsFiles(profileRoot)) {
        ProfileFile file{path, std::string()};
        if (!base::FileExists(path))
            continue;
        if (!ReadTextFile(path, file.text)) {
            failedAny = true;
            Add(unchanged, path);
            continue;
        }
        PutSavedFile(record, UsersOwn(record, file, port));
        files.push_back(file);
    }
    // The record is in place before the first change, so that a crash from
    // here on still leaves a way back.
    if (!SaveFiles(SavedMozillaPrefsKey, record)) {
        for (const ProfileFile& file : files)
            Add(unchanged, file.path);
        return false;
    }
    bool editedAny = false;
    for (const ProfileFile& file : files) {
        if (ReplaceTextFile(file.path, prefs::EnableProxy(file.text, port))) {
            editedAny = true;
            continue;
        }
        failedAny = true;
        Add(unchanged, file.path);
        DropSavedFile(record, file.path);
    }
    if (failedAny)
        SaveFiles(SavedMozillaPrefsKey, record);
    return editedAny && !failedAny;
}

bool DisableProxyInProfileTree(const std::string& profileRoot) {
    if (profileRoot.empty())
        return false;
    std::vector<SavedFile> record = LoadRecord();
    size_t recorded = record.size();
    bool editedAny = false;
    bool failedAny = false;
    for (const std::string& path : FindPrefsFiles(profileRoot)) {
        if (!base::FileExists(path))
            continue;
        const SavedFile* saved = FindSavedFile(record, path);
        std::string text;
        bool ok = ReadTextFile(path, text) &&
                  ReplaceTextFile(path, saved ? prefs::RestoreEntries(text, saved->entries)
                                              : prefs::DisableProxy(text));
        if (ok && saved)
            DropSavedFile(record, path);
        editedAny = editedAny || ok;
        failedAny = failedAny || !ok;
    }
    // A profile removed since it was saved has nothing left to put back.
    for (size_t i = record.size(); i-- > 0;) {
        if (base::StartsWithIgnoringCase(record[i].path, profileRoot) &&
            !base::FileExists(record[i].path))
            record.erase(record.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (record.size() != recorded)
        SaveFiles(SavedMozillaPrefsKey, record);
    return editedAny && !failedAny;
}

void SetMozillaProxy(std::vector<std::string>* unchanged) {
    EnableProxyInProfileTree(MozillaProfileRoot(), LocalPort(), unchanged);
}

void DisableMozillaProxy() {
    DisableProxyInProfileTree(MozillaProfileRoot());
}

void SetFirefoxProxy(std::vector<std::string>* unchanged) {
    EnableProxyInProfileTree(FirefoxProfileRoot(), LocalPort(), unchanged);
}

void DisableFirefoxProxy() {
    DisableProxyInProfileTree(FirefoxProfileRoot());
}
