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
