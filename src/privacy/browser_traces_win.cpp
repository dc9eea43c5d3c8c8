#include "privacy/browser_traces_win.h"

#include <windows.h>

#include <shlobj.h>

#include "base/scoped_win.h"

namespace {

std::wstring Wide(const std::string& utf8) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &text[0], length);
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}

std::string Utf8(const wchar_t* wide) {
    int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}

class WindowsProfileFiles : public ProfileFiles {
public:
    std::vector<ProfileEntry> List(const std::string& folder) override {
        std::vector<ProfileEntry> entries;
        WIN32_FIND_DATAW found;
        base::ScopedFindHandle listing(FindFirstFileW(Wide(folder + "\\*").c_str(), &found));
        if (!listing)
            return entries;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            entries.push_back({Utf8(found.cFileName),
                               (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                               (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
        } while (FindNextFileW(listing.Get(), &found));
        return entries;
    }
    bool Exists(const std::string& path) override {
        return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool IsHeld(const std::string& path) override {
        // Chrome and Edge keep their lockfile open with read sharing only,
        // Firefox its parent.lock with no sharing: either refuses a writer.
        base::ScopedHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
        if (file)
            return false;
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    }
    void RemoveFile(const std::string& path) override {
        const std::wstring wide = Wide(path);
        DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        DeleteFileW(wide.c_str());
    }
    void RemoveFolder(const std::string& path) override { RemoveDirectoryW(Wide(path).c_str()); }
};

bool KnownFolder(int csidl, std::string& path) {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)) ||
        buffer[0] == L'\0')
        return false;
    path = Utf8(buffer);
    return true;
}

}  // namespace

bool FindUserFolders(UserFolders& folders) {
    return KnownFolder(CSIDL_LOCAL_APPDATA, folders.localAppData) &&
           KnownFolder(CSIDL_APPDATA, folders.roamingAppData);
}

BrowserOutcome CleanBrowserProfilesOfUser(const CleanChoices& choices, const StopToken& stop) {
    UserFolders folders;
    if (!FindUserFolders(folders))
        return BrowserOutcome();
    WindowsProfileFiles files;
    return CleanBrowserProfiles(choices, folders, files, stop);
}
