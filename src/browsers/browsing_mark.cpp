#include "browsers/browsing_mark.h"

namespace {

constexpr SettingsRoot Root = SettingsRoot::CurrentUser;
constexpr char OnName[] = "On";

}  // namespace

std::string RestoreNowEventName(uint32_t processId) {
    return "Local\\Veilgate.RestoreNow." + std::to_string(processId);
}

std::string RestoreToolCommand(const std::string& toolPath, const std::string& arguments) {
    return "\"" + toolPath + "\" " + arguments;
}

std::string RunOnceCommand(const std::string& toolPath, const std::string& shortToolPath,
                           const std::string& arguments) {
    for (const std::string* path : {&toolPath, &shortToolPath}) {
        std::string command = RestoreToolCommand(*path, arguments);
        if (!path->empty() && command.size() <= RunOnceCommandLimit)
            return command;
    }
    return std::string();
}

bool MarkBrowsingOn(const std::string& leftoverCommand, SettingsBackend& backend) {
    if (!IsBrowsingMarkedOn(backend) && !backend.WriteDword(Root, BrowsingMarkKey, OnName, 1))
        return false;
    std::string entry;
    if (!leftoverCommand.empty() &&
        !(backend.ReadText(Root, RunOnceKey, RunOnceName, entry) && entry == leftoverCommand))
        backend.WriteText(Root, RunOnceKey, RunOnceName, leftoverCommand);
    return true;
}

bool ClearBrowsingMark(SettingsBackend& backend) {
    bool entryGone = backend.DeleteValue(Root, RunOnceKey, RunOnceName);
    return backend.DeleteKey(Root, BrowsingMarkKey) && entryGone;
}

bool IsBrowsingMarkedOn(SettingsBackend& backend) {
    uint32_t on = 0;
    return backend.ReadDword(Root, BrowsingMarkKey, OnName, on) && on == 1;
}
