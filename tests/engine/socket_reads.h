// Reading what a loopback peer sends, with a bound on the wait.
#pragma once

#include <string>

#include "net/socket.h"

// Reads until `count` bytes came, the peer closed or five seconds passed
// without a byte.
inline std::string ReceiveSome(const net::Socket& socket, size_t count) {
    std::string got;
    char buffer[4096];
    while (got.size() < count && net::WaitReadable(socket, 5000) > 0) {
        long n = net::Receive(socket, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}
