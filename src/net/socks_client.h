// The client side of SOCKS5 (RFC 1928, with the user name and password of
// RFC 1929) and SOCKS4 (with the 4a form for names): a small state machine
// over bytes, so that every reply a proxy may send is read by pure code that
// is tested and fuzzed without a network. The engine drives it from its
// event loop; the tester through the thin blocking runner below.
//
// The site's name always goes to the proxy (SOCKS5 address type 3, SOCKS4a):
// nothing here looks a site's name up, so no query for it leaves the machine.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "net/proxy_address.h"
#include "net/socket.h"

enum class SocksFailure {
    None,
    BadReply,            // not the protocol, an unknown version or address type
    NeedsCredentials,    // asks for a user name and password that were not given
    CredentialsRefused,  // refused the user name and password given
    NamesRefused,        // a SOCKS4 proxy that refuses the 4a form (site names)
    Refused,             // the site refused, or cannot be reached from the proxy
    Declined,            // the proxy failed the request for reasons of its own
    SiteTimedOut,        // the proxy answered, but its connection to the site took too long
    Closed,              // closed or went silent before its reply was complete
};

// Whether the failure is the site's: the proxy itself answered as it should.
// SOCKS4 says "rejected or failed" (91) to a site it cannot reach and to a
// name it does not take alike, so the refused 4a form counts here too.
bool IsSiteFailure(SocksFailure failure);

class SocksHandshake {
public:
    // `proxy` gives the protocol and credentials; the tunnel goes to
    // targetHost:targetPort.
    SocksHandshake(const net::ProxyAddress& proxy, const std::string& targetHost, int targetPort);

    // The first bytes to send; empty when the target cannot be asked for at
    // all (a name longer than the protocol carries), and Failed() is set.
    std::string Start();
    // How many more reply bytes the current step needs, 0 once done or
    // failed. Reading no more than this leaves the tunnel's own first bytes
    // on the socket.
    size_t BytesWanted() const;
    // Takes reply bytes, at most BytesWanted(); what must be sent next is
    // appended to `send`.
    void Take(const char* data, size_t length, std::string& send);

    bool Done() const { return step_ == Step::Done; }
    bool Failed() const { return step_ == Step::Failed; }
    SocksFailure Failure() const { return failure_; }
    // Why it failed, as a few words for the 502 page.
    const std::string& Problem() const { return problem_; }
    // Whether the request for the site is out and nothing of its reply has
    // come: the proxy is connecting to the site.
    bool WaitsForSite() const;

private:
    enum class Step {
        Socks5Method,
        Socks5Auth,
        Socks5ReplyHead,
        Socks5ReplyNameLength,
        Socks5ReplyRest,
        Socks4Reply,
        Done,
        Failed
    };

    void Fail(SocksFailure failure, const std::string& problem);
    void Expect(Step step, size_t bytes);
    std::string Socks5Request() const;
    void ReadSocks5Method(std::string& send);
    void ReadSocks5Auth(std::string& send);
    void ReadSocks5ReplyHead();
    void ReadSocks4Reply();

    net::ProxyAddress proxy_;
    std::string targetHost_;
    int targetPort_;
    bool sentName_ = false;
    Step step_ = Step::Failed;
    size_t wanted_ = 0;
    std::string reply_;  // the bytes of the current step
    SocksFailure failure_ = SocksFailure::None;
    std::string problem_;
};

// The limits of one handshake, both counted from its start. The proxy's own
// answers (greeting, sign-in) come within a round trip when it is alive; its
// reply to the request waits for its connection to the site, which may take
// as long as any connection to a slow site.
struct SocksTimeouts {
    int proxyMs;
    int siteMs;
};

// Runs the handshake over `connection` (connected to the proxy) within the
// limits, giving up when `stop` (when given) is set. True once the tunnel to
// the target is open; otherwise `failure` and `problem` say why.
bool OpenSocksTunnel(const net::Socket& connection, const net::ProxyAddress& proxy,
                     const std::string& targetHost, int targetPort, SocksTimeouts timeouts,
                     const std::atomic<bool>* stop, SocksFailure& failure, std::string& problem);
// The same with one limit for the whole handshake.
bool OpenSocksTunnel(const net::Socket& connection, const net::ProxyAddress& proxy,
                     const std::string& targetHost, int targetPort, int timeoutMs,
                     const std::atomic<bool>* stop, SocksFailure& failure, std::string& problem);

// How a handshake ended before its reply was complete: the proxy closed the
// connection, said nothing within its own limit, or was still connecting
// to the site when the site's limit (siteMs) ran out. Sets the failure and
// the words for the 502 page.
enum class SocksEnd { Closed, ProxySilent, SiteTooSlow };
void SocksCutShort(SocksEnd end, int siteMs, SocksFailure& failure, std::string& problem);

// The words for a failure kind a user is shown ("Needs a user name and password").
const char* SocksFailureText(SocksFailure failure);
