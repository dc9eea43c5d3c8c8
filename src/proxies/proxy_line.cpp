#include "proxies/proxy_line.h"

#include "base/leading_number.h"

std::string FormatProxyAddress(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
}

std::string ProxyLine::Host() const {
    size_t colon = text_.find(':');
    return colon == std::string::npos ? std::string() : text_.substr(0, colon);
}

int ProxyLine::Port() const {
    size_t colon = text_.find(':');
    return base::ParseLeadingInt(colon == std::string::npos ? text_ : text_.substr(colon + 1));
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
