#include "engine/upstream_settings.h"

#include "engine/authorization.h"

UpstreamSettings MakeUpstreamSettings(int useProxy, const std::string& proxyHost, int proxyPort,
                                      const std::string& userName, const std::string& password,
                                      std::vector<UpstreamCandidate> failover) {
    UpstreamSettings settings;
    settings.useProxy = useProxy;
    settings.proxyHost = proxyHost;
    settings.proxyPort = proxyPort;
    settings.userName = userName;
    settings.password = password;
    if (useProxy == 1 && !userName.empty()) {
        settings.authorizationFlag = 1;
        settings.authorizationLine = MakeAuthorizationLine(userName, password);
    }
    settings.failover = std::move(failover);
    return settings;
}

UpstreamSettings FailoverSettings(const UpstreamSettings& from, size_t index) {
    const std::vector<UpstreamCandidate>& ring = from.failover;
    std::vector<UpstreamCandidate> after(ring.begin() + static_cast<long>(index) + 1, ring.end());
    after.push_back({from.proxyHost, from.proxyPort});
    after.insert(after.end(), ring.begin(), ring.begin() + static_cast<long>(index));
    return MakeUpstreamSettings(1, ring[index].host, ring[index].port, "", "", std::move(after));
}
