#include "browsers/mozilla_prefs_win.h"

#include <windows.h>

#include "base/files.h"
#include "base/scoped_win.h"
#include "base/text_compare.h"
#include "browsers/engine_ports.h"
#include "browsers/file_finder_win.h"
#include "browsers/file_record.h"
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

constexpr char UserJsName[] = "user.js";
// The entry of a user.js record that is there when the user had the file.
constexpr char UserJsExisted[] = ":existed";

std::vector<SavedFile> LoadRecord() {
    std::vector<SavedFile> record;
    LoadSavedFiles(SavedMozillaPrefsKey, prefs::ChangedPrefNames(), record);
    return record;
}

std::vector<std::string> UserJsRecordNames() {
    std::vector<std::string> names = prefs::ChangedPrefNames();
    names.push_back(UserJsExisted);
    return names;
}

std::vector<SavedFile> LoadUserJsRecord() {
    std::vector<SavedFile> record;
    LoadSavedFiles(SavedMozillaUserJsKey, UserJsRecordNames(), record);
    return record;
}

std::string FolderOf(const std::string& path) {
    size_t end = path.find_last_of('\\');
    return end == std::string::npos ? std::string() : path.substr(0, end);
}

std::string UserJsBeside(const std::string& prefsPath) {
    return FolderOf(prefsPath) + "\\" + UserJsName;
}

bool UserHadFile(const SavedFile& userJs) {
    return !userJs.entries.empty() && userJs.entries.back().present;
}

// The record's preference entries, without the one that says the file was
// there.
std::vector<SavedEntry> PrefEntries(const SavedFile& userJs) {
    std::vector<SavedEntry> entries = userJs.entries;
    if (!entries.empty() && entries.back().name == UserJsExisted)
        entries.pop_back();
    return entries;
}

// The browser holds "parent.lock" in the profile open, unshared, for as long
// as it runs on it, and the file goes when it ends. Unlike a search of the
// process list, this finds the browser under any program name and tells
// which of the profiles it runs on.
bool ProfileInUse(const std::string& folder) {
    std::string lock = folder + "\\parent.lock";
    HANDLE opened = CreateFileA(lock.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = GetLastError();
    base::ScopedHandle file(opened);
    return !file.IsValid() && error == ERROR_SHARING_VIOLATION;
}

// What the user had in `text`. A record already made is kept whatever the
// file says now: only it knows what the user had before an earlier run (on
// this port or another) pointed the file at the engine. A file that points at
// the engine without one was left so by a run that did not end in order: the
// user is taken to have had no proxy entries.
SavedFile UsersOwn(const std::vector<SavedFile>& record, const ProfileFile& file,
                   const std::vector<int>& ports) {
    if (const SavedFile* kept = FindSavedFile(record, file.path))
        return *kept;
    if (prefs::PointsAt(file.text, ports))
        return SavedFile{file.path, prefs::SaveEntries(std::string())};
    return SavedFile{file.path, prefs::SaveEntries(file.text)};
}

int LocalPort() {
    return static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
}

void Add(std::vector<std::string>* list, const std::string& path) {
    if (list)
        list->push_back(path);
}

void Mark(bool* flag, bool value) {
    if (flag && value)
        *flag = true;
}

// The user's own user.js beside a prefs.js, as saved before the first change:
// a record already made is kept (it may hold the values of a restore made
// while the browser ran), and a file that points at the engine without one is
// a leftover, taken as the user's own file without proxy entries.
SavedFile UsersOwnUserJs(const std::vector<SavedFile>& record, const std::string& path,
                         bool existed, const std::string& text, const std::vector<int>& ports) {
    if (const SavedFile* kept = FindSavedFile(record, path))
        return *kept;
    bool leftover = prefs::PointsAt(text, ports);
    SavedFile saved{path, prefs::SaveEntries(leftover ? std::string() : text)};
    saved.entries.push_back(SavedEntry{UserJsExisted, existed || leftover, std::string()});
    return saved;
}

// Puts a user.js back as the user had it, or removes the one that enabling
// made. While the browser runs on the profile it would write the engine's
// entries from memory into prefs.js when it ends, so the file then says the
// user's own values, and the record stays for the next restore.
// `done` when the record is no longer needed, `changed` when the file was.
bool RestoreUserJs(const SavedFile& saved, const SavedFile* savedPrefs, bool inUse, bool& done,
                   bool& changed) {
    done = false;
    changed = false;
    std::string text;
    if (!base::FileExists(saved.path)) {
        done = true;
        return true;
    }
    if (!ReadTextFile(saved.path, text))
        return false;
    if (inUse) {
        std::vector<SavedEntry> held = prefs::HeldEntries(
            PrefEntries(saved), savedPrefs ? savedPrefs->entries : std::vector<SavedEntry>());
        std::string holding = prefs::RestoreEntries(text, held);
        changed = holding != text;
        return !changed || ReplaceTextFile(saved.path, holding);
    }
    std::string restored = prefs::RestoreEntries(text, PrefEntries(saved));
    bool ok = true;
    if (!UserHadFile(saved) && restored.empty())
        ok = DeleteFileA(saved.path.c_str()) != 0;
    else if (restored != text)
        ok = ReplaceTextFile(saved.path, restored);
    done = ok;
    return ok;
}

}  // namespace

// A profile is a folder directly in the profile tree, and its prefs.js lies
// at its own root. The folders inside a profile (storage, cache2, the
// extensions' own) can hold thousands of files and no prefs.js of the
// browser's, so they are never entered; nor are links.
std::vector<std::string> FindPrefsFiles(const std::string& profileRoot) {
    FileFinder profiles;
    profiles.Scan(profileRoot, false);
    profiles.Find("*", false, true);
    std::vector<std::string> paths;
    auto addPrefsIn = [&paths](const std::string& folder) {
        FileFinder prefs;
        prefs.Scan(folder, false);
        prefs.Find("prefs.js", true, false);
        for (const FileMatch& match : prefs.Matches())
            paths.push_back(match.path);
    };
    for (const FileMatch& profile : profiles.Matches()) {
        if (!(profile.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            addPrefsIn(profile.path);
    }
    addPrefsIn(profileRoot);
    return paths;
}

// A browser keeps several profiles side by side and any of them may be the
// one in use, so each one found is pointed at the proxy, and back. Beside
// prefs.js, which a running browser overwrites from memory when it ends,
// user.js says the same: the browser reads it at each start and never writes
// it.
bool EnableProxyInProfileTree(const std::string& profileRoot, int port,
                              std::vector<std::string>* unchanged, bool* profileInUse) {
    if (profileRoot.empty())
        return false;
    RememberEnginePort(port);
    std::vector<int> ports = EnginePortsWith(port);
    std::vector<SavedFile> record = LoadRecord();
    std::vector<SavedFile> userJsRecord = LoadUserJsRecord();
    std::vector<ProfileFile> files;
    std::vector<ProfileFile> userJsFiles;
    bool failedAny = false;
    for (const std::string& path : FindPrefsFiles(profileRoot)) {
        ProfileFile file{path, std::string()};
        if (!base::FileExists(path))
            continue;
        ProfileFile userJs{UserJsBeside(path), std::string()};
        bool userJsExisted = base::FileExists(userJs.path);
        if (!ReadTextFile(path, file.text) ||
            (userJsExisted && !ReadTextFile(userJs.path, userJs.text))) {
            failedAny = true;
            Add(unchanged, path);
            continue;
        }
        PutSavedFile(record, UsersOwn(record, file, ports));
        PutSavedFile(userJsRecord,
                     UsersOwnUserJs(userJsRecord, userJs.path, userJsExisted, userJs.text, ports));
        files.push_back(file);
        userJsFiles.push_back(userJs);
    }
    // The record is in place before the first change, so that a crash from
    // here on still leaves a way back.
    if (!SaveFiles(SavedMozillaPrefsKey, record) ||
        !SaveFiles(SavedMozillaUserJsKey, userJsRecord)) {
        for (const ProfileFile& file : files)
            Add(unchanged, file.path);
        return false;
    }
    bool editedAny = false;
    for (size_t i = 0; i < files.size(); ++i) {
        const ProfileFile& file = files[i];
        const ProfileFile& userJs = userJsFiles[i];
        std::string enabled = prefs::EnableProxy(file.text, port);
        std::string userJsEnabled = prefs::EnableProxy(userJs.text, port);
        bool prefsDone = ReplaceTextFile(file.path, enabled);
        if (prefsDone && ReplaceTextFile(userJs.path, userJsEnabled)) {
            editedAny = true;
            // A profile already on the engine has no change to take.
            Mark(profileInUse, (enabled != file.text || userJsEnabled != userJs.text) &&
                                   ProfileInUse(FolderOf(file.path)));
            continue;
        }
        // A profile is changed whole or not at all. The record of its
        // unchanged user.js stays: restoring from it changes nothing.
        failedAny = true;
        Add(unchanged, file.path);
        if (!prefsDone || ReplaceTextFile(file.path, file.text))
            DropSavedFile(record, file.path);
    }
    if (failedAny)
        SaveFiles(SavedMozillaPrefsKey, record);
    return editedAny && !failedAny;
}

bool DisableProxyInProfileTree(const std::string& profileRoot, bool* profileInUse, int enginePort) {
    if (profileRoot.empty())
        return false;
    std::vector<int> ports = EnginePortsWith(enginePort);
    std::vector<SavedFile> record = LoadRecord();
    std::vector<SavedFile> userJsRecord = LoadUserJsRecord();
    size_t recorded = record.size();
    size_t userJsRecorded = userJsRecord.size();
    bool editedAny = false;
    bool failedAny = false;
    for (const std::string& path : FindPrefsFiles(profileRoot)) {
        if (!base::FileExists(path))
            continue;
        const SavedFile* saved = FindSavedFile(record, path);
        bool inUse = ProfileInUse(FolderOf(path));
        bool ok = true;
        bool userJsChanged = false;
        if (const SavedFile* savedUserJs = FindSavedFile(userJsRecord, UserJsBeside(path))) {
            bool done = false;
            ok = RestoreUserJs(*savedUserJs, saved, inUse, done, userJsChanged);
            if (done)
                DropSavedFile(userJsRecord, UserJsBeside(path));
        }
        // Only a profile that was pointed at the engine has a change to take.
        Mark(profileInUse, inUse && (saved || userJsChanged));
        std::string text;
        ok = ok && ReadTextFile(path, text);
        if (ok && !saved && enginePort != 0 && !prefs::PointsAt(text, ports))
            continue;
        ok = ok && ReplaceTextFile(path, saved ? prefs::RestoreEntries(text, saved->entries)
                                               : prefs::DisableProxy(text));
        if (ok && saved)
            DropSavedFile(record, path);
        editedAny = editedAny || ok;
        failedAny = failedAny || !ok;
    }
    // A profile removed since it was saved has nothing left to put back.
    for (std::vector<SavedFile>* files : {&record, &userJsRecord}) {
        for (size_t i = files->size(); i-- > 0;) {
            const std::string& saved = (*files)[i].path;
            if (base::StartsWithIgnoringCase(saved, profileRoot) &&
                !base::FileExists(FolderOf(saved) + "\\prefs.js"))
                files->erase(files->begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    if (record.size() != recorded)
        SaveFiles(SavedMozillaPrefsKey, record);
    if (userJsRecord.size() != userJsRecorded)
        SaveFiles(SavedMozillaUserJsKey, userJsRecord);
    return editedAny && !failedAny;
}

void SetMozillaProxy(std::vector<std::string>* unchanged) {
    EnableProxyInProfileTree(MozillaProfileRoot(), LocalPort(), unchanged);
}

namespace {

int EnginePortFor(WithoutRecord withoutRecord) {
    return withoutRecord == WithoutRecord::Reset ? 0 : LocalPort();
}

}  // namespace

void DisableMozillaProxy(WithoutRecord withoutRecord) {
    DisableProxyInProfileTree(MozillaProfileRoot(), nullptr, EnginePortFor(withoutRecord));
}

void SetFirefoxProxy(std::vector<std::string>* unchanged, bool* running) {
    EnableProxyInProfileTree(FirefoxProfileRoot(), LocalPort(), unchanged, running);
}

void DisableFirefoxProxy(bool* running, WithoutRecord withoutRecord) {
    DisableProxyInProfileTree(FirefoxProfileRoot(), running, EnginePortFor(withoutRecord));
}

bool IsProfileInUse(const std::string& folder) {
    return ProfileInUse(folder);
}
