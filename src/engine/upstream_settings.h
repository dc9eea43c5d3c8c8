// The upstream proxy that browser requests are forwarded to. Each connection
// takes one immutable snapshot when it is accepted, so a change of proxy never
// tears a text that a connection is reading.
#pragma once

#include <string>

struct UpstreamSettings {
    int useProxy = 0;  // 1: forward to the proxy; 0: straight to the origin server
    std::string proxyHost;
    int proxyPort = 0;
    std::string userName;
    std::string password;
    int authorizationFlag = 0;      // 1: add authorizationLine to every request
    std::string authorizationLine;  // "Proxy-Authorization: Basic ...\r\n"
};

// The settings that follow from applying these values. With a user name (and
// UseProxy 1) the authorization line is prepared; without one, any line an
// earlier proxy needed is withdrawn so its credentials never reach another.
UpstreamSettings MakeUpstreamSettings(int useProxy, const std::string& proxyHost, int proxyPort,
                                      const std::string& userName, const std::string& password);
