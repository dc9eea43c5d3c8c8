#include "privacy/trace_cleaner_win.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <urlhist.h>
#include <wininet.h>

#include <vector>

#include "base/scoped_win.h"
#include "privacy/clean_paths.h"
#include "privacy/index_wipe.h"
#include "privacy/key_takeover_win.h"
#include "privacy/protected_storage_keys.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

constexpr char DesktopIni[] = "desktop.ini";
constexpr char IndexDat[] = "index.dat";
constexpr char TypedUrlsKey[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
constexpr char IntelliFormsKey[] = "Software\\Microsoft\\Internet Explorer\\IntelliForms";

// {3C374A40-BAE4-11CF-BF7D-00AA006946EE}
const CLSID UrlHistoryClass = {
    0x3c374a40, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
// {AFA0DC11-C313-11D0-831A-00C04FD5AE38}
const IID UrlHistoryStg2 = {
    0xafa0dc11, 0xc313, 0x11d0, {0x83, 0x1a, 0x00, 0xc0, 0x4f, 0xd5, 0xae, 0x38}};

struct UrlCacheFindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FindCloseUrlCache(h); }
};
using ScopedUrlCacheFind = base::ScopedWin<UrlCacheFindTraits>;

// A cache entry record; kept in 8-byte units so that the structure at its
// start is aligned.
class CacheEntryBuffer {
public:
    void Resize(DWORD bytes) { storage_.assign((bytes + 7) / 8 + 1, 0); }
    INTERNET_CACHE_ENTRY_INFOA* Entry() {
        return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(storage_.data());
    }
    DWORD Size() const { return static_cast<DWORD>(storage_.size() * 8); }

private:
    std::vector<uint64_t> storage_;
};

bool SpecialFolder(int csidl, std::string& path) {
    char buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE) || buffer[0] == '\0')
        return false;
    path = buffer;
    return true;
}

bool WindowsFolder(std::string& path) {
    char buffer[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    path = buffer;
    return true;
}

bool TempFolder(std::string& path) {
    char buffer[MAX_PATH] = {};
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH)
        return false;
    path = buffer;
    return true;
}

// The folder + suffix, cleaned when the whole path fits.
void CleanBelow(const std::string& folder, const char* suffix, bool wipeIndex,
                const StopToken& stop) {
    std::string path;
    if (AppendPath(folder, suffix, path))
        DeleteFolderContents(path, false, wipeIndex, stop);
}

bool ShouldWipeFirst(bool wipeIndex, const std::string& name) {
    return wipeIndex && SameFileName(name, IndexDat);
}

}  // namespace

bool DeleteFolderContents(const std::string& folder, bool deleteDesktopIni, bool wipeIndex,
                          const StopToken& stop) {
    std::string pattern;
    if (!AppendPath(folder, "\\*.*", pattern))
        return false;
    WIN32_FIND_DATAA found;
    base::ScopedFindHandle listing(FindFirstFileA(pattern.c_str(), &found));
    if (!listing)
        return false;
    do {
        if (stop.StopRequested())
            break;
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (!deleteDesktopIni && SameFileName(name, DesktopIni))
            continue;
        std::string path;
        if (!FittingPath(folder, name, path))
            continue;
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or symbolic link is removed, never followed: what
            // it points at lies outside the folder being cleaned.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                DeleteFolderContents(path, deleteDesktopIni, wipeIndex, stop);
            RemoveDirectoryA(path.c_str());
        } else {
            if (ShouldWipeFirst(wipeIndex, name))
                WipeIndexFile(folder, name);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(listing.Get(), &found));
    return true;
}

bool WipeIndexFile(const std::string& folder, const std::string& name) {
    std::string path;
    if (!FittingPath(folder, name, path))
        return false;
    base::ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return true;
    const std::vector<uint32_t> writes = IndexWipeWrites(static_cast<uint64_t>(size.QuadPart));
    if (writes.empty())
        return true;
    LARGE_INTEGER headerEnd;
    headerEnd.QuadPart = static_cast<LONGLONG>(IndexHeaderSize);
    if (!SetFilePointerEx(file.Get(), headerEnd, nullptr, FILE_BEGIN))
        return true;
    static const std::vector<char> zeros(WipeChunkSize, 0);
    for (uint32_t piece : writes) {
        DWORD written = 0;
        if (!WriteFile(file.Get(), zeros.data(), piece, &written, nullptr))
            break;
    }
    return true;
}

bool ClearUrlCache(UrlCacheMode mode) {
    CacheEntryBuffer buffer;
    DWORD size = 0;
    FindFirstUrlCacheEntryA(nullptr, nullptr, &size);
    buffer.Resize(size);
    size = buffer.Size();
    ScopedUrlCacheFind listing(FindFirstUrlCacheEntryA(nullptr, buffer.Entry(), &size));
    if (!listing)
        return false;
    for (;;) {
        const INTERNET_CACHE_ENTRY_INFOA* entry = buffer.Entry();
        bool isCookie = (entry->CacheEntryType & COOKIE_CACHE_ENTRY) != 0;
        bool remove = mode == UrlCacheMode::AllButCookies ? !isCookie : isCookie;
        if (remove && entry->lpszSourceUrlName)
            DeleteUrlCacheEntryA(entry->lpszSourceUrlName);

        size = 0;
        FindNextUrlCacheEntryA(listing.Get(), nullptr, &size);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        buffer.Resize(size);
        size = buffer.Size();
        if (!FindNextUrlCacheEntryA(listing.Get(), buffer.Entry(), &size))
            break;
    }
    return true;
}

bool IsNtFamily() {
    OSVERSIONINFOEXA extended = {};
    extended.dwOSVersionInfoSize = sizeof(extended);
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)))
        return extended.dwPlatformId == VER_PLATFORM_WIN32_NT;
    OSVERSIONINFOA basic = {};
    basic.dwOSVersionInfoSize = sizeof(basic);
    if (GetVersionExA(&basic))
        return basic.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return false;
}

void PrivacyCleaner::CleanTraces(const StopToken& stop) {
    RunCleanTasks(ReadCleanChoices(), *this, stop);
}

void PrivacyCleaner::RunTask(CleanTask task, const StopToken& stop) {
    switch (task) {
    case CleanTask::History:
        ClearHistory(stop);
        break;
    case CleanTask::TypedUrls:
        ClearTypedUrls();
        break;
    case CleanTask::TemporaryFiles:
        ClearTemporaryFiles(stop);
        break;
    case CleanTask::Cookies:
        ClearCookies(stop);
        break;
    case CleanTask::ProtectedStorage:
        ClearProtectedStorage();
        break;
    case CleanTask::IntelliForms:
        ClearIntelliForms();
        break;
    case CleanTask::Favorites:
        ClearFavorites(stop);
        break;
    }
}

void PrivacyCleaner::ClearHistory(const StopToken& stop) {
    IUrlHistoryStg2* history = nullptr;
    if (SUCCEEDED(CoCreateInstance(UrlHistoryClass, nullptr, CLSCTX_INPROC_SERVER, UrlHistoryStg2,
                                   reinterpret_cast<void**>(&history))) &&
        history) {
        history->ClearHistory();
        history->Release();
    }
    std::string folder;
    if (WindowsFolder(folder))
        CleanBelow(folder, "\\History", true, stop);
    if (SpecialFolder(CSIDL_HISTORY, folder))
        DeleteFolderContents(folder, false, true, stop);
    // The temporary path ends with a backslash already; the doubled one that
    // results is accepted by the file system.
    if (TempFolder(folder))
        CleanBelow(folder, "\\History", true, stop);
    // The engine keeps the host of the last request under the machine's
    // settings, readable by every user: part of the history as well.
    RegStringValue(setting::LastDomain).Set("");
}

void PrivacyCleaner::ClearTypedUrls() {
    SHDeleteKeyA(HKEY_CURRENT_USER, TypedUrlsKey);
}

void PrivacyCleaner::ClearTemporaryFiles(const StopToken& stop) {
    ClearUrlCache(UrlCacheMode::AllButCookies);
    std::string folder;
    if (SpecialFolder(CSIDL_INTERNET_CACHE, folder))
        DeleteFolderContents(folder, false, false, stop);
    if (TempFolder(folder))
        CleanBelow(folder, "\\Temporary Internet Files", false, stop);
}

void PrivacyCleaner::ClearCookies(const StopToken& stop) {
    ClearUrlCache(UrlCacheMode::CookiesOnly);
    std::string folder;
    if (SpecialFolder(CSIDL_COOKIES, folder))
        DeleteFolderContents(folder, false, false, stop);
    if (TempFolder(folder))
        CleanBelow(folder, "\\Cookies", false, stop);
}

void PrivacyCleaner::ClearProtectedStorage() {
    if (IsNtFamily())
        ClearProtectedStorageForUser();
    char user[MAX_PATH] = {};
    DWORD length = sizeof(user);
    if (!GetUserNameA(user, &length))
        return;
    std::string key =
        std::string(protected_storage::ProviderKey) + user + protected_storage::AutocompleteSubkey;
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

void PrivacyCleaner::ClearIntelliForms() {
    SHDeleteKeyA(HKEY_CURRENT_USER, IntelliFormsKey);
}

void PrivacyCleaner::ClearFavorites(const StopToken& stop) {
    std::string folder;
    if (SpecialFolder(CSIDL_FAVORITES, folder))
        DeleteFolderContents(folder, false, false, stop);
}

// Per thread: an old thread may still be finishing while a new one starts.
static thread_local bool comReadyOnThisThread = false;

void TraceCleanerWork::BeforeRun() {
    comReadyOnThisThread = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void TraceCleanerWork::AfterRun() {
    if (comReadyOnThisThread)
        CoUninitialize();
    comReadyOnThisThread = false;
}

void TraceCleanerWork::RunPass(const StopToken& stop) {
    PrivacyCleaner().CleanTraces(stop);
}
