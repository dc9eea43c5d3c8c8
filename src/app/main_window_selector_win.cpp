// The proxy selector: a ComboBoxEx beside "Enable Veilgate", filled a step
// at a time (SelectorFill) so that the window answers between steps.
#include "app/main_window_win.h"

#include "app/main_window_parts_win.h"
#include "app/main_window_res.h"

namespace {

// The selector's place in dialog units, beside "Enable Veilgate", so that it
// follows the font at every scale as the template's controls do; its
// height includes the opened list.
constexpr RECT SelectorRect = {184, 21, 376, 184};
// How long one step of the fill may hold the window.
constexpr auto FillStepTime = std::chrono::milliseconds(40);

}  // namespace

bool MainWindow::CreateProxySelector() {
    RECT place = SelectorRect;
    MapDialogRect(Hwnd(), &place);
    selector_ = CreateWindowExA(
        0, WC_COMBOBOXEXA, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN,
        place.left, place.top, place.right - place.left, place.bottom - place.top, Hwnd(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROXY_SELECTOR)),
        GetModuleHandleA(nullptr), nullptr);
    if (!selector_)
        return false;
    SendMessageA(selector_, WM_SETFONT, SendMessageA(Hwnd(), WM_GETFONT, 0, 0), TRUE);
    ClearSelector();
    return true;
}

std::string MainWindow::SelectorText() {
    HWND edit = reinterpret_cast<HWND>(SendMessageA(selector_, CBEM_GETEDITCONTROL, 0, 0));
    char text[1024] = {};
    if (edit)
        GetWindowTextA(edit, text, sizeof text);
    return text;
}

void MainWindow::SetSelectorText(const std::string& text) {
    HWND edit = reinterpret_cast<HWND>(SendMessageA(selector_, CBEM_GETEDITCONTROL, 0, 0));
    if (edit)
        SetWindowTextA(edit, text.c_str());
}

// A box of many items is emptied a step at a time: emptied at once, 100,000
// items held the window for seconds.
void MainWindow::ClearSelector() {
    int count = static_cast<int>(SendMessageA(selector_, CB_GETCOUNT, 0, 0));
    if (count > static_cast<int>(SelectorFill::DefaultItemsPerStep)) {
        if (selectorFill_.QueueRemoval(count) &&
            !PostMessageA(Hwnd(), main_window::FillSelectorMessage, 0, 0))
            FillSelectorStep();
    } else {
        selectorFill_.Clear();
        SendMessageA(selector_, CB_RESETCONTENT, 0, 0);
    }
    SetSelectorText("");
}

// Queued: a list of 100,000 proxies goes in a step at a time, the window
// answering between steps.
void MainWindow::InsertSelectorItem(int index, const SelectorItem& item) {
    if (selectorFill_.Queue(index, item) &&
        !PostMessageA(Hwnd(), main_window::FillSelectorMessage, 0, 0))
        FillSelectorStep();
}

void MainWindow::InsertSelectorItems(int firstIndex, std::vector<SelectorItem> items) {
    if (selectorFill_.QueueRun(firstIndex, std::move(items)) &&
        !PostMessageA(Hwnd(), main_window::FillSelectorMessage, 0, 0))
        FillSelectorStep();
}

void MainWindow::FillSelectorStep() {
    auto insert = [this](int index, const SelectorItem& item) {
        COMBOBOXEXITEMA entry{};
        entry.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
        entry.iItem = index;
        entry.pszText = const_cast<char*>(item.text.c_str());
        entry.iImage = item.image;
        entry.iSelectedImage = item.image;
        SendMessageA(selector_, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&entry));
    };
    auto remove = [this](int index) { SendMessageA(selector_, CBEM_DELETEITEM, index, 0); };
    auto select = [this](const std::string& text) { SelectSelectorItem(text); };
    bool more = true;
    while (more) {
        // The box is not repainted for each item of a step.
        SendMessageA(selector_, WM_SETREDRAW, FALSE, 0);
        more = selectorFill_.RunStep(insert, remove, select,
                                     SelectorFill::Clock::now() + FillStepTime);
        SendMessageA(selector_, WM_SETREDRAW, TRUE, 0);
        // Posted rather than looped, so that input and paint come between
        // steps; a step that cannot be posted is run at once.
        if (more && PostMessageA(Hwnd(), main_window::FillSelectorMessage, 0, 0))
            more = false;
    }
    InvalidateRect(selector_, nullptr, TRUE);
}

void MainWindow::SelectSelectorItem(const std::string& text) {
    if (selectorFill_.SelectAfterFill(text))
        return;
    LRESULT index = SendMessageA(selector_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(selector_, CB_SETCURSEL, index == CB_ERR ? static_cast<WPARAM>(-1) : index, 0);
}

std::string MainWindow::SelectedItemText() {
    LRESULT index = SendMessageA(selector_, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return std::string();
    char text[1024] = {};
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(selector_, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return text;
}

void MainWindow::OnSelectorChoice() {
    std::string chosen = SelectedItemText();
    if (!listRefresh_->KeepPasswordOfOffered(chosen)) {
        Tell(activation::CannotKeepPassword, "ERROR");
        return;
    }
    activation_->OnSelectorChoice(chosen);
    if (HWND edit = reinterpret_cast<HWND>(SendMessageA(selector_, CBEM_GETEDITCONTROL, 0, 0)))
        SetFocus(edit);
    SetFocus(Item(IDC_TESTED_PROXIES));
}
