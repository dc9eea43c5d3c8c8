// A thin socket layer over Winsock and BSD sockets, so that everything that
// talks TCP (the engine, the proxy tester, the port test, the list service)
// builds and is tested on both. IPv4 TCP only: every address this program
// uses is one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sockaddr;

namespace net {

#ifdef _WIN32
using NativeSocket = uintptr_t;  // SOCKET
#else
using NativeSocket = int;
#endif
NativeSocket InvalidNativeSocket();

// Keeps Windows Sockets started for the life of the object (nothing to do
// elsewhere). Start-ups nest, so any thread may hold one.
class NetworkInit {
public:
    NetworkInit();
    ~NetworkInit();
    NetworkInit(const NetworkInit&) = delete;
    NetworkInit& operator=(const NetworkInit&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Owns one socket and closes it once.
class Socket {
public:
    Socket() = default;
    explicit Socket(NativeSocket socket) : socket_(socket) {}
    ~Socket() { Close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : socket_(other.Detach()) {}
    Socket& operator=(Socket&& other) noexcept;

    NativeSocket Get() const { return socket_; }
    bool IsValid() const { return socket_ != InvalidNativeSocket(); }
    NativeSocket Detach();
    void Close();
    // Tells the peer that nothing more will be sent (a half close).
    void ShutdownSend();

private:
    NativeSocket socket_ = InvalidNativeSocket();
};

// The last socket error of this thread (WSAGetLastError or errno).
int LastSocketError();

// Binds and listens on an IPv4 address ("127.0.0.1") and port, for this
// program alone (no other socket may bind the port beside it). Returns an
// invalid socket when any step fails.
// `failure` (when given) tells a socket that could not be made at all from
// an address or port that could not be bound.
enum class ListenFailure { None, NoSocket, NotBound };
Socket ListenTcp(const std::string& address, int port, int backlog,
                 ListenFailure* failure = nullptr);
// Accepts one pending connection; invalid on failure.
Socket AcceptConnection(const Socket& listener);
// The local port a socket is bound to, or 0.
int LocalPortOf(const Socket& socket);

// The first IPv4 address of a host name or dotted address, as dotted text;
// false when the name does not resolve within timeoutMs (a resolver that
// never answers costs only that long) or `stop` (when given) is set first.
bool ResolveFirstAddress(const std::string& host, int timeoutMs, std::string& dotted,
                         const std::atomic<bool>* stop = nullptr);
// Looks a host name's IPv4 addresses up on a thread of its own, which tells
// `answer` (dotted, in the resolver's order; none when it did not resolve)
// and ends, however long the system's resolver takes: a caller that cannot
// wait keeps a time limit of its own. False when no thread could be started
// (nothing is told then).
using AddressesAnswer = std::function<void(const std::vector<std::string>& dotted)>;
bool ResolveIPv4Later(const std::string& host, AddressesAnswer answer);
// The text of an IPv4 or IPv6 socket address ("10.0.0.1", "2001:db8::1"), as
// the system writes it; empty for any other family.
std::string AddressText(const sockaddr* address);

// Resolves an IPv4 host name or dotted address and connects to the first
// address that answers. Resolution and each connect attempt are bounded by
// timeoutMs. On failure the socket is invalid and
// `error` (when given) says why in a few words.
Socket ConnectTcp(const std::string& host, int port, int timeoutMs, std::string* error = nullptr);
// The same, given up at once when `stop` is set from another thread, so
// that a worker asked to end is not held by a silent host or a name lookup
// that hangs.
Socket ConnectTcpUnless(const std::string& host, int port, int timeoutMs,
                        const std::atomic<bool>& stop);

// A few words on why a connect failed ("connection refused"), from the
// system's error code, for the page the browser is shown.
std::string ConnectFailureReason(int error);
// Whether an IPv4 address (in host order) reaches a listener on 127.0.0.1:
// the loopback range, and the any-address, which a connect takes for this
// machine.
bool ReachesLoopback(uint32_t address);

// Makes a send that cannot proceed for timeoutMs fail, so that a peer that
// stops reading cannot hold a thread for ever.
void SetSendTimeout(const Socket& socket, int timeoutMs);

// Sends every byte; false when the connection fails first.
bool SendAll(const Socket& socket, const char* data, size_t length);
bool SendAll(const Socket& socket, const std::string& data);
// The same within timeoutMs for the whole block, however many partial sends
// it takes, for a socket whose send time-out is timeoutMs (SetSendTimeout):
// the time left is all the next call gets, so a peer that reads a little now
// and then cannot stretch one block to several times the limit.
bool SendAll(const Socket& socket, const char* data, size_t length, int timeoutMs);
bool SendAll(const Socket& socket, const std::string& data, int timeoutMs);
// Receives what is there: the count (> 0), 0 when the peer closed, -1 on error.
long Receive(const Socket& socket, char* buffer, size_t length);
// Receive's answer when nothing has arrived yet.
constexpr long NothingYet = -2;
// The same without waiting: NothingYet when there is nothing to take. A
// caller that tries this before waiting is spared a wait (and a system call)
// whenever the data is already there, as it mostly is on a busy connection.
long ReceiveIfReady(const Socket& socket, char* buffer, size_t length);

// Waits until one of the sockets is readable (data, close or error) or the
// time runs out. Sets readable[i] for each; returns the count of readable
// sockets, 0 on time-out, -1 on error. timeoutMs < 0 waits without limit.
int WaitReadable(const NativeSocket* sockets, bool* readable, int count, int timeoutMs);
// The same for one socket: 1 readable, 0 time-out, -1 error.
int WaitReadable(const Socket& socket, int timeoutMs);

}  // namespace net
