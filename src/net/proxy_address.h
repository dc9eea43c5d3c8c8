// A remote proxy as one value, for every part of the program that names one:
// the list and its file, the settings, the engine's upstream and failover
// candidates, the tester. Its text is [scheme://][user:password@]host:port.
//
// A text without a scheme is an HTTP proxy split by the rule every earlier
// version used (host before the first ":", the port read as atoi reads it),
// so each stored file and setting reads as it always did.
#pragma once

#include <string>
#include <utility>

namespace net {

// "https" is read as Http (an HTTP proxy known to take CONNECT), "socks5h"
// as Socks5 and "socks4a" as Socks4: the engine always hands the site's name
// to a SOCKS proxy, so the "resolve on the proxy" variants are what it does
// anyway.
enum class ProxyType { Http, Socks4, Socks5 };

struct ProxyAddress {
    ProxyAddress() = default;
    ProxyAddress(std::string host, int port, ProxyType type = ProxyType::Http,
                 std::string userName = "", std::string password = "")
        : host(std::move(host)),
          port(port),
          type(type),
          userName(std::move(userName)),
          password(std::move(password)) {}

    std::string host;
    int port = 0;
    ProxyType type = ProxyType::Http;
    std::string userName;  // empty: none
    std::string password;
};

bool operator==(const ProxyAddress& a, const ProxyAddress& b);
inline bool operator!=(const ProxyAddress& a, const ProxyAddress& b) {
    return !(a == b);
}

// "http", "socks4", "socks5".
const char* ProxySchemeName(ProxyType type);
// The type a scheme names (any case; "https", "socks5h" and "socks4a" too);
// false for any other word.
bool ProxyTypeFromScheme(const std::string& scheme, ProxyType& type);
// The protocol's name as users know it, for messages: "HTTP", "SOCKS4", "SOCKS5".
const char* ProxyTypeName(ProxyType type);

// Reads a proxy text the tolerant way stored texts are read: what follows the
// address ("->Germany") is ignored, a bad port reads as 0. Never fails.
// `hasScheme` (when given) tells whether the text named its type.
ProxyAddress ParseProxyAddress(const std::string& text, bool* hasScheme = nullptr);

// Checks a text a user typed (a list line's "->country" may follow): false
// with a sentence saying what is wrong when the scheme is unknown, the host
// is empty or holds blanks or control characters, or the port is not a
// number from 1 to 65535. Nothing that fails here may be sent anywhere.
bool CheckProxyText(const std::string& text, std::string& problem);

// Which parts of the address a text carries.
enum class Secrets {
    None,          // host:port with its scheme: what lists, settings and pages show
    UserName,      // user@ too: the key the password is kept under
    UserPassword,  // user:password@ too: for the engine's own command line only
};
// The text of an address: the scheme only for SOCKS (an HTTP proxy's text is
// the plain "%s:%d" of every earlier version), then the parts `secrets` asks
// for, then host ":" port.
std::string FormatProxyAddress(const ProxyAddress& proxy, Secrets secrets = Secrets::None);

}  // namespace net
