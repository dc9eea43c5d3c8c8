// Files, folders and settings for the browser tests, all inside the Wine
// test prefix.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

std::string ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
bool MakeFolders(const std::string& path);
void DeleteTree(const std::string& path);
bool Exists(const std::string& path);
// A prefs.js holding `bytes` in `folder` below `root` (which ends in a
// separator), made with the folders on its way; its path.
std::string MakePrefs(const std::string& root, const std::string& folder, const std::string& bytes);
// The names of the entries of `folder`, in the order the file system lists
// them ("." and ".." left out).
std::vector<std::string> ListNames(const std::string& folder);

// Removes the product's settings that these tests change, and the records
// of the browsers' own entries.
void ClearBrowserSettings();

// The LAN's proxy settings as the system reports them through WinINet's own
// query, past the program's code.
struct PerConnectionState {
    DWORD flags = 0;
    std::string server;
    std::string bypass;
};
bool QueryLanSettings(PerConnectionState& state);
// Just the flags (PROXY_TYPE_...), 0 when the query fails.
DWORD LanFlags();
// The LAN's switch and server as a user would have set them, past our code.
bool SetLanDirectly(DWORD flags, const char* server);

}  // namespace testing_support
