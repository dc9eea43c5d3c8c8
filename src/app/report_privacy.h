// What the copied "Check My Protection" report gives away. The report names
// the user's own addresses (the one the web sees without Veilgate, those of
// the network interfaces) and the user names of SOCKS proxies; pasted into a
// forum or a mail, they would tell others who the user is.
#pragma once

#include <string>

namespace protection {

// Stands in for each address.
constexpr char HiddenAddress[] = "[address]";
constexpr char HiddenUserName[] = "[user name]";

// The text with every IPv4 and IPv6 address but the loopback ones (which
// name this machine only) given as HiddenAddress, and every user name of a
// proxy's address (`socks5://ann@...`) as HiddenUserName.
std::string WithoutAddresses(const std::string& text);

}  // namespace protection
