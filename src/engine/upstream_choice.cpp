#include "engine/upstream_choice.h"

namespace {

std::string KeyOf(const UpstreamCandidate& proxy) {
    return net::FormatProxyAddress(proxy, net::Secrets::UserName);
}

}  // namespace

constexpr std::chrono::seconds UpstreamChoice::FailureMemory;

UpstreamChoice::UpstreamChoice() : settings_(std::make_shared<UpstreamSettings>()) {}

std::shared_ptr<const UpstreamSettings> UpstreamChoice::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}

void UpstreamChoice::Replace(std::shared_ptr<const UpstreamSettings> settings) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = std::move(settings);
}

void UpstreamChoice::SetSwitchReport(UpstreamSwitchReport report) {
    std::lock_guard<std::mutex> lock(mutex_);
    report_ = std::move(report);
}

void UpstreamChoice::NoteFailure(const UpstreamCandidate& proxy) {
    auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    // Old entries go, so that a long run through many dead proxies does
    // not keep them all.
    for (auto entry = failedAt_.begin(); entry != failedAt_.end();) {
        if (now - entry->second >= FailureMemory)
            entry = failedAt_.erase(entry);
        else
            ++entry;
    }
    failedAt_[KeyOf(proxy)] = now;
}

bool UpstreamChoice::FailedLately(const UpstreamCandidate& proxy) const {
    auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    auto entry = failedAt_.find(KeyOf(proxy));
    return entry != failedAt_.end() && now - entry->second < FailureMemory;
}

void UpstreamChoice::SwitchTo(const std::shared_ptr<const UpstreamSettings>& from,
                              std::shared_ptr<const UpstreamSettings> answered) {
    UpstreamSwitchReport report;
    UpstreamCandidate to = ActiveProxy(*answered);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (settings_ != from)
            return;
        settings_ = std::move(answered);
        failedAt_.erase(KeyOf(to));
        report = report_;
    }
    // Outside the lock: the report may take its time, and connections
    // starting meanwhile must not wait for it.
    if (report)
        report(ActiveProxy(*from), to);
}
