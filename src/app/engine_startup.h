// Brings the engine up on the stored proxy, as the main window does when the
// program starts with anonymous browsing switched on.
#pragma once

#include <string>

#include "engine/local_proxy_server.h"

// Host and port of a "host:port" text, split at its first colon; the port is
// 0 when there is no colon.
void SplitProxyName(const std::string& proxyName, std::string& host, int& port);

// When UseProxy is 1: (re)starts the engine on LocalPort for the host and port
// of ProxyName. Returns false only when the engine's thread cannot start.
bool StartEngineFromSettings(LocalProxyServer& server);
