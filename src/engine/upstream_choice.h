// Which upstream proxy the engine forwards to, shared by the listener and
// the connection threads (which may outlive it): the settings snapshot that
// new connections take, the proxies that failed lately, and the switch to a
// candidate that answered for the active proxy.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/upstream_settings.h"

// Told on the connection thread that made the switch.
using UpstreamSwitchReport =
    std::function<void(const UpstreamCandidate& from, const UpstreamCandidate& to)>;

class UpstreamChoice {
public:
    // How long a proxy that did not answer is passed over as a candidate.
    static constexpr std::chrono::seconds FailureMemory{60};

    UpstreamChoice();

    std::shared_ptr<const UpstreamSettings> Current() const;
    void Replace(std::shared_ptr<const UpstreamSettings> settings);
    void SetSwitchReport(UpstreamSwitchReport report);

    void NoteFailure(const UpstreamCandidate& proxy);
    // Whether the proxy did not answer within FailureMemory.
    bool FailedLately(const UpstreamCandidate& proxy) const;
    // A request taken with `from` was served through `answered`, which then
    // becomes the current settings and is reported, unless the settings
    // were replaced since `from` was current: the user's later choice (or
    // another connection's switch) stands.
    void SwitchTo(const std::shared_ptr<const UpstreamSettings>& from,
                  std::shared_ptr<const UpstreamSettings> answered);

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const UpstreamSettings> settings_;
    UpstreamSwitchReport report_;
    // "host:port" of each proxy that did not answer, and when.
    std::map<std::string, std::chrono::steady_clock::time_point> failedAt_;
};
