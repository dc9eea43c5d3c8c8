// Fuzzes the SOCKS client's reading of replies: whatever a proxy sends, the
// handshake asks for a bounded number of bytes, never takes more than it
// asked for, and ends done or failed with a reason, never both.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/socks_client.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The first byte picks the protocol, credentials and target; the second
    // how the reply is cut into reads.
    unsigned char choice = data[0];
    size_t cut = static_cast<size_t>(data[1] % 7) + 1;
    net::ProxyAddress proxy("127.0.0.1", 1080,
                            choice & 1 ? net::ProxyType::Socks4 : net::ProxyType::Socks5,
                            choice & 2 ? "user" : "", choice & 2 ? "secret" : "");
    SocksHandshake handshake(proxy, choice & 4 ? "example.org" : "10.1.2.3", 443);
    std::string send = handshake.Start();
    Require(!send.empty());
    const char* reply = reinterpret_cast<const char*>(data + 2);
    size_t left = size - 2;
    size_t taken = 0;
    while (left > 0 && !handshake.Done() && !handshake.Failed()) {
        size_t wanted = handshake.BytesWanted();
        // No reply step may ask for more than a name, its length and a port.
        Require(wanted > 0 && wanted <= 255 + 2);
        size_t chunk = std::min(std::min(cut, left), wanted);
        send.clear();
        handshake.Take(reply, chunk, send);
        reply += chunk;
        left -= chunk;
        taken += chunk;
    }
    // Method, sign-in and the longest reply: no more than this is ever read.
    Require(taken <= 2 + 2 + 4 + 1 + 255 + 2);
    Require(!(handshake.Done() && handshake.Failed()));
    if (handshake.Failed())
        Require(!handshake.Problem().empty() && handshake.Failure() != SocksFailure::None);
    if (handshake.Done())
        Require(handshake.BytesWanted() == 0 && handshake.Failure() == SocksFailure::None);
    return 0;
}
