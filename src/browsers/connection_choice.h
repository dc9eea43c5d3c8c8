// Which connections the system's proxy options are set for: the LAN and every
// entry of the user's phone books (dial-up, VPN, mobile broadband), each of
// which Windows gives proxy options of its own.
#pragma once

#include <string>
#include <vector>

struct ConnectionTarget {
    bool isLan = true;  // the LAN has no connection name
    std::string name;
};

inline bool SameConnection(const ConnectionTarget& a, const ConnectionTarget& b) {
    return a.isLan == b.isLan && a.name == b.name;
}

// The connections to configure, in the order they are configured: the
// default dial-up entry first (when it names one), then the other listed
// entries in the order listed, each once, then the LAN.
std::vector<ConnectionTarget> ConnectionsToConfigure(const std::vector<std::string>& entries,
                                                     const std::string& defaultEntry);
