// The online poll offered at the end of a run: "Yes" opens the poll page,
// "No" or the close box opens nothing.
#pragma once

#include <functional>
#include <string>

#include "ui/dialog_win.h"

class PollDialog : public ui::Dialog {
public:
    using PageOpener = std::function<void(const std::string& url)>;

    // `openPage` is called with the poll page's address on "Yes".
    explicit PollDialog(PageOpener openPage);

    // The poll page on the maker's built-in host.
    static std::string PollPageUrl();
    // Opens an address in the user's default browser.
    static void OpenInDefaultBrowser(const std::string& url);

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    PageOpener openPage_;
};
