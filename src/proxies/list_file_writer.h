// "MyProxies.txt" written on a thread of its own, which lives while there is
// something to write: the window hands over the rows and goes on. Only the latest rows wait, so the
// saves of a run of changes cost one write, and a failure is reported once until a write succeeds
// again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "proxies/proxy_list.h"

class ListFileWriter {
public:
    // Called on the writer's thread with the error of the first write that
    // failed after one that did not.
    using Failed = std::function<void(const std::string& error)>;

    explicit ListFileWriter(Failed failed);
    // Writes what still waits, for at most a second.
    ~ListFileWriter();
    ListFileWriter(const ListFileWriter&) = delete;
    ListFileWriter& operator=(const ListFileWriter&) = delete;

    // False when no thread could be started: the caller writes itself.
    bool Save(const std::string& path, std::vector<ProxyEntry> rows);
    // Waits until the rows handed over last are written, at most `limit`;
    // false when they are not yet.
    bool Flush(std::chrono::milliseconds limit);

private:
    // Shared with the thread, which a write held past the owner's end
    // outlives.
    struct State {
        Failed failed;
        std::mutex mutex;
        std::condition_variable written;
        bool waiting = false;  // rows wait to be written
        bool running = false;  // a thread writes, or is about to
        bool lastFailed = false;
        std::string path;
        std::vector<ProxyEntry> rows;
    };
    static void Run(State& state);

    std::shared_ptr<State> state_;
    std::thread thread_;
};
