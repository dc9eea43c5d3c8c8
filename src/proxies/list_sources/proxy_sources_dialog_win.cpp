#include "proxies/list_sources/proxy_sources_dialog_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include <chrono>
#include <vector>

#include "proxies/list_sources/proxy_sources_dialog_res.h"
#include "proxies/proxy_check.h"
#include "settings/maker_endpoints.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "ui/data_exchange_win.h"
#include "ui/message_box.h"

namespace {

const net::ProxyType TypeChoices[] = {net::ProxyType::Http, net::ProxyType::Socks4,
                                      net::ProxyType::Socks5};

// How long closing the dialog waits for a test still asking a page: one held
// by a name look-up is left to end on its own (it posts to no window then).
constexpr auto TestStopWait = std::chrono::milliseconds(1000);

void AddColumn(HWND list, int index, const char* title, int width) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(title);
    column.cx = width;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

ProxySourcesDialog::ProxySourcesDialog()
    : Dialog(IDD_PROXY_SOURCES),
      editor_(LoadProxySources(), RegStringValue(setting::JudgeUrl, "").Get()) {
    UseDialogColors();
}

ProxySourcesDialog::~ProxySourcesDialog() {
    StopTest();
}

bool ProxySourcesDialog::OnInitDialog() {
    HWND list = Item(IDC_SOURCE_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT box{};
    GetClientRect(list, &box);
    int typeWidth = MulDiv(box.right - box.left, 1, 5);
    AddColumn(list, 0, "List", box.right - box.left - typeWidth - GetSystemMetrics(SM_CXVSCROLL));
    AddColumn(list, 1, "Default type", typeWidth);
    HWND types = Item(IDC_SOURCE_TYPE);
    for (net::ProxyType type : TypeChoices)
        SendMessageA(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(net::ProxySchemeName(type)));
    SendMessageA(types, CB_SETCURSEL, 0, 0);
    ui::SetFieldText(Hwnd(), IDC_JUDGE_URLS, editor_.JudgeText());
    ShowSources(0);
    return true;
}

void ProxySourcesDialog::ShowSources(int selected) {
    HWND list = Item(IDC_SOURCE_LIST);
    filling_ = true;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<ProxySource>& sources = editor_.Sources();
    for (size_t i = 0; i < sources.size(); ++i) {
        std::string text = SourceDisplayText(sources[i]);
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(text.c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(net::ProxySchemeName(sources[i].defaultType));
        SendMessageA(list, LVM_SETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        ListView_SetCheckState(list, static_cast<int>(i), sources[i].ticked);
    }
    if (selected >= 0 && selected < static_cast<int>(sources.size()))
        ListView_SetItemState(list, selected, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    filling_ = false;
}

int ProxySourcesDialog::SelectedRow() const {
    return static_cast<int>(SendMessageA(Item(IDC_SOURCE_LIST), LVM_GETNEXTITEM,
                                         static_cast<WPARAM>(-1), LVNI_SELECTED));
}

net::ProxyType ProxySourcesDialog::ChosenType() const {
    LRESULT index = SendMessageA(Item(IDC_SOURCE_TYPE), CB_GETCURSEL, 0, 0);
    return index >= 0 && index < 3 ? TypeChoices[index] : net::ProxyType::Http;
}

void ProxySourcesDialog::AddSource() {
    std::string problem;
    if (!editor_.Add(ui::GetFieldText(Hwnd(), IDC_SOURCE_LOCATION), ChosenType(), problem)) {
        ui::ShowMessage(Hwnd(), problem, "Veilgate");
        return;
    }
    ui::SetFieldText(Hwnd(), IDC_SOURCE_LOCATION, "");
    ShowSources(static_cast<int>(editor_.Sources().size()) - 1);
}

void ProxySourcesDialog::BrowseForFile() {
    char path[MAX_PATH] = {};
    OPENFILENAMEA choice{};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = Hwnd();
    choice.lpstrFilter = "Proxy lists (*.txt;*.csv;*.json)\0*.txt;*.csv;*.json\0All files\0*.*\0";
    choice.lpstrFile = path;
    choice.nMaxFile = sizeof path;
    choice.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetOpenFileNameA(&choice))
        ui::SetFieldText(Hwnd(), IDC_SOURCE_LOCATION, path);
}

void ProxySourcesDialog::TestJudges() {
    std::string problem;
    if (!editor_.SetJudgeText(ui::GetFieldText(Hwnd(), IDC_JUDGE_URLS), problem)) {
        ui::ShowMessage(Hwnd(), problem, "Veilgate");
        return;
    }
    if (test_ && !test_->done)
        return;
    StopTest();
    std::vector<std::string> urls = SplitJudgeUrls(editor_.JudgeSetting());
    if (urls.empty())
        urls.push_back(maker::AddressOf(maker::WhatIsMyIpPath));
    ui::SetFieldText(Hwnd(), IDC_JUDGE_RESULT, "Asking the test pages...");
    auto test = std::make_shared<Test>();
    HWND window = Hwnd();
    try {
        test->thread = std::thread([test, urls, window] {
            std::string text;
            try {
                for (const std::string& url : urls) {
                    ProxyJudge judge;
                    OwnAddresses own;
                    bool answered =
                        ParseJudgeUrl(url, judge) && AskJudgeDirectly(judge, test->stop, own);
                    text += (text.empty() ? "" : "\r\n") +
                            JudgeTestLine(url, answered, own.seenDirectly);
                }
            } catch (...) {
            }
            auto posted = std::make_unique<std::string>(text);
            if (!test->stop && PostMessageA(window, JudgesTestedMessage, 0,
                                            reinterpret_cast<LPARAM>(posted.get())))
                posted.release();
            test->done = true;
        });
    } catch (...) {
        ui::SetFieldText(Hwnd(), IDC_JUDGE_RESULT, "The test could not be started.");
        return;
    }
    test_ = test;
}

void ProxySourcesDialog::StopTest() {
    if (!test_)
        return;
    test_->stop = true;
    auto until = std::chrono::steady_clock::now() + TestStopWait;
    while (!test_->done && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (test_->done)
        test_->thread.join();
    else
        test_->thread.detach();
    test_.reset();
}

bool ProxySourcesDialog::OnCommand(int id, int notifyCode, HWND control) {
    int row = SelectedRow();
    switch (id) {
    case IDC_ADD_SOURCE:
        AddSource();
        return true;
    case IDC_BROWSE_SOURCE:
        BrowseForFile();
        return true;
    case IDC_REMOVE_SOURCE:
        if (row >= 0 && editor_.Remove(static_cast<size_t>(row)))
            ShowSources(row < static_cast<int>(editor_.Sources().size()) ? row : row - 1);
        return true;
    case IDC_SOURCE_UP:
        if (row >= 0 && editor_.MoveUp(static_cast<size_t>(row)))
            ShowSources(row - 1);
        return true;
    case IDC_SOURCE_DOWN:
        if (row >= 0 && editor_.MoveDown(static_cast<size_t>(row)))
            ShowSources(row + 1);
        return true;
    case IDC_SOURCE_TYPE:
        // With a source chosen, the type box is that source's type.
        if (notifyCode == CBN_SELCHANGE && row >= 0) {
            editor_.SetDefaultType(static_cast<size_t>(row), ChosenType());
            ShowSources(row);
        }
        return true;
    case IDC_TEST_JUDGES:
        TestJudges();
        return true;
    default:
        return false;
    }
}

bool ProxySourcesDialog::OnNotify(int id, NMHDR& header, LRESULT& result) {
    if (id != IDC_SOURCE_LIST || header.code != LVN_ITEMCHANGED || filling_)
        return false;
    const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (change.iItem < 0)
        return false;
    // The check box is state image 1 (clear) or 2 (ticked).
    if ((change.uChanged & LVIF_STATE) &&
        (change.uNewState & LVIS_STATEIMAGEMASK) != (change.uOldState & LVIS_STATEIMAGEMASK))
        editor_.SetTicked(static_cast<size_t>(change.iItem),
                          ListView_GetCheckState(header.hwndFrom, change.iItem) != 0);
    if ((change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED)) {
        const std::vector<ProxySource>& sources = editor_.Sources();
        for (int i = 0; i < 3 && change.iItem < static_cast<int>(sources.size()); ++i) {
            if (TypeChoices[i] == sources[change.iItem].defaultType)
                SendMessageA(Item(IDC_SOURCE_TYPE), CB_SETCURSEL, i, 0);
        }
    }
    return true;
}

void ProxySourcesDialog::OnOK() {
    std::string problem;
    if (!editor_.SetJudgeText(ui::GetFieldText(Hwnd(), IDC_JUDGE_URLS), problem)) {
        ui::ShowMessage(Hwnd(), problem, "Veilgate");
        return;
    }
    editor_.Save();
    End(IDOK);
}

void ProxySourcesDialog::OnDestroy() {
    StopTest();
}

INT_PTR ProxySourcesDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message != JudgesTestedMessage)
        return 0;
    handled = true;
    std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
    ui::SetFieldText(Hwnd(), IDC_JUDGE_RESULT, *text);
    return 0;
}
