#include "net/socket.h"

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

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace net {

namespace {

#ifdef _WIN32
using SockLen = int;
constexpr int SendFlags = 0;
bool WouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}
bool SetNonBlocking(NativeSocket s, bool on) {
    u_long mode = on ? 1 : 0;
    return ioctlsocket(s, FIONBIO, &mode) == 0;
}
void CloseNative(NativeSocket s) {
    closesocket(s);
}
#else
using SockLen = socklen_t;
constexpr int SendFlags = MSG_NOSIGNAL;  // a closed peer is an error, not a signal
bool WouldBlock(int error) {
    return error == EINPROGRESS || error == EWOULDBLOCK;
}
bool SetNonBlocking(NativeSocket s, bool on) {
    // A socket carries no other status flag here, so one call sets or clears
    // it without reading the flags first.
    return fcntl(s, F_SETFL, on ? O_NONBLOCK : 0) == 0;
}
void CloseNative(NativeSocket s) {
    close(s);
}
#endif

Socket NewTcpSocket() {
    return Socket(socket(AF_INET, SOCK_STREAM, 0));
}

// A socket for a connect with a time-out, non-blocking from the start where
// the system can make it so in the same call.
Socket NewConnectingSocket() {
#ifdef SOCK_NONBLOCK
    return Socket(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
#else
    Socket s = NewTcpSocket();
    if (s.IsValid() && !SetNonBlocking(s.Get(), true))
        s.Close();
    return s;
#endif
}

}  // namespace

// A few words on why a connect failed, for the page the browser is shown.
std::string ConnectFailureReason(int error) {
#ifdef _WIN32
    switch (error) {
    case WSAECONNREFUSED:
        return "connection refused";
    case WSAETIMEDOUT:
        return "connection timed out";
    case WSAEHOSTUNREACH:
        return "host unreachable";
    case WSAENETUNREACH:
        return "network unreachable";
    default:
        return "connection failed";
    }
#else
    switch (error) {
    case ECONNREFUSED:
        return "connection refused";
    case ETIMEDOUT:
        return "connection timed out";
    case EHOSTUNREACH:
        return "host unreachable";
    case ENETUNREACH:
        return "network unreachable";
    default:
        return "connection failed";
    }
#endif
}

namespace {

// How often a connect that may be given up looks at its stop flag.
constexpr int StopCheckMs = 50;

int WaitWritable(const Socket& socket, int timeoutMs, bool& failed);

// Waits for a non-blocking connect to finish; true when it succeeded. With
// `stop`, the wait goes in short slices and ends as soon as it is set.
bool FinishConnect(const Socket& socket, int timeoutMs, std::string& reason,
                   const std::atomic<bool>* stop = nullptr) {
    int ready = 0;
    bool failed = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left < 0)
            left = 0;
        if (stop && *stop) {
            reason = "connection given up";
            return false;
        }
        int slice = stop && left > StopCheckMs ? StopCheckMs : left;
        ready = WaitWritable(socket, slice, failed);
        if (ready != 0 || slice == left)
            break;
    }
    if (ready == 0) {
        reason = "connection timed out";
        return false;
    }
    if (ready < 0) {
        reason = "connection failed";
        return false;
    }
    // A connect that the wait reports without an error has succeeded; only
    // a failed one is asked why, which spares every good connect a call.
    if (!failed)
        return true;
    int error = 0;
    SockLen size = sizeof(error);
    getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    if (error != 0) {
        reason = ConnectFailureReason(error);
        return false;
    }
    return true;
}

// 1 when the connect in progress has finished, well or badly (then
// `failed`); 0 on time-out, -1 when the wait itself failed.
int WaitWritable(const Socket& socket, int timeoutMs, bool& failed) {
#ifdef _WIN32
    fd_set writable, failures;
    FD_ZERO(&writable);
    FD_ZERO(&failures);
    FD_SET(socket.Get(), &writable);
    FD_SET(socket.Get(), &failures);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(0, nullptr, &writable, &failures, &limit);
    failed = ready > 0 && (FD_ISSET(socket.Get(), &failures) || !FD_ISSET(socket.Get(), &writable));
#else
    pollfd entry{socket.Get(), POLLOUT, 0};
    int ready;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    failed = ready > 0 && (entry.revents & (POLLERR | POLLHUP | POLLNVAL | POLLOUT)) != POLLOUT;
#endif
    return ready;
}

// How often a caller waiting on a name lookup looks at its stop flag.
constexpr auto LookupStopCheck = std::chrono::milliseconds(50);

// The IPv4 addresses of a host name, from the system's resolver, however
// long it takes.
std::vector<sockaddr_in> LookUpIPv4(const std::string& host, int port) {
    NetworkInit network;
    std::vector<sockaddr_in> result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (network.Ok() && getaddrinfo(host.c_str(), service.c_str(), &hints, &found) == 0) {
        for (addrinfo* a = found; a; a = a->ai_next) {
            if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in))
                result.push_back(*reinterpret_cast<sockaddr_in*>(a->ai_addr));
        }
        freeaddrinfo(found);
    }
    return result;
}

// The IPv4 addresses of a host, or nothing. A dotted address needs no
// resolver; a name is resolved on a helper thread so that a resolver that
// never answers costs the caller only timeoutMs, or until `stop` is set:
// the helper is then abandoned, never joined, and ends on its own when the
// system's resolver gives up.
std::vector<sockaddr_in> ResolveIPv4(const std::string& host, int port, int timeoutMs,
                                     const std::atomic<bool>* stop = nullptr) {
    std::vector<sockaddr_in> addresses;
    sockaddr_in numeric{};
    numeric.sin_family = AF_INET;
    numeric.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &numeric.sin_addr) == 1) {
        addresses.push_back(numeric);
        return addresses;
    }
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::vector<sockaddr_in> result;
    };
    auto lookup = std::make_shared<Lookup>();
    auto resolve = [lookup, host, port] {
        std::vector<sockaddr_in> result = LookUpIPv4(host, port);
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->result = std::move(result);
        lookup->finished = true;
        lookup->done.notify_all();
    };
    try {
        std::thread(resolve).detach();
    } catch (...) {
        return addresses;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(lookup->mutex);
    while (!lookup->finished && !(stop && *stop)) {
        auto now = std::chrono::steady_clock::now();
        if (now >= until)
            break;
        lookup->done.wait_until(lock, std::min(until, now + LookupStopCheck));
    }
    if (lookup->finished)
        addresses = lookup->result;
    return addresses;
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

Socket ListenTcp(const std::string& address, int port, int backlog, ListenFailure* failure) {
    ListenFailure ignored;
    ListenFailure& why = failure ? *failure : ignored;
    why = ListenFailure::NoSocket;
    Socket listener = NewTcpSocket();
    if (!listener.IsValid())
        return Socket();
    why = ListenFailure::NotBound;
    int on = 1;
#ifdef _WIN32
    // Without it Windows lets another program bind the same port beside this
    // listener (with SO_REUSEADDR, or on the wildcard address) and take its
    // connections: browsers pointed at the port would talk to that program.
    setsockopt(listener.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof(on));
#else
    // Lets a restarted listener bind while old connections linger in
    // TIME_WAIT; a port held by another listener still fails to bind.
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
    why = ListenFailure::None;
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

bool ResolveFirstAddress(const std::string& host, int timeoutMs, std::string& dotted,
                         const std::atomic<bool>* stop) {
    if (host.empty())
        return false;
    std::vector<sockaddr_in> addresses = ResolveIPv4(host, 0, timeoutMs, stop);
    if (addresses.empty())
        return false;
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &addresses.front().sin_addr, text, sizeof text))
        return false;
    dotted = text;
    return true;
}

bool ResolveIPv4Later(const std::string& host, AddressesAnswer answer) {
    try {
        std::thread([host, answer = std::move(answer)] {
            std::vector<std::string> dotted;
            for (const sockaddr_in& address : LookUpIPv4(host, 0)) {
                std::string text = AddressText(reinterpret_cast<const sockaddr*>(&address));
                if (!text.empty())
                    dotted.push_back(text);
            }
            answer(dotted);
        }).detach();
    } catch (...) {
        return false;
    }
    return true;
}

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "";
    const void* bytes = nullptr;
    if (address != nullptr && address->sa_family == AF_INET)
        bytes = &reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
    else if (address != nullptr && address->sa_family == AF_INET6)
        bytes = &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    if (bytes == nullptr || inet_ntop(address->sa_family, bytes, text, sizeof text) == nullptr)
        return "";
    return text;
}

bool ReachesLoopback(uint32_t address) {
    return (address >> 24) == 127 || address == 0;
}

namespace {

Socket ConnectToFirstAnswering(const std::vector<sockaddr_in>& addresses, int timeoutMs,
                               std::string& reason, const std::atomic<bool>* stop = nullptr) {
    Socket connected;
    for (const sockaddr_in& address : addresses) {
        if (connected.IsValid())
            break;
        Socket attempt = NewConnectingSocket();
        if (!attempt.IsValid()) {
            reason = "cannot create a socket";
            continue;
        }
        int result =
            connect(attempt.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        int error = result != 0 ? LastSocketError() : 0;
        if (result != 0 && !WouldBlock(error)) {
            reason = ConnectFailureReason(error);
            continue;
        }
        if (result != 0 && !FinishConnect(attempt, timeoutMs, reason, stop))
            continue;
        if (SetNonBlocking(attempt.Get(), false))
            connected = std::move(attempt);
    }
    return connected;
}

}  // namespace

Socket ConnectTcp(const std::string& host, int port, int timeoutMs, std::string* error) {
    std::string reason = "cannot resolve the host name";
    std::vector<sockaddr_in> addresses;
    if (port <= 0 || port > 65535)
        reason = "invalid port";
    else if (!host.empty())
        addresses = ResolveIPv4(host, port, timeoutMs);
    Socket connected = ConnectToFirstAnswering(addresses, timeoutMs, reason);
    if (!connected.IsValid() && error)
        *error = reason;
    return connected;
}

Socket ConnectTcpUnless(const std::string& host, int port, int timeoutMs,
                        const std::atomic<bool>& stop) {
    std::string reason;
    if (port <= 0 || port > 65535 || host.empty() || stop)
        return Socket();
    return ConnectToFirstAnswering(ResolveIPv4(host, port, timeoutMs, &stop), timeoutMs, reason,
                                   &stop);
}

void SetSendTimeout(const Socket& socket, int timeoutMs) {
#ifdef _WIN32
    DWORD limit = static_cast<DWORD>(timeoutMs);
#else
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
#endif
    setsockopt(socket.Get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit),
               sizeof(limit));
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

bool SendAll(const Socket& socket, const char* data, size_t length, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool shortened = false;
    bool ok = true;
    while (length > 0) {
        int chunk = static_cast<int>(length > 1 << 30 ? 1 << 30 : length);
        auto sent = send(socket.Get(), data, chunk, SendFlags);
        if (sent <= 0) {
            ok = false;
            break;
        }
        data += sent;
        length -= static_cast<size_t>(sent);
        if (length == 0)
            break;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            ok = false;
            break;
        }
        SetSendTimeout(socket, static_cast<int>(left));
        shortened = true;
    }
    if (shortened)
        SetSendTimeout(socket, timeoutMs);
    return ok;
}

bool SendAll(const Socket& socket, const std::string& data, int timeoutMs) {
    return SendAll(socket, data.data(), data.size(), timeoutMs);
}

long Receive(const Socket& socket, char* buffer, size_t length) {
    int chunk = static_cast<int>(length > 1 << 30 ? 1 << 30 : length);
    auto got = recv(socket.Get(), buffer, chunk, 0);
    return got < 0 ? -1 : static_cast<long>(got);
}

long ReceiveIfReady(const Socket& socket, char* buffer, size_t length) {
#ifdef MSG_DONTWAIT
    int chunk = static_cast<int>(length > 1 << 30 ? 1 << 30 : length);
    auto got = recv(socket.Get(), buffer, chunk, MSG_DONTWAIT);
    if (got < 0)
        return WouldBlock(errno) || errno == EAGAIN ? NothingYet : -1;
    return static_cast<long>(got);
#else
    if (WaitReadable(socket, 0) == 0)
        return NothingYet;
    return Receive(socket, buffer, length);
#endif
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
