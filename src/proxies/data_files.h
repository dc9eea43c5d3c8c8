// The program's data files and how they are read and written. Files are
// read whole and replaced whole through a temporary file beside them, so a
// failed write never leaves a truncated file behind.
#pragma once

#include <string>

// The whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes the bytes to a temporary file in the same folder and only then puts
// it in place of `path`. On failure the old file is untouched and `error`
// (when given) names the file.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes,
                      std::string* error = nullptr);
// Adds the bytes at the end of the file, creating it when missing.
bool AppendToFile(const std::string& path, const std::string& bytes);

// Forces a written file's data to the disk, so that a file put in place by
// a rename is never found empty after a power cut.
bool FlushFileToDisk(const std::string& path);

// Moves `from` over `to`, replacing it in one step. Platform specific.
bool MoveFileReplacing(const std::string& from, const std::string& to);
// The folder of the running program, ending with a path separator.
// Platform specific.
std::string ProgramFolder();

// A folder and a file name joined by one separator (none is added when the
// folder already ends with one).
std::string JoinPath(const std::string& folder, const std::string& fileName);
// Where the data files live: the AppPath of an installed program, otherwise
// the program's own folder (never the root of the current drive).
std::string DataFolder(const std::string& appPath, const std::string& programFolder);
// The same with the AppPath setting and the running program's folder.
std::string DataFolder();

constexpr char kMyProxiesFile[] = "MyProxies.txt";
constexpr char kProxyListCopyFile[] = "proxylist.txt";
