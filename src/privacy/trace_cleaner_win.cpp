#include "privacy/trace_cleaner_win.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <urlhist.h>
#include <wininet.h>

#include <cctype>
#include <vector>

#include "base/scoped_win.h"
#include "privacy/browser_traces_win.h"
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

// Only the browser cache's own folders below an Internet cache folder are
// cleaned; loose files and every other program's folder there stay.
void CleanInternetCache(const std::string& folder, bool enterLow, const StopToken& stop) {
    std::string pattern;
    if (!AppendPath(folder, "\\*.*", pattern))
        return;
    WIN32_FIND_DATAA found;
    base::ScopedFindHandle listing(FindFirstFileA(pattern.c_str(), &found));
    if (!listing)
        return;
    do {
        const DWORD attributes = found.dwFileAttributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        std::string path;
        if (!FittingPath(folder, found.cFileName, path))
            continue;
        switch (ClassifyCacheFolder(found.cFileName)) {
        case CacheFolderKind::BrowserCache:
            DeleteFolderContents(path, false, false, stop);
            break;
        case CacheFolderKind::LowIntegrity:
            if (enterLow)
                CleanInternetCache(path, false, stop);
            break;
        case CacheFolderKind::Other:
            break;
        }
    } while (!stop.StopRequested() && FindNextFileA(listing.Get(), &found));
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

namespace {

class WinInetUrlCache : public UrlCacheSource {
public:
    bool List(const char* pattern, std::vector<UrlCacheEntry>& entries) override {
        CacheEntryBuffer buffer;
        DWORD size = 0;
        FindFirstUrlCacheEntryA(pattern, nullptr, &size);
        buffer.Resize(size);
        size = buffer.Size();
        ScopedUrlCacheFind listing(FindFirstUrlCacheEntryA(pattern, buffer.Entry(), &size));
        if (!listing && pattern && std::islower(static_cast<unsigned char>(pattern[0]))) {
            // Wine knows the containers only by the prefix of their entries
            // ("Cookie:", "Visited:"), not by the documented lower-case name.
            std::string prefix = pattern;
            prefix[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(prefix[0])));
            return List(prefix.c_str(), entries);
        }
        if (!listing)
            return false;
        for (;;) {
            const INTERNET_CACHE_ENTRY_INFOA* entry = buffer.Entry();
            if (entry->lpszSourceUrlName)
                entries.push_back({entry->lpszSourceUrlName, entry->CacheEntryType});
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
    void Delete(const std::string& url) override { DeleteUrlCacheEntryA(url.c_str()); }
};

}  // namespace

bool ClearUrlCache(UrlCacheMode mode) {
    WinInetUrlCache cache;
    return ClearUrlCacheEntries(mode, cache);
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

std::string PrivacyCleaner::CleanTraces(const StopToken& stop) {
    const CleanChoices choices = ReadCleanChoices();
    RunCleanTasks(choices, *this, stop);
    bool anyChoice = false;
    for (bool chosen : choices)
        anyChoice = anyChoice || chosen;
    if (!anyChoice || stop.StopRequested())
        return std::string();
    return DescribeCleaning(true, CleanBrowserProfilesOfUser(choices, stop));
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
    ClearUrlCache(UrlCacheMode::HistoryOnly);
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
        CleanInternetCache(folder, true, stop);
    std::string oldCache;
    if (TempFolder(folder) && AppendPath(folder, "\\Temporary Internet Files", oldCache))
        CleanInternetCache(oldCache, true, stop);
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

std::unique_ptr<std::string> TraceCleanerWork::TakeCleanReport(LPARAM lParam) {
    return std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lParam));
}

void TraceCleanerWork::RunPass(const StopToken& stop) {
    std::string text = PrivacyCleaner().CleanTraces(stop);
    // A pass cut short by a restart leaves the report to the pass that
    // replaces it.
    if (text.empty() || stop.StopRequested())
        return;
    HWND window = reportTo_.exchange(nullptr);
    if (!window)
        return;
    auto report = std::make_unique<std::string>(std::move(text));
    if (PostMessageA(window, CleanReportMessage, 0, reinterpret_cast<LPARAM>(report.get())))
        report.release();
}
