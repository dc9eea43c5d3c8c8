// Start-up's half of settings_access.h: the notice shown as a message box.
#pragma once

#include <windows.h>

// Tells the user, once, when this copy cannot keep its settings.
void TellOnceIfSettingsCannotBeKept(HWND owner);
