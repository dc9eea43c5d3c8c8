#include "browsers/connection_record.h"

namespace {

constexpr SettingsRoot Root = SettingsRoot::CurrentUser;
// Written last, so that a record cut short by a crash counts as none.
constexpr char CountName[] = "Count";

std::string Indexed(const char* name, size_t index) {
    return name + std::to_string(index);
}

}  // namespace

bool operator==(const ConnectionOptions& a, const ConnectionOptions& b) {
    return a.flags == b.flags && a.proxyServer == b.proxyServer && a.proxyBypass == b.proxyBypass &&
           a.autoConfigUrl == b.autoConfigUrl;
}

bool LoadSavedConnections(std::vector<SavedConnection>& saved, SettingsBackend& backend) {
    saved.clear();
    uint32_t count = 0;
    if (!backend.ReadDword(Root, SavedConnectionsKey, CountName, count))
        return false;
    for (size_t i = 0; i < count; ++i) {
        SavedConnection entry;
        uint32_t isLan = 0;
        if (!backend.ReadDword(Root, SavedConnectionsKey, Indexed("Lan", i), isLan) ||
            !backend.ReadDword(Root, SavedConnectionsKey, Indexed("Flags", i), entry.options.flags))
            return false;
        entry.target.isLan = isLan == 1;
        backend.ReadText(Root, SavedConnectionsKey, Indexed("Connection", i), entry.target.name);
        backend.ReadText(Root, SavedConnectionsKey, Indexed("ProxyServer", i),
                         entry.options.proxyServer);
        backend.ReadText(Root, SavedConnectionsKey, Indexed("ProxyBypass", i),
                         entry.options.proxyBypass);
        backend.ReadText(Root, SavedConnectionsKey, Indexed("AutoConfigURL", i),
                         entry.options.autoConfigUrl);
        saved.push_back(entry);
    }
    return true;
}

bool SaveConnections(const std::vector<SavedConnection>& saved, SettingsBackend& backend) {
    if (!ForgetSavedConnections(backend))
        return false;
    bool ok = true;
    for (size_t i = 0; i < saved.size(); ++i) {
        const SavedConnection& entry = saved[i];
        ok = ok && backend.WriteDword(Root, SavedConnectionsKey, Indexed("Lan", i),
                                      entry.target.isLan ? 1 : 0);
        ok = ok && backend.WriteText(Root, SavedConnectionsKey, Indexed("Connection", i),
                                     entry.target.name);
        ok = ok && backend.WriteDword(Root, SavedConnectionsKey, Indexed("Flags", i),
                                      entry.options.flags);
        ok = ok && backend.WriteText(Root, SavedConnectionsKey, Indexed("ProxyServer", i),
                                     entry.options.proxyServer);
        ok = ok && backend.WriteText(Root, SavedConnectionsKey, Indexed("ProxyBypass", i),
                                     entry.options.proxyBypass);
        ok = ok && backend.WriteText(Root, SavedConnectionsKey, Indexed("AutoConfigURL", i),
                                     entry.options.autoConfigUrl);
    }
    return ok && backend.WriteDword(Root, SavedConnectionsKey, CountName,
                                    static_cast<uint32_t>(saved.size()));
}

bool ForgetSavedConnections(SettingsBackend& backend) {
    return backend.DeleteKey(Root, SavedConnectionsKey);
}

const ConnectionOptions* FindSaved(const std::vector<SavedConnection>& saved,
                                   const ConnectionTarget& target) {
    for (const SavedConnection& entry : saved) {
        if (SameConnection(entry.target, target))
            return &entry.options;
    }
    return nullptr;
}
