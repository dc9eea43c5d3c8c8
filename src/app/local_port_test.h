// "Test Local Proxy Port": whether the engine could listen on the port the
// user typed. The answer is the truth of the moment: the port is tried for
// real on 127.0.0.1, where the engine listens.
#pragma once

#include <string>

#include "net/socket.h"

class LocalProxyServer;

// What the port test needs to know of the running engine.
class EngineStatus {
public:
    virtual ~EngineStatus() = default;
    // The port the engine listens on now, 0 when it is not listening.
    virtual int ListeningPort() const = 0;
};

// The status of a LocalProxyServer.
class LocalProxyServerStatus : public EngineStatus {
public:
    explicit LocalProxyServerStatus(const LocalProxyServer& server) : server_(server) {}
    int ListeningPort() const override;

private:
    const LocalProxyServer& server_;
};

namespace port_test {
constexpr char EmptyPort[] = "Please specify a port number";
constexpr char OutOfRange[] = "Please specify a port value within 1024 ... 65000 interval";
constexpr char NoSocket[] = "Unable to connect to create socket";
constexpr char Available[] = "Proxy Port is Available and can be used by Veilgate";
constexpr char InUseFormat[] = "Port %d is already in use. Please choose another port.";
// Valid ports lie strictly between these two.
constexpr int LowestRefused = 1024;
constexpr int HighestRefused = 65000;
}  // namespace port_test

// What the user is told, and whether the port field is emptied.
struct PortTestReport {
    std::string text;
    std::string caption;
    bool clearPortText = false;
};

// Empty text, then the range (1025 to 64999, the number at the start of the
// text), then a real bind on 127.0.0.1. A port that Veilgate's own running
// engine holds counts as available. `engine` may be null (no engine).
PortTestReport TestLocalPort(const std::string& portText, const EngineStatus* engine);

// What the user is told after the bind was tried: available, in use, or
// no socket to try it with at all.
PortTestReport ReportForListen(int port, net::ListenFailure failure);
