#include "net/interface_addresses.h"

#include <algorithm>

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <memory>

namespace net {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// The text of an IPv4 or IPv6 socket address; empty for any other family.
std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address == nullptr)
        return "";
    if (address->sa_family == AF_INET) {
        auto* in4 = reinterpret_cast<const sockaddr_in*>(address);
        if (inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text) == nullptr)
            return "";
    } else if (address->sa_family == AF_INET6) {
        auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text) == nullptr)
            return "";
    } else {
        return "";
    }
    return text;
}

void Keep(const sockaddr* address, std::vector<std::string>& addresses) {
    std::string text = AddressText(address);
    if (!text.empty() && !IsLocalOnlyAddress(text) &&
        std::find(addresses.begin(), addresses.end(), text) == addresses.end())
        addresses.push_back(text);
}

}  // namespace

bool IsLocalOnlyAddress(const std::string& address) {
    std::string lower = Lower(address);
    return lower.empty() || lower.compare(0, 4, "127.") == 0 ||
           lower.compare(0, 8, "169.254.") == 0 || lower == "0.0.0.0" || lower == "::1" ||
           lower == "::" || lower.compare(0, 4, "fe80") == 0;
}

#ifdef _WIN32
std::vector<std::string> InterfaceAddresses() {
    std::vector<std::string> addresses;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                        GAA_FLAG_SKIP_FRIENDLY_NAME;
    // The documented way: start with 15 KB and grow to what the call asks
    // for, a few times, since adapters may come and go between the calls.
    ULONG size = 15 * 1024;
    std::unique_ptr<char[]> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.reset(new (std::nothrow) char[size]);
        if (!buffer)
            return addresses;
        result = GetAdaptersAddresses(AF_UNSPEC, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result != NO_ERROR)
        return addresses;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next)
            Keep(unicast->Address.lpSockaddr, addresses);
    }
    return addresses;
}
#else
std::vector<std::string> InterfaceAddresses() {
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next)
        Keep(entry->ifa_addr, addresses);
    freeifaddrs(list);
    return addresses;
}
#endif

}  // namespace net
