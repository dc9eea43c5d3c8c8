// Finds files by name in a folder and, on request, in every folder below it.
// The folders are searched deepest first: each folder after all of its own
// subfolders, siblings in the order the file system lists them, the root last.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileMatch {
    std::string path;  // folder + "\" + name
    bool isFolder = false;
    uint32_t attributes = 0;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;  // not filled in
    uint64_t lastWriteTime = 0;
    uint64_t size = 0;
};

class FileFinder {
public:
    FileFinder() = default;
    virtual ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    void ClearMatches();
    // Sets the root and lists the folders to search; answers true.
    bool Scan(const std::string& root, bool includeSubfolders);
    // Appends the entries matching `pattern` (a plain name or one with
    // wildcards) in every listed folder; false when listing a folder failed
    // for another reason than there being nothing to list.
    bool Find(const std::string& pattern, bool takeFiles, bool takeFolders);

    const std::string& Root() const { return root_; }
    const std::vector<std::string>& Folders() const { return folders_; }
    const std::vector<FileMatch>& Matches() const { return matches_; }

private:
    void CollectSubfolders(const std::string& folder);
    bool FindInFolder(const std::string& folder, const std::string& pattern, bool takeFiles,
                      bool takeFolders);

    std::string root_;
    std::vector<std::string> folders_;
    std::vector<FileMatch> matches_;
};
