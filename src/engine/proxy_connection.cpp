#include "engine/proxy_connection.h"

#include <string>

namespace {
constexpr size_t MaxRequestHead = 64 * 1024;
constexpr int IdleTimeoutMs = 120 * 1000;
}  // namespace

ProxyConnection::ProxyConnection(net::Socket browser,
                                 std::shared_ptr<const UpstreamSettings> settings)
    : browser_(std::move(browser)), settings_(std::move(settings)) {}

void ProxyConnection::Run() {
    // Reads the request head and closes; forwarding comes with the relay.
    std::string head;
    char buffer[4096];
    while (head.size() < MaxRequestHead && head.find("\r\n\r\n") == std::string::npos) {
        if (net::WaitReadable(browser_, IdleTimeoutMs) <= 0)
            break;
        long got = net::Receive(browser_, buffer, sizeof(buffer));
        if (got <= 0)
            break;
        head.append(buffer, static_cast<size_t>(got));
    }
    browser_.Close();
}
