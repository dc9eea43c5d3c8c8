#include "app/engine_startup.h"

#include "proxies/proxy_line.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

bool StartEngineFromSettings(LocalProxyServer& server) {
    if (!RegDwordValue(setting::UseProxy).IsOn())
        return true;
    ProxyLine proxy(RegStringValue(setting::ProxyName).Get());
    int localPort =
        static_cast<int>(RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
    if (server.IsRunning())
        server.Stop();
    return server.Start(localPort, 1, proxy.Host(), proxy.Port(), "", "");
}
