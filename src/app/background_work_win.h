// The main window's worker threads: the list download, the generator request,
// the rotation's test and the runs of proxy tests. Each worker posts its outcome to
// the window, which hands it to the logic on its own thread; a worker never touches the window
// otherwise.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "session/shell_interfaces.h"
#include "proxies/proxy_list_download_win.h"

class WindowBackgroundWork : public BackgroundWork {
public:
    // lParam: a ListDownload the receiver takes (TakeListDownload).
    static constexpr UINT ListDownloadedMessage = WM_APP + 1;
    // lParam: the rotation's ProxyTestResult (TakeProxyTestResult).
    static constexpr UINT RotationTestedMessage = WM_APP + 2;
    // lParam: a ProxyTestResult the receiver takes (TakeProxyTestResult).
    static constexpr UINT ProxyTestedMessage = WM_APP + 3;
    // wParam: the run that ended; lParam: 1 when its judge answered.
    static constexpr UINT ProxyTestsEndedMessage = WM_APP + 4;
    // lParam: a BulkChecked the receiver takes (TakeBulkChecked).
    static constexpr UINT BulkCheckedMessage = WM_APP + 5;
    // wParam: the run that ended; lParam: 1 when a judge answered.
    static constexpr UINT BulkCheckEndedMessage = WM_APP + 6;

    explicit WindowBackgroundWork(HWND window) : window_(window) {}
    ~WindowBackgroundWork() override { Stop(); }
    WindowBackgroundWork(const WindowBackgroundWork&) = delete;
    WindowBackgroundWork& operator=(const WindowBackgroundWork&) = delete;

    bool StartListDownload(int id, size_t index, const ProxySource& source) override;
    void CancelListDownloads() override;
    bool StartRotationTest(const net::ProxyAddress& proxy) override;
    void StartGeneratorRequest() override;
    bool StartProxyTests(int run, const std::vector<net::ProxyAddress>& proxies) override;
    bool StartBulkCheck(int run, const std::vector<net::ProxyAddress>& proxies) override;
    void StopProxyTests() override;
    void StopBulkCheck() override;

    // Asks every worker to give up, and waits for none: the end of the
    // session.
    void AskToStop();
    // Asks every worker to give up and waits a little for them; one that
    // cannot be cut short (a connect in progress) is left to end on its own.
    void Stop();

    static std::unique_ptr<ListDownload> TakeListDownload(LPARAM lParam);
    static std::unique_ptr<ProxyTestResult> TakeProxyTestResult(LPARAM lParam);
    static std::unique_ptr<BulkChecked> TakeBulkChecked(LPARAM lParam);

private:
    enum class Kind { ListDownload, Generator, Check, ProxyTests, BulkCheck };
    struct Job {
        Kind kind;
        RequestCanceller canceller;
        // For the socket work, which looks at it between and within steps.
        std::atomic<bool> stop{false};
        std::thread thread;
        // Closes the request's handle for CancelListDownloads (see there).
        std::thread closer;
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };

    // Runs `work` on a new thread; false when none could be started.
    bool Run(Kind kind, std::function<void(Job&)> work);
    // Forgets the jobs whose threads have ended.
    void Reap();
    // Joins a job's threads.
    static void Join(Job& job);
    bool Running(Kind kind);

    HWND window_;
    // Touched by the window's thread only.
    std::vector<std::shared_ptr<Job>> jobs_;
};
