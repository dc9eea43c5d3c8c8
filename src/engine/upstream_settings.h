// The upstream proxy that browser requests are forwarded to. Each connection
// takes one immutable snapshot when it is accepted, so a change of proxy never
// tears a text that a connection is reading.
#pragma once

#include <string>
#include <vector>

#include "net/proxy_address.h"

// A proxy that a request turns to when the active one does not answer, of
// any type. It carries its own credentials (or none): those given with the
// active proxy are for that proxy alone.
using UpstreamCandidate = net::ProxyAddress;

struct UpstreamSettings {
    int useProxy = 0;  // 1: forward to the proxy; 0: straight to the origin server
    std::string proxyHost;
    int proxyPort = 0;
    net::ProxyType proxyType = net::ProxyType::Http;
    std::string userName;
    std::string password;
    int authorizationFlag = 0;      // 1: add authorizationLine to every request
    std::string authorizationLine;  // "Proxy-Authorization: Basic ...\r\n"
    // The proxies after the active one, in the order they are tried; empty:
    // a request whose proxy does not answer gets the "502" page.
    std::vector<UpstreamCandidate> failover;
};

// The settings that follow from applying these values, for a proxy of any
// type. With a user name (and UseProxy 1) an HTTP proxy gets the
// authorization line, a SOCKS5 proxy the credentials in its handshake;
// without one, any line an earlier proxy needed is withdrawn so its
// credentials never reach another.
UpstreamSettings MakeUpstreamSettings(int useProxy, const net::ProxyAddress& proxy,
                                      std::vector<UpstreamCandidate> failover = {});

// The active proxy of the settings, as an address.
net::ProxyAddress ActiveProxy(const UpstreamSettings& settings);
// Whether requests go out in absolute form to an HTTP proxy; otherwise the
// origin server (or a SOCKS tunnel to it) gets them in origin form.
bool SendsToHttpProxy(const UpstreamSettings& settings);

// The settings once candidate `index` of `from` has taken over: that proxy
// active with its own credentials, and the ring of proxies turned so that those
// after it come first and the old active one follows them, as the list they
// came from would be walked from the new one.
UpstreamSettings FailoverSettings(const UpstreamSettings& from, size_t index);
