#include "net/socks_client.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr unsigned char Socks5Version = 5;
constexpr unsigned char Socks4Version = 4;
constexpr unsigned char NoAuthentication = 0;
constexpr unsigned char UserPassword = 2;
constexpr unsigned char NoAcceptableMethod = 0xff;
constexpr unsigned char ConnectCommand = 1;
constexpr unsigned char AddressIPv4 = 1;
constexpr unsigned char AddressName = 3;
constexpr unsigned char AddressIPv6 = 4;
constexpr unsigned char Socks4Granted = 90;
constexpr unsigned char Socks4Rejected = 91;
// RFC 1929 fields carry their length in one byte, as does a SOCKS5 name.
constexpr size_t MaxField = 255;
// How often a wait looks at the stop flag.
constexpr int StopCheckMs = 50;

unsigned char Byte(const std::string& bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

// The four bytes of a dotted IPv4 address, or false for anything else (a
// name, which goes to the proxy as it is).
bool DottedBytes(const std::string& host, std::string& bytes) {
    bytes.clear();
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        size_t digits = 0;
        int value = 0;
        while (at < host.size() && host[at] >= '0' && host[at] <= '9' && digits < 3) {
            value = value * 10 + (host[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return false;
        bytes += static_cast<char>(value);
        if (part < 3) {
            if (at >= host.size() || host[at] != '.')
                return false;
            ++at;
        }
    }
    return at == host.size();
}

std::string PortBytes(int port) {
    return {static_cast<char>((port >> 8) & 0xff), static_cast<char>(port & 0xff)};
}

const char* Socks5ReplyText(unsigned char code) {
    switch (code) {
    case 1:
        return "general failure";
    case 2:
        return "not allowed by its rules";
    case 3:
        return "network unreachable";
    case 4:
        return "host unreachable";
    case 5:
        return "connection refused by the site";
    case 6:
        return "time to live expired";
    case 7:
        return "command not supported";
    case 8:
        return "address type not supported";
    default:
        return "an unknown refusal";
    }
}

}  // namespace

SocksHandshake::SocksHandshake(const net::ProxyAddress& proxy, const std::string& targetHost,
                               int targetPort)
    : proxy_(proxy), targetHost_(targetHost), targetPort_(targetPort) {}

void SocksHandshake::Fail(SocksFailure failure, const std::string& problem) {
    step_ = Step::Failed;
    wanted_ = 0;
    failure_ = failure;
    problem_ = problem;
}

void SocksHandshake::Expect(Step step, size_t bytes) {
    step_ = step;
    wanted_ = bytes;
    reply_.clear();
}

std::string SocksHandshake::Start() {
    if (targetPort_ < 1 || targetPort_ > 65535) {
        Fail(SocksFailure::Refused, "the site's port is not valid");
        return "";
    }
    std::string address;
    bool literal = DottedBytes(targetHost_, address);
    if (proxy_.type == net::ProxyType::Socks4) {
        // 4a: the address 0.0.0.x (x not 0) says a name follows the user id.
        std::string request{static_cast<char>(Socks4Version), static_cast<char>(ConnectCommand)};
        request += PortBytes(targetPort_);
        request += literal ? address : std::string("\0\0\0\1", 4);
        request += proxy_.userName;
        request += '\0';
        if (!literal) {
            request += targetHost_;
            request += '\0';
        }
        sentName_ = !literal;
        Expect(Step::Socks4Reply, 8);
        return request;
    }
    if (!literal && (targetHost_.empty() || targetHost_.size() > MaxField)) {
        Fail(SocksFailure::Refused, "the site's name is longer than SOCKS5 carries");
        return "";
    }
    bool credentials = !proxy_.userName.empty();
    if (credentials && (proxy_.userName.size() > MaxField || proxy_.password.size() > MaxField)) {
        Fail(SocksFailure::CredentialsRefused,
             "the user name or password is longer than SOCKS5 carries");
        return "";
    }
    Expect(Step::Socks5Method, 2);
    // Without credentials only "none" is offered, so a proxy that insists
    // on a password says so (0xff) instead of asking for one we lack.
    std::string greeting{static_cast<char>(Socks5Version), static_cast<char>(credentials ? 2 : 1),
                         static_cast<char>(NoAuthentication)};
    if (credentials)
        greeting += static_cast<char>(UserPassword);
    return greeting;
}

std::string SocksHandshake::Socks5Request() const {
    std::string request{static_cast<char>(Socks5Version), static_cast<char>(ConnectCommand), '\0'};
    std::string address;
    if (DottedBytes(targetHost_, address)) {
        request += static_cast<char>(AddressIPv4);
        request += address;
    } else {
        request += static_cast<char>(AddressName);
        request += static_cast<char>(targetHost_.size());
        request += targetHost_;
    }
    return request + PortBytes(targetPort_);
}

size_t SocksHandshake::BytesWanted() const {
    return wanted_ > reply_.size() ? wanted_ - reply_.size() : 0;
}

void SocksHandshake::Take(const char* data, size_t length, std::string& send) {
    if (step_ == Step::Done || step_ == Step::Failed)
        return;
    reply_.append(data, std::min(length, BytesWanted()));
    if (BytesWanted() > 0)
        return;
    switch (step_) {
    case Step::Socks5Method:
        ReadSocks5Method(send);
        break;
    case Step::Socks5Auth:
        ReadSocks5Auth(send);
        break;
    case Step::Socks5ReplyHead:
        ReadSocks5ReplyHead();
        break;
    case Step::Socks5ReplyNameLength:
        // The name, then the port.
        Expect(Step::Socks5ReplyRest, static_cast<size_t>(Byte(reply_, 0)) + 2);
        break;
    case Step::Socks5ReplyRest:
        Expect(Step::Done, 0);
        break;
    case Step::Socks4Reply:
        ReadSocks4Reply();
        break;
    default:
        break;
    }
}

void SocksHandshake::ReadSocks5Method(std::string& send) {
    if (Byte(reply_, 0) != Socks5Version) {
        Fail(SocksFailure::BadReply, "its reply is not SOCKS5");
        return;
    }
    unsigned char method = Byte(reply_, 1);
    bool credentials = !proxy_.userName.empty();
    if (method == NoAuthentication) {
        send += Socks5Request();
        Expect(Step::Socks5ReplyHead, 4);
    } else if (method == UserPassword && credentials) {
        send += '\1';
        send += static_cast<char>(proxy_.userName.size());
        send += proxy_.userName;
        send += static_cast<char>(proxy_.password.size());
        send += proxy_.password;
        Expect(Step::Socks5Auth, 2);
    } else if (method == NoAcceptableMethod && !credentials) {
        Fail(SocksFailure::NeedsCredentials, "it needs a user name and password");
    } else if (method == NoAcceptableMethod) {
        Fail(SocksFailure::CredentialsRefused, "it takes no way of signing in that Veilgate has");
    } else {
        Fail(SocksFailure::BadReply, "it chose a way of signing in that was not offered");
    }
}

void SocksHandshake::ReadSocks5Auth(std::string& send) {
    // RFC 1929 answers with version 1; some servers answer with their own 5.
    if (Byte(reply_, 0) != 1 && Byte(reply_, 0) != Socks5Version) {
        Fail(SocksFailure::BadReply, "its answer to the user name and password is not SOCKS5");
        return;
    }
    if (Byte(reply_, 1) != 0) {
        Fail(SocksFailure::CredentialsRefused, "it refused the user name and password");
        return;
    }
    send += Socks5Request();
    Expect(Step::Socks5ReplyHead, 4);
}

void SocksHandshake::ReadSocks5ReplyHead() {
    if (Byte(reply_, 0) != Socks5Version) {
        Fail(SocksFailure::BadReply, "its reply is not SOCKS5");
        return;
    }
    unsigned char code = Byte(reply_, 1);
    if (code != 0) {
        // 3 to 5 are the site's answer or its absence; 6, "TTL expired", is
        // what proxies say when their own connection to the site timed out.
        bool site = code >= 3 && code <= 6;
        Fail(site ? SocksFailure::Refused : SocksFailure::Declined,
             std::string("it answered: ") + Socks5ReplyText(code));
        return;
    }
    // The bound address it names is not used, but read whole so that the
    // tunnel starts at the right byte.
    switch (Byte(reply_, 3)) {
    case AddressIPv4:
        Expect(Step::Socks5ReplyRest, 4 + 2);
        break;
    case AddressIPv6:
        Expect(Step::Socks5ReplyRest, 16 + 2);
        break;
    case AddressName:
        Expect(Step::Socks5ReplyNameLength, 1);
        break;
    default:
        Fail(SocksFailure::BadReply, "its reply names an unknown address type");
        break;
    }
}

void SocksHandshake::ReadSocks4Reply() {
    // The reply's version byte is 0; a few servers put their own 4 there.
    if (Byte(reply_, 0) != 0 && Byte(reply_, 0) != Socks4Version) {
        Fail(SocksFailure::BadReply, "its reply is not SOCKS4");
        return;
    }
    unsigned char code = Byte(reply_, 1);
    if (code == Socks4Granted) {
        Expect(Step::Done, 0);
    } else if (code == Socks4Rejected && sentName_) {
        Fail(SocksFailure::NamesRefused,
             "it refused the request; it may not take site names (SOCKS4a)");
    } else if (code == Socks4Rejected) {
        Fail(SocksFailure::Refused, "it refused the request or could not reach the site");
    } else if (code == 92 || code == 93) {
        Fail(SocksFailure::NeedsCredentials,
             "it needs an identification (identd) Veilgate has not");
    } else {
        Fail(SocksFailure::BadReply, "its reply code is unknown");
    }
}

bool SocksHandshake::WaitsForSite() const {
    return (step_ == Step::Socks5ReplyHead || step_ == Step::Socks4Reply) && reply_.empty();
}

bool IsSiteFailure(SocksFailure failure) {
    return failure == SocksFailure::Refused || failure == SocksFailure::NamesRefused ||
           failure == SocksFailure::SiteTimedOut;
}

const char* SocksFailureText(SocksFailure failure) {
    switch (failure) {
    case SocksFailure::NeedsCredentials:
        return "Needs a user name and password";
    case SocksFailure::CredentialsRefused:
        return "User name or password refused";
    case SocksFailure::NamesRefused:
        return "SOCKS4 without names (no 4a): not used";
    case SocksFailure::BadReply:
        return "Not a valid SOCKS reply";
    case SocksFailure::Refused:
        return "Refused the site";
    case SocksFailure::Closed:
        return "Closed during the handshake";
    default:
        return "";
    }
}

void SocksCutShort(SocksEnd end, int siteMs, SocksFailure& failure, std::string& problem) {
    switch (end) {
    case SocksEnd::Closed:
        failure = SocksFailure::Closed;
        problem = "it closed the connection during the SOCKS handshake";
        return;
    case SocksEnd::ProxySilent:
        failure = SocksFailure::Closed;
        problem = "it did not finish its SOCKS reply in time";
        return;
    case SocksEnd::SiteTooSlow:
        failure = SocksFailure::SiteTimedOut;
        problem = "it did not reach the site within " + std::to_string((siteMs + 999) / 1000) +
                  " seconds";
        return;
    }
}

bool OpenSocksTunnel(const net::Socket& connection, const net::ProxyAddress& proxy,
                     const std::string& targetHost, int targetPort, SocksTimeouts timeouts,
                     const std::atomic<bool>* stop, SocksFailure& failure, std::string& problem) {
    using Clock = std::chrono::steady_clock;
    auto started = Clock::now();
    auto proxyUntil = started + std::chrono::milliseconds(timeouts.proxyMs);
    auto siteUntil =
        started + std::chrono::milliseconds(std::max(timeouts.proxyMs, timeouts.siteMs));
    // Once the request for the site is out, the rest of the handshake has
    // the site's limit.
    bool requested = false;
    auto left = [&] {
        auto until = requested ? siteUntil : proxyUntil;
        return static_cast<int>(std::max<long long>(
            0,
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count()));
    };
    SocksHandshake handshake(proxy, targetHost, targetPort);
    std::string send = handshake.Start();
    char buffer[512];
    while (!handshake.Failed() && !handshake.Done()) {
        // The rest of a reply whose first part has come is mostly there
        // already: it is taken without a wait. After a send the answer is
        // a round trip away, and trying would only cost a system call.
        long got = net::NothingYet;
        if (send.empty() && !(stop && *stop))
            got = net::ReceiveIfReady(connection, buffer,
                                      std::min(sizeof buffer, handshake.BytesWanted()));
        if (!send.empty()) {
            if (!net::SendAll(connection, send.data(), send.size(), std::max(1, left()))) {
                SocksCutShort(SocksEnd::Closed, 0, failure, problem);
                return false;
            }
            send.clear();
        }
        requested = requested || handshake.WaitsForSite();
        int ready = got == net::NothingYet ? 0 : 1;
        while (ready == 0 && left() > 0 && !(stop && *stop))
            ready = net::WaitReadable(connection, stop ? std::min(left(), StopCheckMs) : left());
        if (ready <= 0) {
            bool siteTooSlow = handshake.WaitsForSite() && left() == 0;
            SocksCutShort(siteTooSlow ? SocksEnd::SiteTooSlow : SocksEnd::ProxySilent,
                          std::max(timeouts.proxyMs, timeouts.siteMs), failure, problem);
            return false;
        }
        if (got == net::NothingYet)
            got =
                net::Receive(connection, buffer, std::min(sizeof buffer, handshake.BytesWanted()));
        if (got <= 0) {
            SocksCutShort(SocksEnd::Closed, 0, failure, problem);
            return false;
        }
        handshake.Take(buffer, static_cast<size_t>(got), send);
    }
    failure = handshake.Failure();
    problem = handshake.Problem();
    return handshake.Done();
}

bool OpenSocksTunnel(const net::Socket& connection, const net::ProxyAddress& proxy,
                     const std::string& targetHost, int targetPort, int timeoutMs,
                     const std::atomic<bool>* stop, SocksFailure& failure, std::string& problem) {
    return OpenSocksTunnel(connection, proxy, targetHost, targetPort, {timeoutMs, timeoutMs}, stop,
                           failure, problem);
}
