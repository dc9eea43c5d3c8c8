#include "proxies/proxy_line.h"

net::ProxyAddress ProxyLine::Proxy() const {
    return net::ParseProxyAddress(text_);
}

std::string WithFoundType(const std::string& proxyText, net::ProxyType type) {
    bool named = false;
    net::ParseProxyAddress(proxyText, &named);
    if (named || type == net::ProxyType::Http)
        return proxyText;
    return std::string(net::ProxySchemeName(type)) + "://" + proxyText;
}

std::string ProxyLine::Host() const {
    return Proxy().host;
}

int ProxyLine::Port() const {
    return Proxy().port;
}

std::string ProxyLine::Country() const {
    size_t arrow = text_.find("->");
    return arrow == std::string::npos ? std::string() : text_.substr(arrow + 2);
}

std::string ProxyLine::Address() const {
    return net::FormatProxyAddress(Proxy(), net::Secrets::UserName);
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
