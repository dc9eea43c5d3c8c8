#include "restore/poll_dialog_win.h"

#include <shellapi.h>

#include "restore/poll_dialog_res.h"
#include "settings/maker_endpoints.h"

PollDialog::PollDialog(PageOpener openPage) : Dialog(IDD_POLL), openPage_(std::move(openPage)) {}

std::string PollDialog::PollPageUrl() {
    return maker::Url(maker::DefaultHost, maker::PollPath);
}

void PollDialog::OpenInDefaultBrowser(const std::string& url) {
    ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool PollDialog::OnInitDialog() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // Shared icons from LoadImage need no clean-up.
    HANDLE big = LoadImageA(instance, MAKEINTRESOURCEA(IDI_GATERESET), IMAGE_ICON,
                            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED);
    HANDLE small =
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_GATERESET), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    return true;
}

void PollDialog::OnOK() {
    if (openPage_)
        openPage_(PollPageUrl());
    End(IDOK);
}
