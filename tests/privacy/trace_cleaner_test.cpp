// The trace cleaner in the test prefix's real profile folders, URL cache and
// registry. Everything here is destructive, which is why it runs only in the
// throwaway prefix of the build.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <wininet.h>

#include <filesystem>
#include <string>
#include <vector>

#include "privacy/key_takeover_win.h"
#include "privacy/trace_cleaner_win.h"
#include "registry_test_support.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

using namespace testing_support;

constexpr char TypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
constexpr char IntelliForms[] = "Software\\Microsoft\\Internet Explorer\\IntelliForms";
constexpr char ProtectedStorage[] = "Software\\Microsoft\\Protected Storage System Provider\\";
constexpr char Autocomplete[] = "\\Data\\e161255a-37c3-11d2-bcaa-00c04fd929db";

std::string SpecialFolder(int csidl) {
    char buffer[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, buffer, csidl, TRUE);
    return buffer;
}

std::string MakeFolder(const std::string& path) {
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string TempFolderWith(const char* name) {
    char buffer[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, buffer);
    return MakeFolder(std::string(buffer) + name);
}

std::string WindowsHistory() {
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, MAX_PATH);
    return MakeFolder(std::string(buffer) + "\\History");
}

void WriteBytes(const std::string& path, const std::string& bytes, DWORD attributes = 0) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    base::ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << path;
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    file.Reset();
    if (attributes)
        SetFileAttributesA(path.c_str(), attributes);
}

std::string ReadBytes(const std::string& path) {
    base::ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Paths beyond MAX_PATH are made and seen through the wide calls with the
// "\\?\" prefix, as the ANSI ones cannot carry them.
std::wstring LongPath(const std::string& path) {
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

// Keeps a file open the way a running browser keeps its index: readable and
// writable by others, but not deletable.
base::ScopedHandle HoldOpen(const std::string& path) {
    return base::ScopedHandle(CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

const char* const ChoicePaths[7] = {setting::IClear1, setting::IClear2, setting::IClear3,
                                    setting::IClear4, setting::IClear5, setting::IClear6,
                                    setting::IClear7};

void CleanOnly(CleanTask task) {
    RegDeleteTreeA(ProductRoot, ProductKey);
    RegDwordValue(ChoicePaths[static_cast<int>(task)]).Set(1);
    PrivacyCleaner().CleanTraces();
}

bool CommitEntry(const std::string& url, DWORD type) {
    char file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(url.c_str(), 0, "", file, 0))
        return false;
    // An earlier cleaning may have removed the cache's folders under it.
    std::string folder(file);
    MakeFolder(folder.substr(0, folder.find_last_of('\\')));
    WriteBytes(file, "cached body of " + url);
    FILETIME never = {};
    return CommitUrlCacheEntryA(url.c_str(), file, never, never, type, nullptr, 0, nullptr,
                                nullptr) != FALSE;
}

bool InCache(const std::string& url) {
    DWORD size = 0;
    GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::string buffer(size + 16, '\0');
    size = static_cast<DWORD>(buffer.size());
    return GetUrlCacheEntryInfoA(url.c_str(),
                                 reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(&buffer[0]),
                                 &size) != FALSE;
}

std::wstring WideFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer);
    return buffer;
}

// Makes the file and the folders above it; the names may lie outside the
// ANSI code page.
void PutWideFile(const std::wstring& path) {
    SHCreateDirectoryExW(nullptr, path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
    base::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
}

bool WideExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Holds a lock file the way the running browser does.
base::ScopedHandle HoldLock(const std::wstring& path, DWORD sharing) {
    return base::ScopedHandle(CreateFileW(path.c_str(), GENERIC_WRITE, sharing, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

class TraceCleaner : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(ProductRoot, ProductKey); }
    void TearDown() override { RegDeleteTreeA(ProductRoot, ProductKey); }
};

// Before the folder-cleaning tests of this file: the system's cache, once its folders have
// been emptied under it by the tests below, takes no new entries in this
// process (as a browser's cache would not until it restarts).
TEST_F(TraceCleaner, UrlCacheModesSplitCookiesFromEverythingElse) {
    const std::string pages[] = {"http://cache.test/a.htm", "http://cache.test/b.gif"};
    const std::string cookies[] = {"Cookie:user@cache.test/", "Cookie:user@other.test/"};
    const std::string visited = "Visited: user@http://cache.test/a.htm";
    for (const std::string& url : pages)
        ASSERT_TRUE(CommitEntry(url, NORMAL_CACHE_ENTRY)) << url;
    for (const std::string& url : cookies)
        ASSERT_TRUE(CommitEntry(url, COOKIE_CACHE_ENTRY)) << url;
    ASSERT_TRUE(CommitEntry(visited, URLHISTORY_CACHE_ENTRY));

    EXPECT_TRUE(ClearUrlCache(UrlCacheMode::AllButCookies));
    for (const std::string& url : pages)
        EXPECT_FALSE(InCache(url)) << url;
    for (const std::string& url : cookies)
        EXPECT_TRUE(InCache(url)) << url;
    EXPECT_TRUE(InCache(visited)) << "visited records go with the history only";
    EXPECT_TRUE(ClearUrlCache(UrlCacheMode::HistoryOnly));
    EXPECT_FALSE(InCache(visited));

    ASSERT_TRUE(CommitEntry(pages[0], NORMAL_CACHE_ENTRY));
    EXPECT_TRUE(ClearUrlCache(UrlCacheMode::CookiesOnly));
    for (const std::string& url : cookies)
        EXPECT_FALSE(InCache(url)) << url;
    EXPECT_TRUE(InCache(pages[0]));
    ClearUrlCache(UrlCacheMode::AllButCookies);
}

TEST_F(TraceCleaner, WithEveryChoiceOffNothingIsTouched) {
    const std::string files[] = {
        SpecialFolder(CSIDL_HISTORY) + "\\off-history.txt",
        WindowsHistory() + "\\off-history.txt",
        TempFolderWith("History") + "\\off-history.txt",
        SpecialFolder(CSIDL_INTERNET_CACHE) + "\\off-cache.txt",
        TempFolderWith("Temporary Internet Files") + "\\off-cache.txt",
        SpecialFolder(CSIDL_COOKIES) + "\\off-cookie.txt",
        TempFolderWith("Cookies") + "\\off-cookie.txt",
        SpecialFolder(CSIDL_FAVORITES) + "\\off-favourite.url",
    };
    for (const std::string& file : files)
        WriteBytes(file, "keep me");
    WriteText(HKEY_CURRENT_USER, TypedUrls, "url1", "http://kept.test/");
    WriteText(HKEY_CURRENT_USER, IntelliForms, "form", "kept");
    ASSERT_TRUE(CommitEntry("http://off.test/page", NORMAL_CACHE_ENTRY));

    for (int i = 0; i < 7; ++i)
        RegDwordValue(ChoicePaths[i], 0, true).Set(i == 0 ? 2 : 0);  // 2 is not "on"
    RegStringValue(setting::LastDomain).Set("kept.test");
    PrivacyCleaner().CleanTraces();
    EXPECT_EQ("kept.test", RegStringValue(setting::LastDomain).Get());

    for (const std::string& file : files)
        EXPECT_EQ(ReadBytes(file), "keep me") << file;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TypedUrls));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, IntelliForms));
    EXPECT_TRUE(InCache("http://off.test/page"));

    for (const std::string& file : files)
        DeleteFileA(file.c_str());
    SHDeleteKeyA(HKEY_CURRENT_USER, TypedUrls);
    SHDeleteKeyA(HKEY_CURRENT_USER, IntelliForms);
}

TEST_F(TraceCleaner, HistoryIndexFilesAreZeroedAfterTheirHeaderThenDeleted) {
    const std::string history = SpecialFolder(CSIDL_HISTORY);
    const std::string sub = MakeFolder(history + "\\History.Test");
    const std::string header(64, 'H');
    const std::string bigIndex = history + "\\index.dat";
    const std::string shortIndex = sub + "\\INDEX.DAT";
    WriteBytes(bigIndex, header + std::string(20001, 'x'));
    WriteBytes(shortIndex, std::string(20, 's'));
    WriteBytes(history + "\\desktop.ini", "[.ShellClassInfo]");
    WriteBytes(sub + "\\Desktop.ini", "[.ShellClassInfo]");
    WriteBytes(sub + "\\visited.txt", "http://visited.test/");
    const std::string windowsFile = WindowsHistory() + "\\visited.txt";
    const std::string tempFile = TempFolderWith("History") + "\\visited.txt";
    WriteBytes(windowsFile, "w");
    WriteBytes(tempFile, "t");

    {
        // In use: they cannot be deleted, so the wipe is what is left to see.
        base::ScopedHandle bigHeld = HoldOpen(bigIndex);
        base::ScopedHandle shortHeld = HoldOpen(shortIndex);
        ASSERT_TRUE(bigHeld && shortHeld);
        CleanOnly(CleanTask::History);
        EXPECT_EQ(ReadBytes(bigIndex), header + std::string(20001, '\0'));
        EXPECT_EQ(ReadBytes(shortIndex), std::string(20, 's'))
            << "a file shorter than the header gets no write";
    }
    EXPECT_FALSE(Exists(sub + "\\visited.txt"));
    EXPECT_FALSE(Exists(windowsFile));
    EXPECT_FALSE(Exists(tempFile));

    CleanOnly(CleanTask::History);
    EXPECT_FALSE(Exists(bigIndex));
    EXPECT_FALSE(Exists(shortIndex));
    EXPECT_TRUE(Exists(history + "\\desktop.ini"));
    EXPECT_TRUE(Exists(sub + "\\Desktop.ini"));
    EXPECT_TRUE(Exists(sub)) << "a folder with a kept desktop.ini stays";
    EXPECT_TRUE(Exists(history));
}

TEST_F(TraceCleaner, HistoryAlsoForgetsTheLastVisitedHost) {
    RegDwordValue(setting::IClear1).Set(1);
    RegStringValue(setting::LastDomain).Set("visited.test");
    PrivacyCleaner().CleanTraces();
    EXPECT_EQ("", RegStringValue(setting::LastDomain, "missing").Get());
}

// The wipe past the header is seen in the history test above.
TEST_F(TraceCleaner, WipeIndexFileLeavesAHeaderAloneAndMissesAMissingFile) {
    const std::string folder = TempFolderWith("VeilgateWipe");
    WriteBytes(folder + "\\index.dat", std::string(64, 'H'));
    EXPECT_TRUE(WipeIndexFile(folder, "index.dat"));
    EXPECT_EQ(ReadBytes(folder + "\\index.dat"), std::string(64, 'H'));

    EXPECT_FALSE(WipeIndexFile(folder, "missing.dat"));
    DeleteFileA((folder + "\\index.dat").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(TraceCleaner, CookiesGoEvenWhenReadOnly) {
    const std::string cookies = SpecialFolder(CSIDL_COOKIES);
    const std::string readOnly = cookies + "\\user@tracker.test.txt";
    WriteBytes(readOnly, "id=1", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY);
    const std::string tempCookie = TempFolderWith("Cookies") + "\\user@other.test.txt";
    WriteBytes(tempCookie, "id=2");
    WriteBytes(cookies + "\\desktop.ini", "[.ShellClassInfo]");

    CleanOnly(CleanTask::Cookies);

    EXPECT_FALSE(Exists(readOnly));
    EXPECT_FALSE(Exists(tempCookie));
    EXPECT_TRUE(Exists(cookies + "\\desktop.ini"));
}

TEST_F(TraceCleaner, TemporaryInternetFilesLoseTheBrowserCacheButNotOtherProgramsFolders) {
    const std::string cache = SpecialFolder(CSIDL_INTERNET_CACHE);
    const std::string own = MakeFolder(cache + "\\Content.IE5");
    const std::string sub = MakeFolder(own + "\\ABCD1234");
    MakeFolder(cache + "\\Low");
    MakeFolder(cache + "\\Low\\IE");
    // Not the cache's own index beside it, which the system's cache holds.
    const std::string index = sub + "\\index.dat";
    const std::string indexBytes = std::string(64, 'H') + std::string(500, 'x');
    WriteBytes(index, indexBytes);
    WriteBytes(cache + "\\desktop.ini", "[.ShellClassInfo]");
    WriteBytes(sub + "\\image.gif", "GIF89a");
    WriteBytes(sub + "\\desktop.ini", "[.ShellClassInfo]");
    WriteBytes(cache + "\\Low\\IE\\low.htm", "<html>");
    const std::string emptySub = MakeFolder(own + "\\Empty.Test");
    const std::string oldCache =
        MakeFolder(TempFolderWith("Temporary Internet Files") + "\\Content.IE5");
    WriteBytes(oldCache + "\\script.js", "alert(1)");
    // Folders other programs keep below the cache, and a loose file of no one's.
    const std::string kept[] = {cache + "\\Content.MSO\\draft.docx",
                                cache + "\\Content.Outlook\\attachment.xlsx",
                                cache + "\\Low\\Content.Word\\note.doc", cache + "\\loose.txt"};
    for (const std::string& file : kept) {
        MakeFolder(file.substr(0, file.find_last_of('\\')));
        WriteBytes(file, "not the browser's");
    }

    {
        base::ScopedHandle held = HoldOpen(index);
        ASSERT_TRUE(held);
        CleanOnly(CleanTask::TemporaryFiles);
        EXPECT_EQ(ReadBytes(index), indexBytes) << "the cache index is never wiped";
    }
    EXPECT_FALSE(Exists(sub + "\\image.gif"));
    EXPECT_FALSE(Exists(cache + "\\Low\\IE\\low.htm"));
    EXPECT_FALSE(Exists(emptySub));
    EXPECT_FALSE(Exists(oldCache + "\\script.js"));
    EXPECT_TRUE(Exists(cache + "\\desktop.ini"));
    EXPECT_TRUE(Exists(sub + "\\desktop.ini"));
    for (const std::string& file : kept)
        EXPECT_EQ(ReadBytes(file), "not the browser's") << file;

    CleanOnly(CleanTask::TemporaryFiles);
    EXPECT_FALSE(Exists(index));
}

TEST_F(TraceCleaner, TypedUrlsAndIntelliFormsGoWithTheirSubkeys) {
    WriteText(HKEY_CURRENT_USER, TypedUrls, "url1", "http://typed.test/");
    WriteText(HKEY_CURRENT_USER, std::string(TypedUrls) + "\\Nested", "x", "y");
    WriteText(HKEY_CURRENT_USER, std::string(IntelliForms) + "\\Storage1\\Deeper", "x", "y");

    CleanOnly(CleanTask::TypedUrls);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TypedUrls));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, IntelliForms));
    CleanOnly(CleanTask::IntelliForms);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, IntelliForms));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer"));

    // Absent keys: nothing happens and nothing is created.
    CleanOnly(CleanTask::TypedUrls);
    CleanOnly(CleanTask::IntelliForms);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TypedUrls));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, IntelliForms));
}

TEST_F(TraceCleaner, ProtectedStorageAutocompleteGoesForTheUserAndUnderTheUserName) {
    HeapBlock sid;
    ASSERT_TRUE(GetCurrentUserSid(sid));
    std::string sidText;
    SidToText(sid.get(), sidText);
    const std::string sidKey = ProtectedStorage + sidText;
    char user[MAX_PATH];
    DWORD userLength = sizeof(user);
    ASSERT_TRUE(GetUserNameA(user, &userLength));
    const std::string machineKey = std::string(ProtectedStorage) + user + Autocomplete;
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, sidKey + Autocomplete + "\\item"));
    ASSERT_TRUE(SetKeyDaclFromText(HKEY_CURRENT_USER, sidKey + Autocomplete, "D:"));
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, machineKey + "\\item"));

    EXPECT_TRUE(IsNtFamily());
    CleanOnly(CleanTask::ProtectedStorage);

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sidKey + Autocomplete));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, machineKey));
    ForceDeleteTree(HKEY_CURRENT_USER, "Software\\Microsoft\\Protected Storage System Provider");
    ForceDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Protected Storage System Provider");
}

TEST_F(TraceCleaner, FavouritesGoButTheFolderLookStays) {
    const std::string favorites = SpecialFolder(CSIDL_FAVORITES);
    const std::string links = MakeFolder(favorites + "\\Links.Test");
    WriteBytes(favorites + "\\desktop.ini", "[.ShellClassInfo]");
    WriteBytes(favorites + "\\site.url", "[InternetShortcut]");
    WriteBytes(links + "\\other.url", "[InternetShortcut]");

    CleanOnly(CleanTask::Favorites);

    EXPECT_FALSE(Exists(favorites + "\\site.url"));
    EXPECT_FALSE(Exists(links));
    EXPECT_TRUE(Exists(favorites + "\\desktop.ini"));
}

TEST_F(TraceCleaner, APathTooLongForItsBufferIsSkippedNotCut) {
    // The folder's path is 240 characters; "desktop.ini" plus a long tail
    // would, cut at 259 characters, name the folder's desktop.ini.
    std::string folder = TempFolderWith("LongPath");
    while (folder.size() < 240) {
        folder += "\\" + std::string(std::min<size_t>(60, 239 - folder.size()), 'd');
        MakeFolder(folder);
    }
    ASSERT_EQ(folder.size(), 240u);
    const std::string desktopIni = folder + "\\desktop.ini";
    const std::string longName = "desktop.ini-and-a-tail-that-does-not-fit";
    ASSERT_GT(folder.size() + 1 + longName.size(), 259u);
    WriteBytes(desktopIni, "[.ShellClassInfo]");
    const std::wstring longPath = LongPath(folder + "\\" + longName);
    {
        base::ScopedHandle file(CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
    }
    WriteBytes(folder + "\\short.txt", "short");

    EXPECT_TRUE(DeleteFolderContents(folder, false, false));

    EXPECT_TRUE(Exists(desktopIni));
    EXPECT_NE(GetFileAttributesW(longPath.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(Exists(folder + "\\short.txt"));
    DeleteFileW(longPath.c_str());
}

TEST_F(TraceCleaner, AStoppedPassLeavesAtTheNextFileAndAMissingFolderIsReported) {
    const std::string folder = TempFolderWith("VeilgateStop");
    WriteBytes(folder + "\\a.txt", "a");
    StopToken stop;
    stop.RequestStop();
    EXPECT_TRUE(DeleteFolderContents(folder, false, false, stop));
    EXPECT_TRUE(Exists(folder + "\\a.txt"));
    EXPECT_TRUE(DeleteFolderContents(folder, false, false));
    EXPECT_FALSE(Exists(folder + "\\a.txt"));
    EXPECT_FALSE(DeleteFolderContents(folder + "\\missing", false, false));
    RemoveDirectoryA(folder.c_str());
}

TEST_F(TraceCleaner, BrowserProfilesLoseTheChosenTracesUnlessTheBrowserRuns) {
    const std::wstring chrome = WideFolder(CSIDL_LOCAL_APPDATA) + L"\\Google\\Chrome\\User Data";
    const std::wstring fox =
        WideFolder(CSIDL_APPDATA) + L"\\Mozilla\\Firefox\\Profiles\\x1.\u0436\u03a9";
    // Other tests of the prefix expect no browser profile at all.
    struct RemovedAfterwards {
        std::vector<std::filesystem::path> folders;
        ~RemovedAfterwards() {
            std::error_code ignored;
            for (const auto& folder : folders)
                std::filesystem::remove_all(folder, ignored);
        }
    } profiles{{chrome, fox}};
    const std::wstring chromeCookies = chrome + L"\\Default\\Network\\Cookies";
    const std::wstring foxCookies = fox + L"\\cookies.sqlite";
    for (const std::wstring& path :
         {chrome + L"\\Default\\Preferences", chromeCookies, chrome + L"\\lockfile", foxCookies,
          fox + L"\\places.sqlite", fox + L"\\parent.lock"})
        PutWideFile(path);
    {
        base::ScopedHandle chromeRuns = HoldLock(chrome + L"\\lockfile", FILE_SHARE_READ);
        ASSERT_TRUE(chromeRuns);
        CleanOnly(CleanTask::Cookies);
    }
    EXPECT_TRUE(WideExists(chromeCookies));
    EXPECT_FALSE(WideExists(foxCookies)) << "a profile named outside the ANSI code page";
    EXPECT_TRUE(WideExists(fox + L"\\places.sqlite"));

    PutWideFile(foxCookies);
    {
        base::ScopedHandle firefoxRuns = HoldLock(fox + L"\\parent.lock", 0);
        ASSERT_TRUE(firefoxRuns);
        CleanOnly(CleanTask::Cookies);
    }
    EXPECT_TRUE(WideExists(foxCookies));
    EXPECT_FALSE(WideExists(chromeCookies));
}

TEST_F(TraceCleaner, ThePassAskedForReportsOnceToItsWindow) {
    HWND window =
        CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    RegDwordValue(setting::IClear2).Set(1);
    TraceCleanerWork work;
    work.ReportNextPassTo(window);
    for (int pass = 0; pass < 2; ++pass)
        work.RunPass(StopToken::Never());
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, window, TraceCleanerWork::CleanReportMessage,
                             TraceCleanerWork::CleanReportMessage, PM_REMOVE));
    EXPECT_EQ(*TraceCleanerWork::TakeCleanReport(message.lParam).get(),
              "Cleared Internet Explorer.")
        << "no browser profile is chosen for typed addresses";
    EXPECT_FALSE(PeekMessageA(&message, window, TraceCleanerWork::CleanReportMessage,
                              TraceCleanerWork::CleanReportMessage, PM_REMOVE));
    DestroyWindow(window);
}

}  // namespace
