#include "app/settings_access.h"

#include <cstdint>

#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// The probe rewrites a value with what it holds already; nothing reads this
// one, and "EXIT" stores 0 in it anyway.
bool RewritePopUpsBlockedToday(SettingsBackend& backend) {
    std::string keyPath, name;
    SplitSettingPath(setting::PopUpsBlockedToday, keyPath, name);
    uint32_t value = 0;
    backend.ReadDword(SettingsRoot::LocalMachine, keyPath, name, value);
    return backend.WriteDword(SettingsRoot::LocalMachine, keyPath, name, value);
}

}  // namespace

bool CanStoreSettings(SettingsBackend& backend) {
    return RewritePopUpsBlockedToday(backend);
}

std::string SettingsNoticeToShow(SettingsBackend& backend) {
    if (CanStoreSettings(backend))
        return std::string();
    RegDwordValue told(setting::SettingsNoticeShown, 0, false, SettingsRoot::CurrentUser, backend);
    if (told.IsOn())
        return std::string();
    told.Set(1);
    return SettingsNotKeptText;
}
