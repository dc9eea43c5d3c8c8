// A listener on 127.0.0.1 held while the object lives, on a port inside the
// range the local port test accepts (1025 to 64999), which a port the system
// hands out need not be.
#pragma once

#include <chrono>

#include "net/socket.h"

namespace testing_support {

class HeldPort {
public:
    explicit HeldPort(int backlog = 1) {
        // Test programs running side by side start their search apart.
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int port = 41000 + static_cast<int>(stamp % 500); port < 64000; port += 97) {
            socket_ = net::ListenTcp("127.0.0.1", port, backlog);
            if (socket_.IsValid()) {
                port_ = port;
                return;
            }
        }
    }
    // 0 when no port could be held.
    int Port() const { return port_; }
    bool IsHeld() const { return socket_.IsValid(); }

private:
    net::NetworkInit network_;
    net::Socket socket_;
    int port_ = 0;
};

// A port in the same range that nobody holds now: held, then let go.
inline int FreePort() {
    HeldPort probe;
    return probe.Port();
}

}  // namespace testing_support
