#include "app/local_port_test.h"

#include <cstdio>

#include "base/leading_number.h"
#include "engine/local_proxy_server.h"
#include "net/socket.h"

int LocalProxyServerStatus::ListeningPort() const {
    // A paused listener still holds its port, which is this engine's own.
    return server_.BoundPort();
}

namespace {

constexpr char ProductCaption[] = "Veilgate";

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
        return Report(port_test::EmptyPort, ProductCaption);
    int port = base::ParseLeadingInt(portText);
    if (port <= port_test::LowestRefused || port >= port_test::HighestRefused)
        return Report(port_test::OutOfRange, ProductCaption, true);
    if (engine && engine->ListeningPort() == port)
        return Report(port_test::Available, "Success");

    net::NetworkInit network;
    net::ListenFailure failure = net::ListenFailure::NoSocket;
    if (network.Ok()) {
        // The same bind the engine makes; the socket is closed again at once.
        net::ListenTcp("127.0.0.1", port, 1, &failure);
    }
    return ReportForListen(port, failure);
}

PortTestReport ReportForListen(int port, net::ListenFailure failure) {
    switch (failure) {
    case net::ListenFailure::None:
        return Report(port_test::Available, "Success");
    case net::ListenFailure::NoSocket:
        // Not the port's fault: trying other ports would not help.
        return Report(port_test::NoSocket, "Error");
    case net::ListenFailure::NotBound:
        break;
    }
    char text[128];
    std::snprintf(text, sizeof(text), port_test::InUseFormat, port);
    return Report(text, "Warning");
}
