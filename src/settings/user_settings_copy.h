// Settings used to be kept for the whole machine. A user who has none of
// their own yet starts from what the machine's key holds.
#pragma once

#include "settings/settings_backend.h"

// When the current user's product key does not exist, copies every value of
// the machine's product key and of its "Setari" subkey into the user's,
// type and bytes unchanged, but AppPath and AppFullPath, which describe the
// installation and stay the machine's, and the values that held one run's
// state rather than a setting (LastDomain, UseProxy, ProxyName, FAIL and
// the TMP... hand-over values). The machine's key is left as it was.
// True when there was nothing to do or every value was copied.
bool CopyMachineSettingsForNewUser(SettingsBackend& backend);
