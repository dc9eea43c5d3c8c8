#include "app/background_work_win.h"

#include <chrono>

#include "proxies/bulk_check.h"
#include "proxies/failure_witness.h"
#include "proxies/proxy_secrets.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "session/list_refresh.h"

namespace {

// How long the end of the program waits for its workers: each of their waits
// ends within a second of being told, and the list file's writer has the
// other second of the two the end may take.
constexpr auto StopWait = std::chrono::milliseconds(1000);

}  // namespace

bool WindowBackgroundWork::Run(Kind kind, std::function<void(Job&)> work) {
    Reap();
    auto job = std::make_shared<Job>();
    job->kind = kind;
    try {
        // The thread keeps its job alive, so a worker left behind by Stop
        // still has its canceller and its flag.
        job->thread = std::thread([job, work] {
            try {
                work(*job);
            } catch (...) {
            }
            std::lock_guard<std::mutex> lock(job->mutex);
            job->done = true;
            job->ended.notify_all();
        });
    } catch (...) {
        return false;
    }
    jobs_.push_back(job);
    return true;
}

void WindowBackgroundWork::Reap() {
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        bool done = false;
        {
            std::lock_guard<std::mutex> lock((*it)->mutex);
            done = (*it)->done;
        }
        if (done) {
            Join(**it);
            it = jobs_.erase(it);
        } else {
            ++it;
        }
    }
}

void WindowBackgroundWork::Join(Job& job) {
    job.thread.join();
    // Ends at once with its work: the request it closes is gone.
    if (job.closer.joinable())
        job.closer.join();
}

bool WindowBackgroundWork::Running(Kind kind) {
    Reap();
    for (const auto& job : jobs_) {
        if (job->kind == kind)
            return true;
    }
    return false;
}

bool WindowBackgroundWork::StartListDownload(int id, size_t index, const ProxySource& source) {
    HWND window = window_;
    return Run(Kind::ListDownload, [window, id, index, source](Job& job) {
        auto outcome = std::make_unique<ListDownload>();
        outcome->id = id;
        outcome->source = index;
        std::string reply;
        DownloadFailure failure = DownloadFailure::None;
        int status = 0;
        // A reply that names no proxy is told apart by the refresh itself.
        if (source.IsMakers()) {
            outcome->kept = DownloadAndKeepProxyList(reply, &outcome->keepError, &failure,
                                                     &job.canceller, &status);
        } else {
            DownloadListSource(source.location, source.IsWebAddress(), reply, &failure,
                               &job.canceller, &status);
        }
        outcome->listCame = failure == DownloadFailure::None;
        outcome->failure = DownloadFailureText(failure, status);
        outcome->reply = std::move(reply);
        ReadListDownload(*outcome, source.defaultType);
        if (PostMessageA(window, ListDownloadedMessage, 0, reinterpret_cast<LPARAM>(outcome.get())))
            outcome.release();
    });
}

// Closing a request's handle waits until WinINet has let go of the call that
// the worker is blocked in (half a second under Wine, at the deadline of a
// list service that never answers): the window's thread must not wait for
// that, so a thread of the job's own closes it.
void WindowBackgroundWork::CancelListDownloads() {
    for (const auto& job : jobs_) {
        if (job->kind != Kind::ListDownload || job->closer.joinable())
            continue;
        // The closer holds the job, as its worker does: either may be left
        // to end on its own by Stop.
        std::shared_ptr<Job> cancelled = job;
        try {
            job->closer = std::thread([cancelled] { cancelled->canceller.Cancel(); });
        } catch (...) {
            job->canceller.Cancel();
        }
    }
}

bool WindowBackgroundWork::StartListMerge(int id, std::vector<SharedProxyList> lists) {
    HWND window = window_;
    return Run(Kind::ListMerge, [window, id, lists = std::move(lists)](Job& job) {
        auto merged = std::make_unique<ListMerged>(MergeLists(id, lists));
        if (!job.stop &&
            PostMessageA(window, ListMergedMessage, 0, reinterpret_cast<LPARAM>(merged.get())))
            merged.release();
    });
}

bool WindowBackgroundWork::StartListLoad(const std::string& path) {
    HWND window = window_;
    return Run(Kind::ListLoad, [window, path](Job& job) {
        auto loaded = std::make_unique<ListLoaded>();
        loaded->readable = ReadProxyListFile(path, loaded->rows);
        std::vector<net::ProxyAddress> proxies;
        for (const ProxyEntry& row : loaded->rows)
            proxies.push_back(row.proxy);
        WarmPasswordsOf(proxies);
        ProxyWithPassword(RegStringValue(setting::ProxyName).Get());
        if (!job.stop &&
            PostMessageA(window, ListLoadedMessage, 0, reinterpret_cast<LPARAM>(loaded.get())))
            loaded.release();
    });
}

bool WindowBackgroundWork::StartRotationTest(const net::ProxyAddress& proxy) {
    HWND window = window_;
    std::vector<ProxyJudge> judges = ConfiguredJudges();
    return Run(Kind::Check, [window, proxy, judges](Job& job) {
        auto result = std::make_unique<ProxyTestResult>();
        result->proxy = proxy;
        OwnAddresses own;
        ProxyJudge judge;
        bool judgeAnswered = AskFirstJudgeDirectly(judges, job.stop, own, judge);
        result->check = CheckProxyAsListed(judge, own, WithKeptPassword(proxy), job.stop);
        FailureWitness witness([&] { return AskJudgeDirectly(judge, job.stop, own); }, 0);
        result->judgeReached =
            judgeAnswered && (!IsProxyFailure(result->check) ||
                              witness.Confirms(FailureWitness::Clock::now(), job.stop));
        if (!job.stop &&
            PostMessageA(window, RotationTestedMessage, 0, reinterpret_cast<LPARAM>(result.get())))
            result.release();
    });
}

void WindowBackgroundWork::StartGeneratorRequest() {
    // The page is only fetched; one request at a time is enough.
    if (Running(Kind::Generator))
        return;
    Run(Kind::Generator, [](Job& job) { ProxyGeneratorRequest(&job.canceller); });
}

void WindowBackgroundWork::Hand(HWND window, ResultBatch<RunResult>& results, RunResult result) {
    if (results.Push(std::move(result)) && !PostMessageA(window, RunResultsMessage, 0, 0))
        results.WakeLost();
}

std::vector<RunResult> WindowBackgroundWork::TakeRunResults() {
    // Asked first: a run that has ended has pushed all it will, so that
    // nothing can be left behind once the timer stops.
    bool runsGoOn = Running(Kind::ProxyTests) || Running(Kind::BulkCheck);
    bool more = false;
    std::vector<RunResult> taken = results_->Take(RunResultsAtOnce, more);
    if (more && !PostMessageA(window_, RunResultsMessage, 0, 0))
        results_->WakeLost();
    if (!more && !runsGoOn)
        KillTimer(window_, RunResultsTimerId);
    return taken;
}

bool WindowBackgroundWork::StartProxyTests(int run, const std::vector<net::ProxyAddress>& proxies) {
    HWND window = window_;
    std::shared_ptr<ResultBatch<RunResult>> results = results_;
    std::vector<ProxyJudge> judges = ConfiguredJudges();
    int atOnce = ConfiguredChecksAtOnce();
    SetTimer(window_, RunResultsTimerId, RunResultsTimerMs, nullptr);
    return Run(Kind::ProxyTests, [window, results, run, proxies, judges, atOnce](Job& job) {
        bool judgeReached = false;
        ProxyJudge answered = judges.front();
        BulkCheckReceiver receiver;
        receiver.judgeAsked = [&judgeReached](bool reached, const OwnAddresses&) {
            judgeReached = reached;
        };
        // A failure removes a row only once the judge has answered a direct
        // request after it: the user's own connection may have dropped.
        FailureWitness witness([&] {
            OwnAddresses own;
            return AskFirstJudgeDirectly(judges, job.stop, own, answered);
        });
        receiver.checked = [&](const BulkCheckResult& checked) {
            RunResult result;
            result.kind = RunResult::Kind::ProxyTested;
            result.tested.run = run;
            result.tested.proxy = proxies[checked.index];
            result.tested.check = checked.check;
            // Told on the checking thread as the check ends.
            result.tested.judgeReached =
                judgeReached && (!IsProxyFailure(checked.check) ||
                                 witness.Confirms(FailureWitness::Clock::now(), job.stop));
            if (!job.stop)
                Hand(window, *results, std::move(result));
        };
        // The whole test of each row, of each type in turn for a row that
        // names none.
        auto test = [&proxies](size_t index, const ProxyJudge& judge, const OwnAddresses& own,
                               const std::atomic<bool>& stop) {
            return CheckProxyAsListed(judge, own, WithKeptPassword(proxies[index]), stop);
        };
        RunBulkTests(proxies.size(), test, judges, atOnce, job.stop, receiver);
        RunResult ended;
        ended.kind = RunResult::Kind::ProxyTestsEnded;
        ended.run = run;
        ended.judgeReached = judgeReached;
        if (!job.stop)
            Hand(window, *results, std::move(ended));
    });
}

bool WindowBackgroundWork::StartBulkCheck(int run, const std::vector<net::ProxyAddress>& proxies) {
    HWND window = window_;
    std::shared_ptr<ResultBatch<RunResult>> results = results_;
    std::vector<ProxyJudge> judges = ConfiguredJudges();
    int atOnce = ConfiguredChecksAtOnce();
    SetTimer(window_, RunResultsTimerId, RunResultsTimerMs, nullptr);
    return Run(Kind::BulkCheck, [window, results, run, proxies, judges, atOnce](Job& job) {
        BulkCheckReceiver receiver;
        receiver.checked = [&](const BulkCheckResult& checked) {
            RunResult found;
            found.kind = RunResult::Kind::BulkChecked;
            found.checked.run = run;
            found.checked.index = checked.index;
            found.checked.check = checked.check;
            if (!job.stop)
                Hand(window, *results, std::move(found));
        };
        RunResult ended;
        ended.kind = RunResult::Kind::BulkCheckEnded;
        ended.run = run;
        ended.judgeReached = RunBulkCheck(proxies, judges, atOnce, job.stop, receiver);
        if (!job.stop)
            Hand(window, *results, std::move(ended));
    });
}

void WindowBackgroundWork::StopProxyTests() {
    for (const auto& job : jobs_) {
        if (job->kind == Kind::ProxyTests)
            job->stop = true;
    }
}

void WindowBackgroundWork::StopBulkCheck() {
    for (const auto& job : jobs_) {
        if (job->kind == Kind::BulkCheck)
            job->stop = true;
    }
}

void WindowBackgroundWork::AskToStop() {
    for (const auto& job : jobs_)
        job->stop = true;
}

void WindowBackgroundWork::Stop() {
    for (const auto& job : jobs_) {
        job->canceller.Cancel();
        job->stop = true;
    }
    auto until = std::chrono::steady_clock::now() + StopWait;
    for (const auto& job : jobs_) {
        bool done = false;
        {
            std::unique_lock<std::mutex> lock(job->mutex);
            done = job->ended.wait_until(lock, until, [&job] { return job->done; });
        }
        if (done) {
            Join(*job);
        } else {
            job->thread.detach();
            if (job->closer.joinable())
                job->closer.detach();
        }
    }
    jobs_.clear();
}

std::unique_ptr<ListDownload> WindowBackgroundWork::TakeListDownload(LPARAM lParam) {
    return std::unique_ptr<ListDownload>(reinterpret_cast<ListDownload*>(lParam));
}

std::unique_ptr<ListMerged> WindowBackgroundWork::TakeListMerged(LPARAM lParam) {
    return std::unique_ptr<ListMerged>(reinterpret_cast<ListMerged*>(lParam));
}

std::unique_ptr<ListLoaded> WindowBackgroundWork::TakeListLoaded(LPARAM lParam) {
    return std::unique_ptr<ListLoaded>(reinterpret_cast<ListLoaded*>(lParam));
}

std::unique_ptr<ProxyTestResult> WindowBackgroundWork::TakeProxyTestResult(LPARAM lParam) {
    return std::unique_ptr<ProxyTestResult>(reinterpret_cast<ProxyTestResult*>(lParam));
}
