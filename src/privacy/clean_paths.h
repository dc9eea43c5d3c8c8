// Path building for the cleaner. The system calls it makes take paths of at
// most MAX_PATH (260) characters with the terminating zero; a path that would
// not fit is refused rather than cut, because a cut path names another file.
#pragma once

#include <string>

constexpr size_t MaxPathChars = 260;

// True when `path` fits a buffer of MaxPathChars with its terminator.
bool FitsPathBuffer(const std::string& path);
// out = the folder and the name joined (base::JoinPath); false (out
// untouched) when that would not fit.
bool FittingPath(const std::string& folder, const std::string& name, std::string& out);
// out = base + suffix; false (out untouched) when that would not fit.
bool AppendPath(const std::string& base, const std::string& suffix, std::string& out);
// Case-insensitive comparison of ASCII file names ("desktop.ini", "index.dat").
bool SameFileName(const std::string& a, const std::string& b);

// What a folder directly below an Internet cache folder holds. Other programs
// keep folders there too (Office's "Content.MSO", Outlook's "Content.Outlook",
// where an attachment being edited lives); only the browser cache's own are
// ever entered.
enum class CacheFolderKind {
    BrowserCache,  // "Content.IE5", or "IE" on current systems
    LowIntegrity,  // "Low": the protected-mode cache, laid out the same way
    Other,
};
CacheFolderKind ClassifyCacheFolder(const std::string& name);
