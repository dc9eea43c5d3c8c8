#include "app/tray_hint.h"

#include "settings/reg_value.h"
#include "settings/settings_names.h"

void OnWentToTray(MainWindowView& view) {
    if (RegDwordValue(setting::TrayHintShown).IsOn())
        return;
    // Remembered only once shown: a tray that could not take the icon is
    // asked again the next time.
    if (view.ShowTrayBalloon(tray_hint::Text))
        RegDwordValue(setting::TrayHintShown).Set(1);
}
