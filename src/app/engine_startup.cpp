#include "app/engine_startup.h"

#include <cstdlib>

#include "settings/reg_value.h"
#include "settings/settings_names.h"

void SplitProxyName(const std::string& proxyName, std::string& host, int& port) {
    size_t colon = proxyName.find(':');
    host = proxyName.substr(0, colon);
    port = colon == std::string::npos ? 0 : std::atoi(proxyName.c_str() + colon + 1);
}

bool StartEngineFromSettings(LocalProxyServer& server) {
    if (!RegDwordValue(setting::UseProxy).IsOn())
        return true;
    std::string host;
    int port = 0;
    SplitProxyName(RegStringValue(setting::ProxyName).Get(), host, port);
    int localPort =
        static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
    if (server.IsRunning())
        server.Stop();
    return server.Start(localPort, 1, host, port, "", "");
}
