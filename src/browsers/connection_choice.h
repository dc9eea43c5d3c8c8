// Which connections the system's proxy options are set for: the dial-up
// connection that the system dials by default, the LAN, or both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AutodialSettings {
    uint32_t enableAutodial = 0;  // 1: the system dials a connection by default
    uint32_t noNetAutodial = 0;   // 1: the LAN is used as well
    std::string defaultInternet;  // the default dial-up connection's name
};

struct ConnectionTarget {
    bool isLan = true;  // the LAN has no connection name
    std::string name;
};

// The connections to configure, in the order they are configured: the
// default dial-up connection first when autodial is on, then the LAN when
// autodial is off or the LAN is used as well. Flags count only when exactly 1.
std::vector<ConnectionTarget> ConnectionsToConfigure(const AutodialSettings& settings);
