#include "net/proxy_address.h"

#include "base/leading_number.h"

namespace net {

namespace {

struct SchemeWord {
    const char* word;
    ProxyType type;
};

const SchemeWord Schemes[] = {
    {"http", ProxyType::Http},      {"https", ProxyType::Http},    {"socks4", ProxyType::Socks4},
    {"socks4a", ProxyType::Socks4}, {"socks5", ProxyType::Socks5}, {"socks5h", ProxyType::Socks5},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSchemeChar(char c) {
    c = Lower(c);
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The scheme's length when the text starts with "word://", else 0.
size_t SchemeLength(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsSchemeChar(text[i]))
        ++i;
    return i > 0 && text.compare(i, 3, "://") == 0 ? i : 0;
}

}  // namespace

bool ProxyTypeFromScheme(const std::string& word, ProxyType& type) {
    std::string lower;
    for (char c : word)
        lower += Lower(c);
    for (const SchemeWord& scheme : Schemes) {
        if (lower == scheme.word) {
            type = scheme.type;
            return true;
        }
    }
    return false;
}

namespace {

// The address part of a text: up to a list line's "->".
std::string AddressPart(const std::string& text) {
    return text.substr(0, text.find("->"));
}

// Splits "user:password@rest" at the last "@", so that a password may
// hold one; a user name ends at its first ":".
void TakeCredentials(std::string& rest, ProxyAddress& proxy) {
    size_t at = AddressPart(rest).rfind('@');
    if (at == std::string::npos)
        return;
    std::string credentials = rest.substr(0, at);
    rest = rest.substr(at + 1);
    size_t colon = credentials.find(':');
    proxy.userName = credentials.substr(0, colon);
    if (colon != std::string::npos)
        proxy.password = credentials.substr(colon + 1);
}

bool AllDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

}  // namespace

bool operator==(const ProxyAddress& a, const ProxyAddress& b) {
    return a.port == b.port && a.type == b.type && a.host == b.host && a.userName == b.userName &&
           a.password == b.password;
}

const char* ProxySchemeName(ProxyType type) {
    switch (type) {
    case ProxyType::Socks4:
        return "socks4";
    case ProxyType::Socks5:
        return "socks5";
    default:
        return "http";
    }
}

const char* ProxyTypeName(ProxyType type) {
    switch (type) {
    case ProxyType::Socks4:
        return "SOCKS4";
    case ProxyType::Socks5:
        return "SOCKS5";
    default:
        return "HTTP";
    }
}

ProxyAddress ParseProxyAddress(const std::string& text, bool* hasScheme) {
    ProxyAddress proxy;
    std::string rest = text;
    size_t schemeLength = SchemeLength(text);
    bool named = schemeLength > 0 && ProxyTypeFromScheme(text.substr(0, schemeLength), proxy.type);
    if (hasScheme)
        *hasScheme = named;
    if (named) {
        rest = text.substr(schemeLength + 3);
        TakeCredentials(rest, proxy);
    }
    // The split rule of every earlier version, which an unknown scheme
    // also falls to (giving port 0, which nothing connects to).
    size_t colon = rest.find(':');
    if (colon != std::string::npos)
        proxy.host = rest.substr(0, colon);
    proxy.port = base::ParseLeadingInt(colon == std::string::npos ? rest : rest.substr(colon + 1));
    return proxy;
}

bool CheckProxyText(const std::string& text, std::string& problem) {
    std::string address = AddressPart(text);
    size_t schemeLength = SchemeLength(address);
    ProxyType type = ProxyType::Http;
    if (schemeLength > 0 && !ProxyTypeFromScheme(address.substr(0, schemeLength), type)) {
        problem = "\"" + address.substr(0, schemeLength) +
                  "\" is not a proxy type Veilgate knows: use http://, socks4:// or socks5://.";
        return false;
    }
    std::string rest = schemeLength > 0 ? address.substr(schemeLength + 3) : address;
    if (schemeLength > 0) {
        ProxyAddress ignored;
        TakeCredentials(rest, ignored);
    }
    size_t colon = rest.rfind(':');
    std::string host = colon == std::string::npos ? rest : rest.substr(0, colon);
    if (host.empty()) {
        problem =
            "The proxy's address is missing: type it as address:port, for example "
            "12.12.12.12:8080.";
        return false;
    }
    for (char c : host) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f || c == ':' || c == '/' || c == '@') {
            problem =
                "The proxy's address \"" + host + "\" holds a blank or a character no address has.";
            return false;
        }
    }
    std::string port = colon == std::string::npos ? "" : rest.substr(colon + 1);
    if (!AllDigits(port) || port.size() > 5 || base::ParseLeadingInt(port) < 1 ||
        base::ParseLeadingInt(port) > 65535) {
        problem =
            "The proxy's port must be a number from 1 to 65535, after a colon: for "
            "example 12.12.12.12:8080.";
        return false;
    }
    return true;
}

std::string FormatProxyAddress(const ProxyAddress& proxy, Secrets secrets) {
    std::string text;
    if (proxy.type != ProxyType::Http)
        text = std::string(ProxySchemeName(proxy.type)) + "://";
    if (secrets != Secrets::None && !proxy.userName.empty()) {
        // An HTTP proxy's credentials need the scheme for the text to read
        // back: without one, "user:..." would be taken for host and port.
        if (proxy.type == ProxyType::Http)
            text = "http://";
        text += proxy.userName;
        if (secrets == Secrets::UserPassword)
            text += ":" + proxy.password;
        text += "@";
    }
    return text + proxy.host + ":" + std::to_string(proxy.port);
}

}  // namespace net
