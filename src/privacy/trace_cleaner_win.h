// Removes what Internet Explorer and the shell keep of the user's browsing.
// Files are deleted, not recycled; every "desktop.ini" stays so that special
// folders keep their look; history index files are zeroed before deletion so
// that one still in use is at least emptied.
#pragma once

#include <windows.h>

#include <string>

#include "privacy/auto_clean_thread.h"
#include "privacy/clean_pass.h"
#include "privacy/stop_token.h"

// Deletes everything below `folder` but not the folder itself. A folder
// holding a kept "desktop.ini" stays. Returns false when the folder cannot be
// listed. Leaves between entries when `stop` is requested.
bool DeleteFolderContents(const std::string& folder, bool deleteDesktopIni, bool wipeIndex,
                          const StopToken& stop = StopToken::Never());
// Overwrites everything after the file's 64-byte header with zero bytes.
// False when the file cannot be opened for writing.
bool WipeIndexFile(const std::string& folder, const std::string& name);

enum class UrlCacheMode {
    AllButCookies = 0,
    CookiesOnly = 1,
};
// Deletes URL cache entries of one kind; false when the cache cannot be listed.
bool ClearUrlCache(UrlCacheMode mode);
bool IsNtFamily();

class PrivacyCleaner : public TraceTasks {
public:
    // One pass over the choices stored now.
    void CleanTraces(const StopToken& stop = StopToken::Never());
    void RunTask(CleanTask task, const StopToken& stop) override;

private:
    void ClearHistory(const StopToken& stop);
    void ClearTypedUrls();
    void ClearTemporaryFiles(const StopToken& stop);
    void ClearCookies(const StopToken& stop);
    void ClearProtectedStorage();
    void ClearIntelliForms();
    void ClearFavorites(const StopToken& stop);
};

// The auto-clean thread's work in the program: a COM-ready thread that runs
// the cleaner and waits the stored interval.
class TraceCleanerWork : public AutoCleanWork {
public:
    void BeforeRun() override;
    void AfterRun() override;
    void RunPass(const StopToken& stop) override;
    uint32_t IntervalMinutes() override { return ReadIntervalMinutes(); }
};
