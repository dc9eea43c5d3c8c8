#include "browsers/file_finder_win.h"

#include <windows.h>

#include <cstring>

#include "base/scoped_win.h"
#include "browsers/folder_path.h"

namespace {

bool IsDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

uint64_t ToUint64(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Listing a folder that does not exist, or that holds nothing matching, is
// not an error: there is simply nothing found there.
bool IsNothingToList(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES;
}

}  // namespace

FileFinder::~FileFinder() {
    matches_.clear();
    folders_.clear();
    root_.clear();
}

void FileFinder::ClearMatches() {
    matches_.clear();
}

bool FileFinder::Scan(const std::string& root, bool includeSubfolders) {
    root_ = NormaliseFolder(root);
    folders_.clear();
    if (includeSubfolders)
        CollectSubfolders(root_);
    folders_.push_back(root_);
    return true;
}

void FileFinder::CollectSubfolders(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    base::ScopedFindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
    if (!find)
        return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(entry.cFileName))
            continue;
        // Links are not followed: they lead out of the tree, or round in it.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        std::string subfolder = folder + "\\" + entry.cFileName;
        CollectSubfolders(subfolder);
        folders_.push_back(subfolder);
    } while (FindNextFileA(find.Get(), &entry));
}

bool FileFinder::Find(const std::string& pattern, bool takeFiles, bool takeFolders) {
    bool ok = true;
    for (const std::string& folder : folders_) {
        if (folder.empty())
            continue;
        if (!FindInFolder(NormaliseFolder(folder), pattern, takeFiles, takeFolders))
            ok = false;
    }
    return ok;
}

bool FileFinder::FindInFolder(const std::string& folder, const std::string& pattern, bool takeFiles,
                              bool takeFolders) {
    WIN32_FIND_DATAA entry;
    base::ScopedFindHandle find(FindFirstFileA((folder + "\\" + pattern).c_str(), &entry));
    if (!find)
        return IsNothingToList(GetLastError());
    do {
        if (IsDotEntry(entry.cFileName))
            continue;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder ? !takeFolders : !takeFiles)
            continue;
        FileMatch match;
        match.path = folder + "\\" + entry.cFileName;
        match.isFolder = isFolder;
        match.attributes = entry.dwFileAttributes;
        match.creationTime = ToUint64(entry.ftCreationTime);
        match.lastWriteTime = ToUint64(entry.ftLastWriteTime);
        match.size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        matches_.push_back(match);
    } while (FindNextFileA(find.Get(), &entry));
    return IsNothingToList(GetLastError());
}
