#include "engine/upstream_settings.h"

#include "engine/authorization.h"

UpstreamSettings MakeUpstreamSettings(int useProxy, const net::ProxyAddress& proxy,
                                      std::vector<UpstreamCandidate> failover) {
    UpstreamSettings settings;
    settings.useProxy = useProxy;
    settings.proxyHost = proxy.host;
    settings.proxyPort = proxy.port;
    settings.proxyType = proxy.type;
    settings.userName = proxy.userName;
    settings.password = proxy.password;
    if (useProxy == 1 && proxy.type == net::ProxyType::Http && !proxy.userName.empty()) {
        settings.authorizationFlag = 1;
        settings.authorizationLine = MakeAuthorizationLine(proxy.userName, proxy.password);
    }
    settings.failover = std::move(failover);
    return settings;
}

net::ProxyAddress ActiveProxy(const UpstreamSettings& settings) {
    return {settings.proxyHost, settings.proxyPort, settings.proxyType, settings.userName,
            settings.password};
}

bool SendsToHttpProxy(const UpstreamSettings& settings) {
    return settings.useProxy == 1 && settings.proxyType == net::ProxyType::Http;
}

UpstreamSettings FailoverSettings(const UpstreamSettings& from, size_t index) {
    const std::vector<UpstreamCandidate>& ring = from.failover;
    std::vector<UpstreamCandidate> after(ring.begin() + static_cast<long>(index) + 1, ring.end());
    after.push_back(ActiveProxy(from));
    after.insert(after.end(), ring.begin(), ring.begin() + static_cast<long>(index));
    return MakeUpstreamSettings(1, ring[index], std::move(after));
}
