#include "browsers/connection_choice.h"

std::vector<ConnectionTarget> ConnectionsToConfigure(const AutodialSettings& settings) {
    std::vector<ConnectionTarget> targets;
    if (settings.enableAutodial != 1) {
        targets.push_back(ConnectionTarget{true, ""});
        return targets;
    }
    targets.push_back(ConnectionTarget{false, settings.defaultInternet});
    if (settings.noNetAutodial == 1)
        targets.push_back(ConnectionTarget{true, ""});
    return targets;
}
