// Fuzzes the reading of proxy lists: whatever a source sends, the reader
// ends, keeps no more than the limit, repeats no proxy, and every proxy it
// reads from lines or JSON has a host and a usable port and reads back from
// its own text as the same proxy.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>

#include "proxies/proxy_list_reply.h"
#include "proxies/proxy_list_text.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the source's default type.
    net::ProxyType defaultType = static_cast<net::ProxyType>(data[0] % 3);
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    ParsedProxyList list = ParseProxyListText(bytes, defaultType);
    Require(list.proxies.size() <= MaxListedProxies);
    bool makers = HoldsAList(bytes);
    std::set<std::tuple<int, std::string, int>> seen;
    for (const ListedProxy& listed : list.proxies) {
        std::string host;
        for (char c : listed.proxy.host)
            host += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        Require(seen.emplace(static_cast<int>(listed.proxy.type), host, listed.proxy.port).second);
        if (makers)
            continue;
        Require(!listed.proxy.host.empty());
        Require(listed.proxy.port >= 1 && listed.proxy.port <= 65535);
        net::ProxyAddress back = net::ParseProxyAddress(listed.text);
        Require(back.type == listed.proxy.type && back.host == listed.proxy.host &&
                back.port == listed.proxy.port);
        std::string problem;
        Require(net::CheckProxyText(listed.text, problem));
    }
    return 0;
}
