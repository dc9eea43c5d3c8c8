#include "engine/upstream_settings.h"

#include "engine/authorization.h"

UpstreamSettings MakeUpstreamSettings(int useProxy, const std::string& proxyHost, int proxyPort,
                                      const std::string& userName, const std::string& password) {
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
    return settings;
}
