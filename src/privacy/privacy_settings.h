// The ten settings that live as long as the program: the seven cleaning
// choices, the auto-clean flag and the two blocking switches. The Online
// Privacy dialog shows and stores the choices through these; everything else
// reads the same values through short-lived wrappers of its own.
#pragma once

#include <array>

#include "privacy/clean_pass.h"
#include "settings/reg_value.h"

class PrivacySettings {
public:
    explicit PrivacySettings(SettingsBackend& backend = DefaultSettingsBackend());
    PrivacySettings(const PrivacySettings&) = delete;
    PrivacySettings& operator=(const PrivacySettings&) = delete;

    RegDwordValue& Choice(CleanTask task) { return choices_[static_cast<size_t>(task)]; }
    RegDwordValue& Choice(size_t index) { return choices_[index]; }
    RegDwordValue& AutoClean() { return autoClean_; }
    RegDwordValue& EnableJS() { return enableJS_; }
    RegDwordValue& EnableActiveX() { return enableActiveX_; }

private:
    std::array<RegDwordValue, CleanTaskCount> choices_;
    RegDwordValue autoClean_;
    RegDwordValue enableJS_;
    RegDwordValue enableActiveX_;
};
