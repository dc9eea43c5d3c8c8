#include "app/settings_access_win.h"

#include "app/settings_access.h"
#include "ui/message_box.h"

void TellOnceIfSettingsCannotBeKept(HWND owner) {
    std::string notice = SettingsNoticeToShow(DefaultSettingsBackend());
    if (!notice.empty())
        ui::ShowMessage(owner, notice, "Veilgate");
}
