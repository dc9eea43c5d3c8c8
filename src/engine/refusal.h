// The engine's own answer to a browser it will not serve, on the event loop:
// the page is sent, the sending side closed, and what the browser still
// sends is read for a moment before the socket closes. Closing with unread
// bytes would reset the connection and could take the answer with it.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

struct RefusalLimits {
    // The page must be taken within this, like any other write.
    std::chrono::milliseconds sendFor;
    // How long, and how much, is read after it.
    std::chrono::milliseconds drainFor;
    size_t drainBytes;
};

// Sends `response` over `browser` and drains it as above; `owner` (when
// given) is kept until the socket closes, so that a connection still counts
// while its refusal is under way.
void StartRefusal(asio::io_context& io, asio::ip::tcp::socket browser, std::string response,
                  RefusalLimits limits, std::shared_ptr<void> owner = nullptr);
