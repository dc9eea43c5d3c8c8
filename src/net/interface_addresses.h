// The addresses this machine's own network interfaces hold, as text, so that
// a proxy test can tell when a page seen through a proxy names one of them.
#pragma once

#include <string>
#include <vector>

namespace net {

// Every unicast IPv4 and IPv6 address of the machine's interfaces that the
// wider network could know it by: loopback, link-local and unspecified
// addresses are left out, since no site ever sees the user by them. Empty
// when the system does not say.
std::vector<std::string> InterfaceAddresses();

// Whether `address` (dotted IPv4 or IPv6 text) is one that says nothing of
// the user to a site: loopback, link-local or unspecified.
bool IsLocalOnlyAddress(const std::string& address);

// The system's half (interface_addresses_win.cpp, _posix.cpp): the text of
// every address the system lists for the machine's interfaces, unfiltered.
std::vector<std::string> SystemInterfaceAddresses();

}  // namespace net
