#include "browsers/engine_ports.h"

#include <algorithm>

#include "base/text_compare.h"

namespace {

constexpr SettingsRoot Root = SettingsRoot::CurrentUser;
constexpr char PortsName[] = "Ports";
constexpr int HighestPort = 65535;

bool IsPort(const std::string& digits) {
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    int port = std::stoi(digits);
    return port > 0 && port <= HighestPort;
}

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

}  // namespace

std::vector<int> UsedEnginePorts(SettingsBackend& backend) {
    std::vector<int> ports;
    std::string text;
    if (!backend.ReadText(Root, EnginePortsKey, PortsName, text))
        return ports;
    size_t start = 0;
    while (start <= text.size() && ports.size() < KeptEnginePorts) {
        size_t comma = std::min(text.find(',', start), text.size());
        std::string digits = text.substr(start, comma - start);
        // Only what this program wrote is taken: anything else is no port.
        if (IsPort(digits))
            ports.push_back(std::stoi(digits));
        start = comma + 1;
    }
    return ports;
}

bool RememberEnginePort(int port, SettingsBackend& backend) {
    if (port <= 0 || port > HighestPort)
        return false;
    std::vector<int> ports = UsedEnginePorts(backend);
    ports.erase(std::remove(ports.begin(), ports.end(), port), ports.end());
    ports.insert(ports.begin(), port);
    if (ports.size() > KeptEnginePorts)
        ports.resize(KeptEnginePorts);
    std::string text;
    for (int each : ports)
        text += (text.empty() ? "" : ",") + std::to_string(each);
    return backend.WriteText(Root, EnginePortsKey, PortsName, text);
}

std::vector<int> EnginePortsWith(int port, SettingsBackend& backend) {
    std::vector<int> ports = UsedEnginePorts(backend);
    if (port > 0 && std::find(ports.begin(), ports.end(), port) == ports.end())
        ports.insert(ports.begin(), port);
    return ports;
}

bool IsLoopbackHost(const std::string& host) {
    std::string name = Unquoted(host);
    return name == "127.0.0.1" || base::EqualsIgnoringCase(name, "localhost");
}

int LoopbackPort(const std::string& server) {
    size_t colon = server.rfind(':');
    if (colon == std::string::npos || !IsLoopbackHost(server.substr(0, colon)) ||
        server.front() == '"')
        return 0;
    std::string digits = server.substr(colon + 1);
    return IsPort(digits) ? std::stoi(digits) : 0;
}

bool IsEngineServer(const std::string& server, const std::vector<int>& ports) {
    int port = LoopbackPort(server);
    return port != 0 && std::find(ports.begin(), ports.end(), port) != ports.end();
}
