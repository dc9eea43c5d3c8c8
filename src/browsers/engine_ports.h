// The local ports that Veilgate has pointed the browsers at. A port change
// while anonymous browsing is on, or a run that crashed on another port,
// leaves settings that point at 127.0.0.1 on a port other than today's: they
// are still Veilgate's, never the user's own, and must not be saved or kept
// as such.
#pragma once

#include <string>
#include <vector>

#include "settings/settings_backend.h"

// Below HKEY_CURRENT_USER, beside the records of what the user had: the
// ports, newest first, as decimal numbers separated by commas.
constexpr char EnginePortsKey[] = "Software\\Veilgate\\EnginePorts";
// Enough for every port a user tries out in one sitting; a port older than
// that has long been put back.
constexpr size_t KeptEnginePorts = 8;

// The remembered ports, newest first; empty when none are.
std::vector<int> UsedEnginePorts(SettingsBackend& backend = DefaultSettingsBackend());
// Puts `port` first in the remembered ports and keeps the newest
// KeptEnginePorts of them.
bool RememberEnginePort(int port, SettingsBackend& backend = DefaultSettingsBackend());
// The remembered ports with `port` added (not stored), for a caller that
// knows the port in use now.
std::vector<int> EnginePortsWith(int port, SettingsBackend& backend = DefaultSettingsBackend());

// The port of a proxy server text "127.0.0.1:<port>" or "localhost:<port>"
// (the name in any case); 0 for any other text.
int LoopbackPort(const std::string& server);
// Whether `server` names the loopback address on one of `ports`.
bool IsEngineServer(const std::string& server, const std::vector<int>& ports);
// Whether `host` (a name, possibly quoted) names the loopback address.
bool IsLoopbackHost(const std::string& host);
