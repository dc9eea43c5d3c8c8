#include "privacy/auto_clean_thread.h"

#include "base/leading_number.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

uint32_t ParseIntervalMinutes(const std::string& text) {
    int minutes = base::ParseLeadingInt(text);
    if (minutes < 0)
        return 0;
    return static_cast<uint32_t>(minutes) > MaxIntervalMinutes ? MaxIntervalMinutes
                                                               : static_cast<uint32_t>(minutes);
}

uint32_t ReadIntervalMinutes(SettingsBackend& backend) {
    RegStringValue interval(setting::Sleep, "", false, SettingsRoot::Product, backend);
    return ParseIntervalMinutes(interval.Get());
}

std::chrono::milliseconds IntervalToWait(uint32_t minutes) {
    // An empty or zero interval would run passes back to back for as long as
    // the program runs, walking the user's folders without rest: it waits one
    // minute instead.
    uint32_t atLeastOne = minutes == 0 ? 1 : minutes;
    return std::chrono::milliseconds(static_cast<int64_t>(atLeastOne) * 60000);
}

AutoCleanThread::AutoCleanThread(AutoCleanWork& work) : work_(work) {}

AutoCleanThread::~AutoCleanThread() {
    StopThread();
    std::lock_guard<std::mutex> lock(controlMutex_);
    for (auto& run : retired_) {
        if (run->thread.joinable())
            run->thread.join();
    }
    retired_.clear();
}

bool AutoCleanThread::StartThread() {
    std::lock_guard<std::mutex> lock(controlMutex_);
    ReapFinished();
    if (current_) {
        // A second start without a stop would mean two threads cleaning.
        current_->stop->RequestStop();
        retired_.push_back(std::move(current_));
    }
    auto run = std::make_unique<Run>();
    run->stop = std::make_shared<StopToken>();
    run->finished = std::make_shared<std::atomic<bool>>(false);
    try {
        std::shared_ptr<StopToken> stop = run->stop;
        std::shared_ptr<std::atomic<bool>> finished = run->finished;
        run->thread = std::thread([this, stop, finished] {
            ThreadEntry(*stop);
            finished->store(true);
        });
    } catch (...) {
        return false;
    }
    current_ = std::move(run);
    return true;
}

void AutoCleanThread::StopThread() {
    std::lock_guard<std::mutex> lock(controlMutex_);
    if (!current_)
        return;
    current_->stop->RequestStop();
    retired_.push_back(std::move(current_));
}

bool AutoCleanThread::IsStarted() const {
    std::lock_guard<std::mutex> lock(controlMutex_);
    return current_ != nullptr;
}

void AutoCleanThread::ReapFinished() {
    for (auto it = retired_.begin(); it != retired_.end();) {
        if ((*it)->finished->load()) {
            (*it)->thread.join();
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
}

void AutoCleanThread::ThreadEntry(const StopToken& stop) {
    // Nothing may unwind out of a thread's entry.
    try {
        work_.BeforeRun();
        RunLoop(stop);
        work_.AfterRun();
    } catch (...) {
    }
}

void AutoCleanThread::RunLoop(const StopToken& stop) {
    while (!stop.StopRequested()) {
        {
            std::lock_guard<std::mutex> pass(passMutex_);
            // The wait for the lock may have been long; look again.
            if (stop.StopRequested())
                return;
            work_.RunPass(stop);
        }
        if (stop.StopRequested())
            return;
        if (stop.WaitForStop(IntervalToWait(work_.IntervalMinutes())))
            return;
    }
}
