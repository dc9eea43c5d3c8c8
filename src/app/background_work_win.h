// The main window's worker threads: the list download, the generator request,
// the rotation's test and the runs of proxy tests. Each worker posts its outcome to
// the window, which hands it to the logic on its own thread; a worker never touches the window
// otherwise. The runs of tests, which answer once per proxy, hand their results
// over in batches (result_batch.h) that the window takes on one posted message
// and, should a post fail, on a timer.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "session/result_batch.h"
#include "session/shell_interfaces.h"
#include "proxies/proxy_list.h"
#include "proxies/proxy_list_download_win.h"

// One answer of a run of tests or of "Find Working Proxies": a proxy's
// result, or the end of the run (`run`, and whether a judge answered).
struct RunResult {
    enum class Kind { ProxyTested, ProxyTestsEnded, BulkChecked, BulkCheckEnded };
    Kind kind = Kind::ProxyTested;
    int run = 0;
    bool judgeReached = false;
    ProxyTestResult tested;
    BulkChecked checked;
};

// What "MyProxies.txt" holds, read on a worker (ReadProxyListFile).
struct ListLoaded {
    bool readable = true;
    std::vector<ProxyEntry> rows;
};

class WindowBackgroundWork : public BackgroundWork {
public:
    // lParam: a ListDownload the receiver takes (TakeListDownload).
    static constexpr UINT ListDownloadedMessage = WM_APP + 1;
    // lParam: the rotation's ProxyTestResult (TakeProxyTestResult).
    static constexpr UINT RotationTestedMessage = WM_APP + 2;
    // lParam: a ListMerged the receiver takes (TakeListMerged).
    static constexpr UINT ListMergedMessage = WM_APP + 8;
    // lParam: a ListLoaded the receiver takes (TakeListLoaded).
    static constexpr UINT ListLoadedMessage = WM_APP + 9;
    // Results of runs wait (TakeRunResults).
    static constexpr UINT RunResultsMessage = WM_APP + 7;
    // While runs go on: takes the results whose message could not be posted.
    static constexpr UINT_PTR RunResultsTimerId = 103;
    static constexpr UINT RunResultsTimerMs = 250;
    // The most results handed over at once, so that the window answers
    // between batches.
    static constexpr size_t RunResultsAtOnce = 256;

    explicit WindowBackgroundWork(HWND window)
        : window_(window), results_(std::make_shared<ResultBatch<RunResult>>()) {}
    ~WindowBackgroundWork() override { Stop(); }
    WindowBackgroundWork(const WindowBackgroundWork&) = delete;
    WindowBackgroundWork& operator=(const WindowBackgroundWork&) = delete;

    // Reads "MyProxies.txt" at `path`, and looks up the passwords that its
    // rows and ProxyName name, so that the window's thread finds them
    // remembered: one ListLoaded.
    bool StartListLoad(const std::string& path);
    bool StartListDownload(int id, size_t index, const ProxySource& source) override;
    void CancelListDownloads() override;
    bool StartListMerge(int id, std::vector<SharedProxyList> lists) override;
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

    // On RunResultsMessage and the timer: the next batch, oldest first. The
    // window is woken again while more wait; the timer stops once no run
    // goes on and nothing waits.
    std::vector<RunResult> TakeRunResults();

    static std::unique_ptr<ListDownload> TakeListDownload(LPARAM lParam);
    static std::unique_ptr<ListMerged> TakeListMerged(LPARAM lParam);
    static std::unique_ptr<ListLoaded> TakeListLoaded(LPARAM lParam);
    static std::unique_ptr<ProxyTestResult> TakeProxyTestResult(LPARAM lParam);

private:
    enum class Kind { ListLoad, ListDownload, ListMerge, Generator, Check, ProxyTests, BulkCheck };
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
    // Hands a result of a run to the window (from a worker).
    static void Hand(HWND window, ResultBatch<RunResult>& results, RunResult result);

    HWND window_;
    // Held by the workers too, which may outlive this object (Stop).
    std::shared_ptr<ResultBatch<RunResult>> results_;
    // Touched by the window's thread only.
    std::vector<std::shared_ptr<Job>> jobs_;
};
