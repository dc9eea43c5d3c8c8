// One proxy as text: host ":" port "->" country, as the downloaded list, the
// list file, the ProxyName setting and the selector's edit field all hold it.
// Every part of the program takes host, port and country from such a text by
// this one rule, and nothing is trimmed.
#pragma once

#include <string>

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
    // Host and port as "%s:%d", so the port is always plain decimal.
    std::string Address() const;
    // The text with every "->" turned into one blank, for the status line.
    std::string DisplayForm() const;

private:
    std::string text_;
};

// "%s:%d" of a host and a port.
std::string FormatProxyAddress(const std::string& host, int port);
