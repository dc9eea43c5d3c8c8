// Every address of the maker's web server, in one place. The host name is a
// setting so that the program can be pointed at any server that serves these
// paths; without it the built-in host is used.
#pragma once

#include <string>

#include "settings/reg_value.h"

namespace maker {

constexpr char HostSetting[] = "Software\\Veilgate\\ServerHost";
constexpr char DefaultHost[] = "www.veilgate.com";

constexpr char ProxyListPath[] = "/services/vg/proxy/sortedproxylist.txt";
constexpr char ProxyGeneratorPath[] = "/services/vg/proxy/proxygenerator.asp";
constexpr char WhatIsMyIpPath[] = "/services/whatismyip/whatismyip.asp";
constexpr char PollPath[] = "/products/veilgate/poll.htm";

// "http://" + host + path. The host may carry a port ("127.0.0.1:8765").
inline std::string Url(const std::string& host, const char* path) {
    return "http://" + host + path;
}

// The host of the maker's server as configured now; the built-in host when
// the setting is missing or empty.
inline std::string ConfiguredHost() {
    std::string host = RegStringValue(HostSetting, DefaultHost).Get();
    return host.empty() ? DefaultHost : host;
}

// The address of a path on the configured server.
inline std::string AddressOf(const char* path) {
    return Url(ConfiguredHost(), path);
}

}  // namespace maker
