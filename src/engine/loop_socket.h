// Closing a socket on the engine's loop.
#pragma once

#include <asio/ip/tcp.hpp>

// Ends every operation pending on the socket (their handlers are told that
// it was aborted), then closes it. Windows ends them at closesocket too, but
// Wine leaves a send that waits for room pending for ever, and the loop with
// it; cancelling first ends them everywhere.
inline void CancelAndClose(asio::ip::tcp::socket& socket) {
    asio::error_code ignored;
    socket.cancel(ignored);
    socket.close(ignored);
}

inline void CancelAndClose(asio::ip::tcp::acceptor& acceptor) {
    asio::error_code ignored;
    acceptor.cancel(ignored);
    acceptor.close(ignored);
}
