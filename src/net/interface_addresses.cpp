#include "net/interface_addresses.h"

#include <algorithm>

namespace net {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

}  // namespace

bool IsLocalOnlyAddress(const std::string& address) {
    std::string lower = Lower(address);
    return lower.empty() || lower.compare(0, 4, "127.") == 0 ||
           lower.compare(0, 8, "169.254.") == 0 || lower == "0.0.0.0" || lower == "::1" ||
           lower == "::" || lower.compare(0, 4, "fe80") == 0;
}

std::vector<std::string> InterfaceAddresses() {
    std::vector<std::string> addresses;
    for (const std::string& text : SystemInterfaceAddresses()) {
        if (!IsLocalOnlyAddress(text) &&
            std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.push_back(text);
    }
    return addresses;
}

}  // namespace net
