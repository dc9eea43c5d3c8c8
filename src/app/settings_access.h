// A copied (not installed) Veilgate run by a standard user cannot write under
// HKEY_LOCAL_MACHINE, so every setting it stores would be lost without a
// word. These routines find that out at start-up and tell the user once.
#pragma once

#include <string>

#include "settings/settings_backend.h"

constexpr char SettingsNotKeptText[] =
    "Veilgate cannot save its settings for your user account, so any change you make will be "
    "lost when Veilgate ends.\r\n\r\n"
    "To keep your settings, install Veilgate with its setup program, or run it as "
    "administrator.";

// True when a value can be written under the product key.
bool CanStoreSettings(SettingsBackend& backend);

// The text to show the user now, or empty: it is given only while settings
// cannot be stored, and only the first time for each user, which is recorded
// under that user's own key (writable even when the product key is not).
std::string SettingsNoticeToShow(SettingsBackend& backend);
