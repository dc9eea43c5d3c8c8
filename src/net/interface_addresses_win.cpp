// The machine's interface addresses as GetAdaptersAddresses lists them.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <memory>

#include "net/interface_addresses.h"
#include "net/socket.h"

namespace net {

std::vector<std::string> SystemInterfaceAddresses() {
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
            addresses.push_back(AddressText(unicast->Address.lpSockaddr));
    }
    return addresses;
}

}  // namespace net
