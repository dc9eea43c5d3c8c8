#include "proxies/list_file_writer.h"

#include "base/files.h"

ListFileWriter::ListFileWriter(Failed failed) : state_(std::make_shared<State>()) {
    state_->failed = std::move(failed);
}

ListFileWriter::~ListFileWriter() {
    bool written = Flush(std::chrono::seconds(1));
    if (!thread_.joinable())
        return;
    // A write the disk still holds is left to end on its own, with the
    // state it shares.
    if (written)
        thread_.join();
    else
        thread_.detach();
}

bool ListFileWriter::Save(const std::string& path, std::vector<ProxyEntry> rows) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->path = path;
    state_->rows = std::move(rows);
    state_->waiting = true;
    if (state_->running)
        return true;
    // The thread lives only while there is something to write. One that
    // has ended needs nothing more of the lock.
    if (thread_.joinable())
        thread_.join();
    std::shared_ptr<State> state = state_;
    try {
        thread_ = std::thread([state] { Run(*state); });
    } catch (...) {
        state_->waiting = false;
        return false;
    }
    state_->running = true;
    return true;
}

bool ListFileWriter::Flush(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->written.wait_for(lock, limit, [this] { return !state_->running; });
}

void ListFileWriter::Run(State& state) {
    std::unique_lock<std::mutex> lock(state.mutex);
    while (state.waiting) {
        std::string path = std::move(state.path);
        std::vector<ProxyEntry> rows = std::move(state.rows);
        state.waiting = false;
        lock.unlock();
        std::string error;
        bool written = base::ReplaceWholeFile(path, FormatProxyListFile(rows), &error);
        lock.lock();
        bool tell = !written && !state.lastFailed;
        state.lastFailed = !written;
        if (tell && state.failed) {
            lock.unlock();
            state.failed(error);
            lock.lock();
        }
    }
    state.running = false;
    state.written.notify_all();
}
