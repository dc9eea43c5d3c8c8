#include "settings/user_settings_copy.h"

#include <string>
#include <vector>

#include "base/text_compare.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

bool IsInstallationValue(const std::string& name) {
    return base::EqualsIgnoringCase(name, setting::AppPathName) ||
           base::EqualsIgnoringCase(name, setting::AppFullPathName);
}

bool CopyKeyValues(SettingsBackend& backend, const std::string& keyPath) {
    std::vector<StoredValue> values;
    if (!backend.ListValues(SettingsRoot::LocalMachine, keyPath, values))
        return true;  // a machine key that cannot be read is the same as none
    bool copied = true;
    for (const StoredValue& value : values) {
        if (keyPath == setting::ProductKey &&
            (IsInstallationValue(value.name) || IsRunStateSetting(keyPath, value.name)))
            continue;
        copied = backend.WriteValue(SettingsRoot::CurrentUser, keyPath, value) && copied;
    }
    return copied;
}

}  // namespace

bool CopyMachineSettingsForNewUser(SettingsBackend& backend) {
    if (backend.KeyExists(SettingsRoot::CurrentUser, setting::ProductKey))
        return true;
    bool copied = CopyKeyValues(backend, setting::ProductKey);
    return CopyKeyValues(backend, setting::CleaningChoicesKey) && copied;
}
