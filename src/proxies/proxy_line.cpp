#include "proxies/proxy_line.h"

#include <climits>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int ParseLeadingInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::string FormatProxyAddress(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
}

std::string ProxyLine::Host() const {
    size_t colon = text_.find(':');
    return colon == std::string::npos ? std::string() : text_.substr(0, colon);
}

int ProxyLine::Port() const {
    size_t colon = text_.find(':');
    return ParseLeadingInt(colon == std::string::npos ? text_ : text_.substr(colon + 1));
}

std::string ProxyLine::Country() const {
    size_t arrow = text_.find("->");
    return arrow == std::string::npos ? std::string() : text_.substr(arrow + 2);
}

std::string ProxyLine::Address() const {
    return FormatProxyAddress(Host(), Port());
}

std::string ProxyLine::DisplayForm() const {
    std::string shown;
    for (size_t i = 0; i < text_.size(); ++i) {
        if (text_.compare(i, 2, "->") == 0) {
            shown += ' ';
            ++i;
        } else {
            shown += text_[i];
        }
    }
    return shown;
}
