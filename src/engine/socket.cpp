#include "engine/socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <vector>

namespace net {

namespace {

#ifdef _WIN32
using SockLen = int;
constexpr int SendFlags = 0;
bool WouldBlock(int error) { return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS; }
bool SetNonBlocking(NativeSocket s, bool on) {
    u_long mode = on ? 1 : 0;
    return ioctlsocket(s, FIONBIO, &mode) == 0;
}
void CloseNative(NativeSocket s) { closesocket(s); }
#else
using SockLen = socklen_t;
constexpr int SendFlags = MSG_NOSIGNAL;  // a closed peer is an error, not a signal
bool WouldBlock(int error) { return error == EINPROGRESS || error == EWOULDBLOCK; }
bool SetNonBlocking(NativeSocket s, bool on) {
    int flags = fcntl(s, F_GETFL, 0);
    if (flags < 0)
        return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(s, F_SETFL, flags) == 0;
}
void CloseNative(NativeSocket s) { close(s); }
#endif

Socket NewTcpSocket() {
    return Socket(socket(AF_INET, SOCK_STREAM, 0));
}

// Waits for a non-blocking connect to finish; true when it succeeded.
bool FinishConnect(const Socket& socket, int timeoutMs, std::string& reason) {
#ifdef _WIN32
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket.Get(), &writable);
    FD_SET(socket.Get(), &failed);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(0, nullptr, &writable, &failed, &limit);
#else
    pollfd entry{socket.Get(), POLLOUT, 0};
    int ready = poll(&entry, 1, timeoutMs);
#endif
    if (ready == 0) {
        reason = "connection timed out";
        return false;
    }
    if (ready < 0) {
        reason = "connection failed";
        return false;
    }
    int error = 0;
    SockLen size = sizeof(error);
    getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    if (error != 0) {
        reason = "connection refused";
        return false;
    }
    return true;
}

}  // namespace

NativeSocket InvalidNativeSocket() {
#ifdef _WIN32
    return INVALID_SOCKET;
#else
    return -1;
#endif
}

NetworkInit::NetworkInit() {
#ifdef _WIN32
    WSADATA data;
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
#else
    ok_ = true;
#endif
}

NetworkInit::~NetworkInit() {
#ifdef _WIN32
    if (ok_)
        WSACleanup();
#endif
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        socket_ = other.Detach();
    }
    return *this;
}

NativeSocket Socket::Detach() {
    NativeSocket s = socket_;
    socket_ = InvalidNativeSocket();
    return s;
}

void Socket::Close() {
    if (IsValid())
        CloseNative(Detach());
}

void Socket::ShutdownSend() {
#ifdef _WIN32
    shutdown(socket_, SD_SEND);
#else
    shutdown(socket_, SHUT_WR);
#endif
}

int LastSocketError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

Socket ListenTcp(const std::string& address, int port, int backlog) {
    Socket listener = NewTcpSocket();
    if (!listener.IsValid())
        return Socket();
#ifndef _WIN32
    // Lets a restarted listener bind while old connections linger in
    // TIME_WAIT; a port held by another listener still fails to bind.
    int on = 1;
    setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
#endif
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
        return Socket();
    if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0)
        return Socket();
    if (listen(listener.Get(), backlog) != 0)
        return Socket();
    return listener;
}

Socket AcceptConnection(const Socket& listener) {
    return Socket(accept(listener.Get(), nullptr, nullptr));
}

int LocalPortOf(const Socket& socket) {
    sockaddr_in local{};
    SockLen size = sizeof(local);
    if (getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohs(local.sin_port);
}

Socket ConnectTcp(const std::string& host, int port, int timeoutMs, std::string* error) {
    std::string reason = "cannot resolve the host name";
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (host.empty() || getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        if (error)
            *error = reason;
        return Socket();
    }
    Socket connected;
    for (addrinfo* address = found; address && !connected.IsValid(); address = address->ai_next) {
        Socket attempt = NewTcpSocket();
        if (!attempt.IsValid() || !SetNonBlocking(attempt.Get(), true)) {
            reason = "cannot create a socket";
            continue;
        }
        int result = connect(attempt.Get(), address->ai_addr, static_cast<SockLen>(address->ai_addrlen));
        if (result != 0 && !WouldBlock(LastSocketError())) {
            reason = "connection refused";
            continue;
        }
        if (result != 0 && !FinishConnect(attempt, timeoutMs, reason))
            continue;
        if (SetNonBlocking(attempt.Get(), false))
            connected = std::move(attempt);
    }
    freeaddrinfo(found);
    if (!connected.IsValid() && error)
        *error = reason;
    return connected;
}

bool SendAll(const Socket& socket, const char* data, size_t length) {
    while (length > 0) {
        int chunk = static_cast<int>(length > 1 << 30 ? 1 << 30 : length);
        auto sent = send(socket.Get(), data, chunk, SendFlags);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool SendAll(const Socket& socket, const std::string& data) {
    return SendAll(socket, data.data(), data.size());
}

long Receive(const Socket& socket, char* buffer, size_t length) {
    int chunk = static_cast<int>(length > 1 << 30 ? 1 << 30 : length);
    auto got = recv(socket.Get(), buffer, chunk, 0);
    return got < 0 ? -1 : static_cast<long>(got);
}

int WaitReadable(const NativeSocket* sockets, bool* readable, int count, int timeoutMs) {
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    for (int i = 0; i < count; ++i)
        FD_SET(sockets[i], &set);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(0, &set, nullptr, nullptr, timeoutMs < 0 ? nullptr : &limit);
    if (ready <= 0)
        return ready < 0 ? -1 : 0;
    for (int i = 0; i < count; ++i)
        readable[i] = FD_ISSET(sockets[i], &set) != 0;
    return ready;
#else
    std::vector<pollfd> entries(count);
    for (int i = 0; i < count; ++i)
        entries[i] = pollfd{sockets[i], POLLIN, 0};
    int ready;
    do {
        ready = poll(entries.data(), entries.size(), timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return ready < 0 ? -1 : 0;
    for (int i = 0; i < count; ++i)
        readable[i] = (entries[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    return ready;
#endif
}

int WaitReadable(const Socket& socket, int timeoutMs) {
    NativeSocket native = socket.Get();
    bool readable = false;
    return WaitReadable(&native, &readable, 1, timeoutMs);
}

}  // namespace net
