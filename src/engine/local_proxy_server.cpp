#include "engine/local_proxy_server.h"

#include <chrono>
#include <condition_variable>
#include <deque>

#include "engine/error_response.h"
#include "engine/proxy_connection.h"
#include "net/socket.h"

namespace {

// How long the listener waits for a connection before it looks at the stop
// request again, and how long it rests after a failed accept.
constexpr int AcceptPollMs = 100;
constexpr auto AcceptFailurePause = std::chrono::milliseconds(50);
// Browsers open many connections at once; a short queue would drop them.
constexpr int ListenBacklog = 128;
// How long a port that this engine has just closed is tried again.
constexpr auto RebindPatience = std::chrono::milliseconds(1200);
constexpr auto RebindPause = std::chrono::milliseconds(50);
// Threads kept waiting for the next connection, so that a page of many
// requests does not start a thread for each, and how long one waits.
constexpr int MaxIdleWorkers = 16;
constexpr auto WorkerPatience = std::chrono::seconds(30);
// Refused connections read from at once, and for how long. Few enough for
// one select() on Windows (64 sockets), beside the listener.
constexpr size_t MaxRefusedDraining = 32;
constexpr auto RefusedDrainTime = std::chrono::seconds(1);

struct Job {
    net::NativeSocket socket;
    std::shared_ptr<const UpstreamSettings> settings;
    int ownPort;
};

}  // namespace

// The connections waiting for a thread and the threads waiting for one.
// Shared with the threads, which outlive the listener and its object.
struct WorkerPool {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Job> jobs;
    int idleWorkers = 0;
    bool closed = false;  // idle threads end instead of waiting
    std::atomic<int> active{0};
    ConnectionLimits limits;
    std::shared_ptr<UpstreamChoice> upstream;
};

namespace {

// Takes the next job, or false when none came in time (or the pool closed).
bool TakeJob(WorkerPool& pool, Job& job) {
    std::unique_lock<std::mutex> lock(pool.mutex);
    if (pool.idleWorkers >= MaxIdleWorkers)
        return false;
    ++pool.idleWorkers;
    pool.ready.wait_for(lock, WorkerPatience, [&] { return !pool.jobs.empty() || pool.closed; });
    --pool.idleWorkers;
    if (pool.jobs.empty())
        return false;
    job = std::move(pool.jobs.front());
    pool.jobs.pop_front();
    return true;
}

void Serve(WorkerPool& pool, Job job) {
    try {
        ProxyConnection(net::Socket(job.socket), std::move(job.settings), pool.limits, job.ownPort,
                        pool.upstream)
            .Run();
    } catch (...) {
        // Out of memory inside one connection ends only that connection.
    }
    --pool.active;
}

// A worker serves its first job, then the next ones as they come.
void RunWorker(std::shared_ptr<WorkerPool> pool, std::unique_ptr<net::NetworkInit> network,
               Job first) {
    Serve(*pool, std::move(first));
    Job job;
    while (TakeJob(*pool, job))
        Serve(*pool, std::move(job));
}

}  // namespace

LocalProxyServer::LocalProxyServer(ConnectionLimits limits)
    : limits_(limits),
      upstream_(std::make_shared<UpstreamChoice>()),
      pool_(std::make_shared<WorkerPool>()) {
    pool_->limits = limits;
    pool_->upstream = upstream_;
}

LocalProxyServer::~LocalProxyServer() {
    // Connections still being served may find a candidate after this; the
    // one who asked to be told may be gone by then.
    upstream_->SetSwitchReport(nullptr);
    Stop();
}

void LocalProxyServer::SetSwitchReport(UpstreamSwitchReport report) {
    upstream_->SetSwitchReport(std::move(report));
}

bool LocalProxyServer::Start(int localPort, int useProxy, const net::ProxyAddress& proxy,
                             std::vector<UpstreamCandidate> failover) {
    if (listener_.joinable() && !stopRequested_ && boundPort_ == localPort) {
        UpdateSettings(localPort, useProxy, proxy, std::move(failover));
        serving_ = true;
        running_ = true;
        return true;
    }
    Stop();
    UpdateSettings(localPort, useProxy, proxy, std::move(failover));
    network_ = std::make_unique<net::NetworkInit>();
    net::Socket listener = network_->Ok() ? BindLocalPort(localPort) : net::Socket();
    if (!listener.IsValid()) {
        network_.reset();
        return false;
    }
    stopRequested_ = false;
    {
        std::lock_guard<std::mutex> lock(pool_->mutex);
        pool_->closed = false;
    }
    boundPort_ = localPort;
    serving_ = true;
    running_ = true;
    try {
        listener_ = std::thread(&LocalProxyServer::RunListener, this, std::move(listener));
    } catch (...) {
        running_ = false;
        boundPort_ = 0;
        network_.reset();
        return false;
    }
    return true;
}

int LocalProxyServer::UpdateSettings(int localPort, int useProxy, const net::ProxyAddress& proxy,
                                     std::vector<UpstreamCandidate> failover) {
    localPort_ = localPort;
    upstream_->Replace(std::make_shared<const UpstreamSettings>(
        MakeUpstreamSettings(useProxy, proxy, std::move(failover))));
    return 1;
}

bool LocalProxyServer::IsRunning() const {
    return running_;
}

void LocalProxyServer::Pause() {
    serving_ = false;
    running_ = false;
}

void LocalProxyServer::Stop() {
    bool wasListening = listener_.joinable();
    serving_ = false;
    running_ = false;
    stopRequested_ = true;
    if (wasListening) {
        listener_.join();
        releasedPort_ = boundPort_;
        boundPort_ = 0;
    }
    {
        // Threads waiting for work end now; those serving go on.
        std::lock_guard<std::mutex> lock(pool_->mutex);
        pool_->closed = true;
    }
    pool_->ready.notify_all();
    refused_.clear();
    network_.reset();
}

int LocalProxyServer::ActiveConnections() const {
    return pool_->active;
}

std::shared_ptr<const UpstreamSettings> LocalProxyServer::CurrentSettings() const {
    return upstream_->Current();
}

net::Socket LocalProxyServer::BindLocalPort(int port) {
    // Loopback only: the browsers are pointed at 127.0.0.1, and a proxy bound
    // to every interface would be open to anyone on the user's network.
    net::Socket listener = net::ListenTcp("127.0.0.1", port, ListenBacklog);
    if (port != releasedPort_)
        return listener;
    auto deadline = std::chrono::steady_clock::now() + RebindPatience;
    while (!listener.IsValid() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(RebindPause);
        listener = net::ListenTcp("127.0.0.1", port, ListenBacklog);
    }
    return listener;
}

void LocalProxyServer::RunListener(net::Socket listener) {
    std::vector<net::NativeSocket> sockets;
    std::unique_ptr<bool[]> readable(new bool[MaxRefusedDraining + 1]);
    while (!stopRequested_) {
        sockets.assign(1, listener.Get());
        for (const Refused& r : refused_)
            sockets.push_back(r.socket.Get());
        for (size_t i = 0; i < sockets.size(); ++i)
            readable[i] = false;
        int ready = net::WaitReadable(sockets.data(), readable.get(),
                                      static_cast<int>(sockets.size()), AcceptPollMs);
        DrainRefused(readable.get() + 1);
        if (ready == 0 || (ready > 0 && !readable[0]))
            continue;
        net::Socket browser;
        if (ready > 0)
            browser = net::AcceptConnection(listener);
        if (!browser.IsValid()) {
            std::this_thread::sleep_for(AcceptFailurePause);
            continue;
        }
        if (stopRequested_)
            break;
        if (!serving_)
            continue;  // closed as `browser` goes
        if (pool_->active >= limits_.maxConnections)
            RefuseConnection(std::move(browser));
        else
            StartConnection(std::move(browser));
    }
    running_ = false;
}

void LocalProxyServer::RefuseConnection(net::Socket browser) {
    static const std::string Busy =
        MakeErrorResponse(503, "Service Unavailable",
                          "Veilgate is serving as many connections as it can; try again.");
    // A fresh connection's send buffer is empty: this small page never waits.
    net::SendAll(browser, Busy);
    browser.ShutdownSend();
    if (refused_.size() < MaxRefusedDraining)
        refused_.push_back(
            {std::move(browser), std::chrono::steady_clock::now() + RefusedDrainTime});
}

void LocalProxyServer::DrainRefused(const bool* readable) {
    auto now = std::chrono::steady_clock::now();
    std::vector<Refused> kept;
    for (size_t i = 0; i < refused_.size(); ++i) {
        bool done = now >= refused_[i].until;
        if (!done && readable[i]) {
            char buffer[4096];
            done = net::Receive(refused_[i].socket, buffer, sizeof(buffer)) <= 0;
        }
        if (!done)
            kept.push_back(std::move(refused_[i]));
    }
    refused_ = std::move(kept);
}

void LocalProxyServer::StartConnection(net::Socket browser) {
    Job job{browser.Detach(), CurrentSettings(), boundPort_};
    ++pool_->active;
    bool needWorker;
    {
        std::lock_guard<std::mutex> lock(pool_->mutex);
        needWorker = pool_->idleWorkers <= static_cast<int>(pool_->jobs.size());
        if (!needWorker)
            pool_->jobs.push_back(job);
    }
    if (!needWorker) {
        pool_->ready.notify_one();
        return;
    }
    try {
        // The new thread's hold on Windows Sockets is taken here, before the
        // hand-over: a listener that stops meanwhile must not release the
        // last hold and so close the socket that is on its way to it.
        auto network = std::make_unique<net::NetworkInit>();
        std::thread(RunWorker, pool_, std::move(network), job).detach();
    } catch (...) {
        --pool_->active;
        net::Socket(job.socket).Close();  // no thread: the browser sees the close
    }
}
