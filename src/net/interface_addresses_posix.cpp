// The machine's interface addresses as getifaddrs lists them.
#include <ifaddrs.h>

#include "net/interface_addresses.h"
#include "net/socket.h"

namespace net {

std::vector<std::string> SystemInterfaceAddresses() {
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next)
        addresses.push_back(AddressText(entry->ifa_addr));
    freeifaddrs(list);
    return addresses;
}

}  // namespace net
