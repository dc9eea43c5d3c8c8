#include "privacy/privacy_settings.h"

#include "settings/settings_names.h"

namespace {

RegDwordValue MakeFlag(const char* path, SettingsBackend& backend) {
    return RegDwordValue(path, 0, false, SettingsRoot::Product, backend);
}

}  // namespace

PrivacySettings::PrivacySettings(SettingsBackend& backend)
    : choices_{MakeFlag(setting::IClear1, backend), MakeFlag(setting::IClear2, backend),
               MakeFlag(setting::IClear3, backend), MakeFlag(setting::IClear4, backend),
               MakeFlag(setting::IClear5, backend), MakeFlag(setting::IClear6, backend),
               MakeFlag(setting::IClear7, backend)},
      autoClean_(MakeFlag(setting::AutoClean, backend)),
      enableJS_(MakeFlag(setting::EnableJS, backend)),
      enableActiveX_(MakeFlag(setting::EnableActiveX, backend)) {}
