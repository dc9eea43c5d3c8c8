// Brings the engine up on the stored proxy, as the main window does when the
// program starts with anonymous browsing switched on.
#pragma once

#include "engine/local_proxy_server.h"

// When UseProxy is 1: (re)starts the engine on LocalPort for the host and port
// of ProxyName (split by the proxy line's rule). Returns false only when the
// engine's thread cannot start.
bool StartEngineFromSettings(LocalProxyServer& server);
