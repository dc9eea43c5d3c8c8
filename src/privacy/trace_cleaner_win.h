// Removes what Internet Explorer and the shell keep of the user's browsing.
// Files are deleted, not recycled; every "desktop.ini" stays so that special
// folders keep their look; history index files are zeroed before deletion so
// that one still in use is at least emptied.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "privacy/auto_clean_thread.h"
#include "privacy/clean_pass.h"
#include "privacy/stop_token.h"
#include "privacy/url_cache_walk.h"

// Deletes everything below `folder` but not the folder itself. A folder
// holding a kept "desktop.ini" stays. Returns false when the folder cannot be
// listed. Leaves between entries when `stop` is requested.
bool DeleteFolderContents(const std::string& folder, bool deleteDesktopIni, bool wipeIndex,
                          const StopToken& stop = StopToken::Never());
// Overwrites everything after the file's 64-byte header with zero bytes.
// False when the file cannot be opened for writing.
bool WipeIndexFile(const std::string& folder, const std::string& name);

// Deletes URL cache entries of one kind from the system's cache; false when
// its container cannot be listed.
bool ClearUrlCache(UrlCacheMode mode);
bool IsNtFamily();

class PrivacyCleaner : public TraceTasks {
public:
    // One pass over the choices stored now, Internet Explorer's traces first
    // and then the other browsers' profiles; answers what the user is told
    // after a pass that "Apply" started (empty when nothing was chosen).
    std::string CleanTraces(const StopToken& stop = StopToken::Never());
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
    // Posted to the report window after the pass asked for; lParam is a
    // std::string* that the window takes with TakeCleanReport.
    static constexpr UINT CleanReportMessage = WM_APP + 20;
    static std::unique_ptr<std::string> TakeCleanReport(LPARAM lParam);

    // The next pass that runs to its end tells `window` what it cleared and
    // what it skipped; later passes report nothing.
    void ReportNextPassTo(HWND window) { reportTo_.store(window); }

    void BeforeRun() override;
    void AfterRun() override;
    void RunPass(const StopToken& stop) override;
    uint32_t IntervalMinutes() override { return ReadIntervalMinutes(); }

private:
    std::atomic<HWND> reportTo_{nullptr};
};
