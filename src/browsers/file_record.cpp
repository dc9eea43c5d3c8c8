#include "browsers/file_record.h"

#include <algorithm>

#include "base/text_compare.h"

namespace {

constexpr SettingsRoot Root = SettingsRoot::CurrentUser;
// Written last, so that a record cut short by a crash counts as none.
constexpr char CountName[] = "Count";

std::string FileName(size_t index) {
    return "File" + std::to_string(index);
}

// An entry the user did not have is no value at all, so that an empty
// value the user did have stays apart from it.
std::string EntryName(size_t index, const std::string& entry) {
    return std::to_string(index) + ":" + entry;
}

}  // namespace

bool operator==(const SavedEntry& a, const SavedEntry& b) {
    return a.name == b.name && a.present == b.present && (!a.present || a.value == b.value);
}

bool LoadSavedFiles(const std::string& key, const std::vector<std::string>& names,
                    std::vector<SavedFile>& files, SettingsBackend& backend) {
    files.clear();
    uint32_t count = 0;
    if (!backend.ReadDword(Root, key, CountName, count))
        return false;
    for (size_t i = 0; i < count; ++i) {
        SavedFile file;
        if (!backend.ReadText(Root, key, FileName(i), file.path)) {
            files.clear();
            return false;
        }
        for (const std::string& name : names) {
            SavedEntry entry;
            entry.name = name;
            entry.present = backend.ReadText(Root, key, EntryName(i, name), entry.value);
            file.entries.push_back(entry);
        }
        files.push_back(file);
    }
    return true;
}

bool SaveFiles(const std::string& key, const std::vector<SavedFile>& files,
               SettingsBackend& backend) {
    if (!backend.DeleteKey(Root, key))
        return false;
    if (files.empty())
        return true;
    bool ok = true;
    for (size_t i = 0; i < files.size(); ++i) {
        ok = ok && backend.WriteText(Root, key, FileName(i), files[i].path);
        for (const SavedEntry& entry : files[i].entries) {
            if (entry.present)
                ok = ok && backend.WriteText(Root, key, EntryName(i, entry.name), entry.value);
        }
    }
    return ok && backend.WriteDword(Root, key, CountName, static_cast<uint32_t>(files.size()));
}

const SavedFile* FindSavedFile(const std::vector<SavedFile>& files, const std::string& path) {
    for (const SavedFile& file : files) {
        if (base::EqualsIgnoringCase(file.path, path))
            return &file;
    }
    return nullptr;
}

void PutSavedFile(std::vector<SavedFile>& files, const SavedFile& file) {
    DropSavedFile(files, file.path);
    files.push_back(file);
}

void DropSavedFile(std::vector<SavedFile>& files, const std::string& path) {
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&path](const SavedFile& file) {
                                   return base::EqualsIgnoringCase(file.path, path);
                               }),
                files.end());
}
