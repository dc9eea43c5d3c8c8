// One proxy as text: host ":" port "->" country, as the downloaded list, the
// list file, the ProxyName setting and the selector's edit field all hold it.
// Every part of the program takes host, port and country from such a text by
// this one rule, and nothing is trimmed. The address may carry a scheme and
// credentials (net/proxy_address.h): "socks5://1.2.3.4:1080->Germany".
#pragma once

#include <string>

#include "net/proxy_address.h"

class ProxyLine {
public:
    explicit ProxyLine(std::string text) : text_(std::move(text)) {}

    const std::string& Text() const { return text_; }
    // The text before the first ":"; empty when there is none.
    std::string Host() const;
    // The text after the first ":" (the whole text without one), read as the
    // C library's atoi reads a number: "80->Germany" gives 80.
    int Port() const;
    // The text after the first "->"; empty without one.
    std::string Country() const;
    // The proxy the text names, credentials and all.
    net::ProxyAddress Proxy() const;
    // Host and port as "%s:%d", so the port is always plain decimal, after
    // the scheme of a SOCKS proxy and a user name, but never a password.
    std::string Address() const;
    // The text with every "->" turned into one blank, for the status line.
    std::string DisplayForm() const;

private:
    std::string text_;
};

// A proxy text with the scheme of `type` put before it when it names none
// and the type is not HTTP: how a row without one shows the type its test
// found ("1.2.3.4:1080->DE" found SOCKS5: "socks5://1.2.3.4:1080->DE").
std::string WithFoundType(const std::string& proxyText, net::ProxyType type);
