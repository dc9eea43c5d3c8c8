#include "app/local_port_test.h"

#include <cstdio>
#include <cstdlib>

#include "engine/local_proxy_server.h"
#include "engine/socket.h"

int LocalProxyServerStatus::ListeningPort() const {
    return server_.IsRunning() ? server_.LocalPort() : 0;
}

namespace {

constexpr char kProductCaption[] = "Veilgate";

PortTestReport Report(const std::string& text, const std::string& caption, bool clear = false) {
    PortTestReport report;
    report.text = text;
    report.caption = caption;
    report.clearPortText = clear;
    return report;
}

}  // namespace

PortTestReport TestLocalPort(const std::string& portText, const EngineStatus* engine) {
    if (portText.empty())
        return Report(port_test::kEmptyPort, kProductCaption);
    int port = std::atoi(portText.c_str());
    if (port <= port_test::kLowestRefused || port >= port_test::kHighestRefused)
        return Report(port_test::kOutOfRange, kProductCaption, true);
    if (engine && engine->ListeningPort() == port)
        return Report(port_test::kAvailable, "Success");

    net::NetworkInit network;
    if (!network.Ok())
        return Report(port_test::kNoSocket, "Error");
    // The same bind the engine makes; the socket is closed again at once.
    net::Socket probe = net::ListenTcp("127.0.0.1", port, 1);
    if (probe.IsValid())
        return Report(port_test::kAvailable, "Success");
    char text[128];
    std::snprintf(text, sizeof(text), port_test::kInUseFormat, port);
    return Report(text, "Warning");
}
