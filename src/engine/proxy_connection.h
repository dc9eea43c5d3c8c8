// One browser connection, served on a thread of its own from accept to close.
#pragma once

#include <memory>

#include "engine/socket.h"
#include "engine/upstream_settings.h"

class ProxyConnection {
public:
    ProxyConnection(net::Socket browser, std::shared_ptr<const UpstreamSettings> settings);

    // Serves the connection; both sockets are closed when it returns.
    void Run();

private:
    net::Socket browser_;
    std::shared_ptr<const UpstreamSettings> settings_;
};
