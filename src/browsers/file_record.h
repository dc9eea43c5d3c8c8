// The user's own values of the entries that enabling changes in a browser's
// files (prefs.js, Opera's ini files), as they were before Veilgate first
// changed each file, kept under the user's own key so that they outlive a
// crash and Gatereset can put them back.
#pragma once

#include <string>
#include <vector>

#include "settings/settings_backend.h"

// What a restore does to a file that it holds no saved entries of: Gatereset
// resets it; Veilgate changes it only when it points at the local proxy, as a
// file the user set up themselves was never Veilgate's to change.
enum class WithoutRecord { Reset, OnlyWhenPointedAtEngine };

// One entry as the user had it; `present` false when the file had none.
struct SavedEntry {
    std::string name;
    bool present = false;
    std::string value;
};

bool operator==(const SavedEntry& a, const SavedEntry& b);

struct SavedFile {
    std::string path;
    std::vector<SavedEntry> entries;
};

// Below HKEY_CURRENT_USER, beside the record of the connections.
constexpr char SavedMozillaPrefsKey[] = "Software\\Veilgate\\SavedMozillaPrefs";
// The user.js files beside the Mozilla family's prefs.js files.
constexpr char SavedMozillaUserJsKey[] = "Software\\Veilgate\\SavedMozillaUserJs";
constexpr char SavedOperaIniKey[] = "Software\\Veilgate\\SavedOperaIni";

// The record under `key`, each file's entries read for `names`; empty, and
// false, when there is no complete record.
bool LoadSavedFiles(const std::string& key, const std::vector<std::string>& names,
                    std::vector<SavedFile>& files,
                    SettingsBackend& backend = DefaultSettingsBackend());
// Replaces the record; an empty list leaves none.
bool SaveFiles(const std::string& key, const std::vector<SavedFile>& files,
               SettingsBackend& backend = DefaultSettingsBackend());

// The saved file of `path` (compared without regard to case, as Windows
// compares paths), or nullptr.
const SavedFile* FindSavedFile(const std::vector<SavedFile>& files, const std::string& path);
// Replaces or adds the saved file of `file.path`.
void PutSavedFile(std::vector<SavedFile>& files, const SavedFile& file);
void DropSavedFile(std::vector<SavedFile>& files, const std::string& path);
