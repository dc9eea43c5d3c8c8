// The upstream proxy that browser requests are forwarded to. Each connection
// takes one immutable snapshot when it is accepted, so a change of proxy never
// tears a text that a connection is reading.
#pragma once

#include <string>
#include <vector>

// A proxy that a request turns to when the active one does not answer. It
// carries no credentials: a user name given with the active proxy is for
// that proxy alone, and a candidate is always asked without one.
struct UpstreamCandidate {
    std::string host;
    int port = 0;
};

inline bool operator==(const UpstreamCandidate& a, const UpstreamCandidate& b) {
    return a.port == b.port && a.host == b.host;
}

struct UpstreamSettings {
    int useProxy = 0;  // 1: forward to the proxy; 0: straight to the origin server
    std::string proxyHost;
    int proxyPort = 0;
    std::string userName;
    std::string password;
    int authorizationFlag = 0;      // 1: add authorizationLine to every request
    std::string authorizationLine;  // "Proxy-Authorization: Basic ...\r\n"
    // The proxies after the active one, in the order they are tried; empty:
    // a request whose proxy does not answer gets the "502" page.
    std::vector<UpstreamCandidate> failover;
};

// The settings that follow from applying these values. With a user name (and
// UseProxy 1) the authorization line is prepared; without one, any line an
// earlier proxy needed is withdrawn so its credentials never reach another.
UpstreamSettings MakeUpstreamSettings(int useProxy, const std::string& proxyHost, int proxyPort,
                                      const std::string& userName, const std::string& password,
                                      std::vector<UpstreamCandidate> failover = {});

// The settings once candidate `index` of `from` has taken over: that proxy
// active without credentials, and the ring of proxies turned so that those
// after it come first and the old active one follows them, as the list they
// came from would be walked from the new one.
UpstreamSettings FailoverSettings(const UpstreamSettings& from, size_t index);
