#include "settings/reg_value.h"

#include "base/text_compare.h"
#include "settings/settings_names.h"

void SplitSettingPath(const std::string& path, std::string& keyPath, std::string& valueName) {
    size_t start = path.find_first_not_of('\\');
    std::string trimmed = start == std::string::npos ? std::string() : path.substr(start);

    size_t last = trimmed.rfind('\\');
    if (last == std::string::npos) {
        keyPath.clear();
        valueName = trimmed;
        return;
    }
    keyPath = trimmed.substr(0, last);
    size_t keyEnd = keyPath.find_last_not_of('\\');
    keyPath.erase(keyEnd == std::string::npos ? 0 : keyEnd + 1);

    valueName = trimmed.substr(last);
    valueName.erase(0, valueName.find_first_not_of('\\'));
}

bool IsRunStateSetting(const std::string& keyPath, const std::string& name) {
    if (!base::EqualsIgnoringCase(keyPath, setting::ProductKey))
        return false;
    for (const char* state : {"LastDomain", "UseProxy", "ProxyName", "FAIL"}) {
        if (base::EqualsIgnoringCase(name, state))
            return true;
    }
    return base::StartsWithIgnoringCase(name, "TMP");
}

namespace {

// Where a value of this root is read from: a product setting from the user's
// key when it holds the value (even one that cannot be read as asked: the
// user's own value, however odd, is never replaced by the machine's),
// otherwise from the machine's key.
SettingsRoot ReadRoot(SettingsRoot root, SettingsBackend& backend, const std::string& keyPath,
                      const std::string& name) {
    if (root != SettingsRoot::Product)
        return root;
    if (IsRunStateSetting(keyPath, name))
        return SettingsRoot::CurrentUser;
    return backend.ValueExists(SettingsRoot::CurrentUser, keyPath, name)
               ? SettingsRoot::CurrentUser
               : SettingsRoot::LocalMachine;
}

SettingsRoot WriteRoot(SettingsRoot root) {
    return root == SettingsRoot::Product ? SettingsRoot::CurrentUser : root;
}

}  // namespace

RegDwordValue::RegDwordValue(const std::string& path, uint32_t defaultValue, bool reread,
                             SettingsRoot root, SettingsBackend& backend)
    : backend_(backend), root_(root), default_(defaultValue), reread_(reread) {
    SplitSettingPath(path, keyPath_, valueName_);
    Read();
}

uint32_t RegDwordValue::Read() {
    uint32_t value = cached_;
    if (!backend_.ReadDword(ReadRoot(root_, backend_, keyPath_, valueName_), keyPath_, valueName_,
                            value))
        return default_;
    cached_ = value;
    loaded_ = true;
    return cached_;
}

uint32_t RegDwordValue::Get() {
    if (loaded_ && !reread_)
        return cached_;
    return Read();
}

void RegDwordValue::Set(uint32_t value) {
    if (value == cached_ && !reread_)
        return;
    cached_ = value;
    if (backend_.WriteDword(WriteRoot(root_), keyPath_, valueName_, value))
        loaded_ = true;
}

RegStringValue::RegStringValue(const std::string& path, const std::string& defaultValue,
                               bool reread, SettingsRoot root, SettingsBackend& backend)
    : backend_(backend), root_(root), default_(defaultValue), reread_(reread) {
    SplitSettingPath(path, keyPath_, valueName_);
    Read();
}

std::string RegStringValue::Read() {
    std::string value;
    if (!backend_.ReadText(ReadRoot(root_, backend_, keyPath_, valueName_), keyPath_, valueName_,
                           value))
        return default_;
    cached_ = value;
    loaded_ = true;
    return cached_;
}

std::string RegStringValue::Get() {
    if (loaded_ && !reread_)
        return cached_;
    return Read();
}

void RegStringValue::Set(const std::string& value) {
    if (value == cached_ && !reread_)
        return;
    cached_ = value;
    if (backend_.WriteText(WriteRoot(root_), keyPath_, valueName_, value))
        loaded_ = true;
}
