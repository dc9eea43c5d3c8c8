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
// The names of the entries of `folder`, in the order the file system lists
// them ("." and ".." left out).
std::vector<std::string> ListNames(const std::string& folder);

// A fresh, empty folder below the temporary folder, deleted with its content.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The product's settings that these tests change, put back afterwards.
void ClearBrowserSettings();
void SetProductDword(const char* name, DWORD value);
DWORD ReadDword(HKEY root, const std::string& key, const char* name, DWORD missing);
void DeleteValue(HKEY root, const std::string& key, const char* name);

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
