// Where the window went: a tray icon may sit out of sight (in the hidden
// overflow of newer taskbars), so the first time this user's window goes to
// the tray, the icon says that the program still runs.
#pragma once

#include "session/shell_interfaces.h"

namespace tray_hint {
constexpr char Text[] = "Veilgate is still running. Double-click this icon to open it.";
}  // namespace tray_hint

// After the window went to the tray: the balloon, once per user.
void OnWentToTray(MainWindowView& view);
