// The file routines that every file the program writes goes through. Files
// are read whole and replaced whole: the new content goes to a temporary file
// in the same folder, is forced to the disk, and only then moved over the old
// one, so a failed or interrupted write never leaves a truncated file.
#pragma once

#include <cstddef>
#include <string>

namespace base {

// The whole file, byte for byte; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// The same for a file that is to hold at most `maxBytes`: read a piece at a
// time and given up on once longer, so that a huge file is never held whole.
// False, with `tooLarge` set, for such a file.
bool ReadFileUpTo(const std::string& path, size_t maxBytes, std::string& bytes, bool& tooLarge);
// Puts `bytes` in place of the file at `path` as described above. A file
// marked read-only is refused, as writing it in place would be. On failure
// the old file is untouched and `error` (when given) names the file.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes,
                      std::string* error = nullptr);
// Adds the bytes at the end of the file, creating it when missing.
bool AppendToFile(const std::string& path, const std::string& bytes);

// Makes the folder (not its parents) unless it is there already; true when
// it exists afterwards.
bool EnsureFolder(const std::string& path);

// True when `path` names a file (not a folder) that exists.
bool FileExists(const std::string& path);

// True when the file's owner is the administrators, the system or the
// current user itself: an account that another user cannot act as. A file
// that any user could have made in a shared folder, owned by that user, is
// not to be taken as the machine's.
bool IsOwnedByTrustedAccount(const std::string& path);

// A folder and a file name joined by one separator (none is added when the
// folder is empty or already ends with one): "/" for a folder written with
// "/" only, otherwise "\".
std::string JoinPath(const std::string& folder, const std::string& fileName);
// The full path of the running program's file; empty when it is unknown.
std::string ProgramPath();
// The folder of the running program, ending with a path separator.
std::string ProgramFolder();
// The folder where programs keep data that every user of the machine shares
// (CSIDL_COMMON_APPDATA on Windows); empty when there is none.
std::string CommonAppDataFolder();
// The current user's own folder for a program's data on this machine
// (CSIDL_LOCAL_APPDATA on Windows); empty when there is none.
std::string LocalAppDataFolder();

// Platform halves of ReplaceWholeFile, public for their tests.
bool FlushFileToDisk(const std::string& path);
bool MoveFileReplacing(const std::string& from, const std::string& to);
bool IsReadOnlyFile(const std::string& path);

}  // namespace base
