#include "browsers/connection_choice.h"

#include <algorithm>

std::vector<ConnectionTarget> ConnectionsToConfigure(const std::vector<std::string>& entries,
                                                     const std::string& defaultEntry) {
    std::vector<ConnectionTarget> targets;
    auto add = [&targets](const std::string& name) {
        ConnectionTarget entry{false, name};
        if (name.empty())
            return;
        for (const ConnectionTarget& target : targets) {
            if (SameConnection(target, entry))
                return;
        }
        targets.push_back(entry);
    };
    add(defaultEntry);
    std::for_each(entries.begin(), entries.end(), add);
    targets.push_back(ConnectionTarget{true, ""});
    return targets;
}
