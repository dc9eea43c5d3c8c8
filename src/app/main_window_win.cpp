#include "app/main_window_win.h"

#include <shellapi.h>

#include <algorithm>

#include "app/dialogs/about_dialog_win.h"
#include "app/dialogs/add_proxy_dialog_win.h"
#include "app/dialogs/advanced_settings_dialog_win.h"
#include "app/dialogs/protection_dialog_win.h"
#include "session/failover.h"
#include "session/find_working.h"
#include "app/main_window_res.h"
#include "app/protection_probe_win.h"
#include "app/res/app_resources.h"
#include "app/tray_hint.h"
#include "base/files.h"
#include "browsers/browsing_mark.h"
#include "browsers/browser_config_dialog_win.h"
#include "browsers/connection_options_win.h"
#include "privacy/privacy_runtime_win.h"
#include "proxies/data_files.h"
#include "proxies/list_sources/proxy_sources_dialog_win.h"
#include "proxies/proxy_evaluation_dialog_win.h"
#include "proxies/proxy_line.h"
#include "proxies/proxy_list_download_win.h"
#include "settings/maker_endpoints.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "ui/bitmap_layout.h"
#include "ui/data_exchange_win.h"
#include "ui/list_view_columns_win.h"
#include "ui/message_box.h"

namespace {

constexpr COLORREF IdLabelColor = RGB(185, 212, 249);
constexpr COLORREF NoIdLabelColor = RGB(187, 213, 248);
constexpr COLORREF RotationColor = RGB(234, 239, 246);
constexpr COLORREF LinkBackgroundColor = RGB(191, 215, 247);
constexpr COLORREF DialogColor = RGB(172, 193, 220);
constexpr COLORREF Transparent = RGB(255, 0, 255);

// The selector's place in dialog units, beside "Enable Veilgate", so that it
// follows the font at every scale as the template's controls do; its
// height includes the opened list.
constexpr RECT SelectorRect = {184, 21, 376, 184};
// The pictures' sizes at 100 %; the bitmaps drawn for other scales are as
// ui::ScalePixels makes them.
constexpr int SelectorImageWidth = 21;
constexpr int ToolbarButtonWidth = 97;
constexpr int ToolbarButtonHeight = 30;
// Posted when rows came, so that the columns are measured once all of a
// fill's rows are in.
constexpr UINT ResizeColumnsMessage = WM_APP + 40;
// Posted from a connection's thread when the engine has moved to a failover
// candidate; lParam: the EngineSwitch, which the window takes.
constexpr UINT FailedOverMessage = WM_APP + 41;
// Posted once the browsers are switched on, so that a failure to start the
// watcher is told after the switch and holds nothing.
constexpr UINT TellIfUnwatchedMessage = WM_APP + 42;
// Windows gives a program five seconds to answer at the end of the session
// before it offers the user to end it: a switch that runs is waited for this
// long, and the browsers are then given this long to go back.
constexpr DWORD SessionEndSwitchWaitMs = 1500;
constexpr DWORD SessionEndRestoreMs = 2500;
// Controls this close on a row go together as the window grows: the
// rotation box with its field, the buttons above the list.
constexpr int TouchGapUnits = 5;
// Posted from WM_DPICHANGED: the layout is taken again once the dialog
// manager has placed the controls for the new DPI.
constexpr UINT RetakeLayoutMessage = WM_APP + 43;
// Posted while items wait to go into the proxy selector: one step of them.
constexpr UINT FillSelectorMessage = WM_APP + 44;
constexpr char SwitchingOnText[] = "Switching on...";
constexpr char SwitchingOffText[] = "Switching off...";

struct EngineSwitch {
    UpstreamCandidate from;
    UpstreamCandidate to;
};
constexpr int ToolbarCommands[] = {IDT_ADVANCED_SETTINGS, IDT_ONLINE_PRIVACY, IDT_BROWSERS,
                                   IDT_HELP};

// The titles of the list's columns (ListColumn's order).
constexpr const char* ListColumnTitles[ListColumnCount] = {
    "Proxy IP and Port", "Country", "Response Time", "Download Speed", "Anonymity", "Exit IP"};

// The resource of a picture drawn at percent (see app_resources.h).
int PictureId(int bitmapId, int percent) {
    return percent == 200   ? bitmapId + IDB_AT_200
           : percent == 150 ? bitmapId + IDB_AT_150
                            : bitmapId;
}

HIMAGELIST LoadStrip(int bitmapId, int imageWidth, int percent) {
    return ImageList_LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(PictureId(bitmapId, percent)),
        ui::ScalePixels(imageWidth, percent), 0, Transparent, IMAGE_BITMAP, LR_CREATEDIBSECTION);
}

// Called once the control holds fresh, so that it never draws a destroyed list.
void Replace(HIMAGELIST& owned, HIMAGELIST fresh) {
    if (owned)
        ImageList_Destroy(owned);
    owned = fresh;
}

// The window's own DPI: that of its monitor for a per-monitor aware
// program on Windows 10 1607 and later, where the device context still
// answers the system's; the system's before.
int WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow) {
        if (UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    }
    HDC dc = GetDC(window);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc)
        ReleaseDC(window, dc);
    return dpi > 0 ? dpi : 96;
}

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? name : "";
}

void OpenWithShell(HWND owner, const std::string& target) {
    ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

// The browsers' settings through the browser configuration, switched on a
// worker (browser_switch_win.h) and watched from outside while they point
// at the engine.
class MainWindow::Browsers : public BrowserSettings {
public:
    explicit Browsers(MainWindow& owner) : owner_(owner) {}
    bool PointAt(const std::string& proxyServer,
                 std::vector<std::string>& unchangedFirefoxProfiles) override {
        firefoxRunning_ = false;
        owner_.SetStatusLine(SwitchingOnText);
        owner_.Repaint();
        owner_.selfWatch_.BrowsingOn();
        bool took = owner_.switch_.Run(owner_.Hwnd(), [&] {
            return SetConnectionOptions(DefaultConnectionName, proxyServer,
                                        SystemInternetSettings(), &unchangedFirefoxProfiles,
                                        &firefoxRunning_);
        });
        // Every browser is then as it was.
        if (!took)
            owner_.selfWatch_.BrowsingOff();
        else
            PostMessageA(owner_.Hwnd(), TellIfUnwatchedMessage, 0, 0);
        owner_.AfterSwitch();
        return took;
    }
    void RestoreDirect() override {
        firefoxRunning_ = false;
        owner_.SetStatusLine(SwitchingOffText);
        owner_.Repaint();
        if (owner_.switch_.Run(owner_.Hwnd(), [&] {
                return DisableConnectionProxy(DefaultConnectionName, SystemInternetSettings(),
                                              &firefoxRunning_);
            }))
            owner_.selfWatch_.BrowsingOff();
        owner_.AfterSwitch();
    }
    bool FirefoxWasRunning() const override { return firefoxRunning_; }
    // The end of the session's restore, bounded (BrowserSwitch::RunWithin).
    void RestoreWithin(DWORD ms) {
        if (owner_.switch_.RunWithin(
                [] {
                    return DisableConnectionProxy(DefaultConnectionName, SystemInternetSettings());
                },
                ms))
            owner_.selfWatch_.BrowsingOff();
    }

private:
    MainWindow& owner_;
    bool firefoxRunning_ = false;
};

// The two dialogs that hand their outcome over through the settings.
class MainWindow::Dialogs : public ProxyDialogs {
public:
    explicit Dialogs(const MainWindow& owner) : owner_(owner) {}
    bool AddNewProxy() override { return AddProxyDialog().DoModal(owner_.Hwnd()) == IDOK; }
    bool EvaluateProxy(const std::string& proxyText, const std::string& label) override {
        ProxyEvaluationDialog dialog;
        dialog.SetProxyText(proxyText, label);
        return dialog.DoModal(owner_.Hwnd()) == IDOK && dialog.Tested();
    }

private:
    const MainWindow& owner_;
};

MainWindow::MainWindow(LocalProxyServer& server, PrivacyRuntime& privacy)
    : TrayIcon(IDD_MAIN_WINDOW),
      server_(server),
      privacy_(privacy),
      engine_(server),
      selfWatch_(watcher_, *this, WatcherProcess::LeftoverCommand()),
      browsers_(std::make_unique<Browsers>(*this)),
      dialogs_(std::make_unique<Dialogs>(*this)),
      idBrush_(CreateSolidBrush(IdLabelColor)),
      noIdBrush_(CreateSolidBrush(NoIdLabelColor)),
      rotationBrush_(CreateSolidBrush(RotationColor)),
      linkBrush_(CreateSolidBrush(LinkBackgroundColor)),
      dialogBrush_(CreateSolidBrush(DialogColor)) {
    list_.SetObserver(this);
}

MainWindow::~MainWindow() {
    list_.SetObserver(nullptr);
    if (selectorImages_)
        ImageList_Destroy(selectorImages_);
    if (toolbarImages_)
        ImageList_Destroy(toolbarImages_);
    if (toolbarHotImages_)
        ImageList_Destroy(toolbarHotImages_);
}

bool MainWindow::OnInitDialog() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    largeIcon_.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_VEILGATE),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                   GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_VEILGATE),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.Get()));
    SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

    SetTrayIcon(IDI_VEILGATE);
    SetTrayTip(activation::ProductName);
    SetTrayMenu(IDR_TRAY_MENU);

    char aboutItem[64] = {};
    if (LoadStringA(instance, IDS_ABOUT_ITEM, aboutItem, sizeof aboutItem) > 0) {
        HMENU systemMenu = GetSystemMenu(Hwnd(), FALSE);
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, AboutCommand, aboutItem);
    }

    work_ = std::make_unique<WindowBackgroundWork>(Hwnd());
    // Told before the engine first runs. A connection's thread only posts:
    // the window's own thread does the rest.
    HWND window = Hwnd();
    server_.SetSwitchReport([window](const UpstreamCandidate& from, const UpstreamCandidate& to) {
        auto posted = std::make_unique<EngineSwitch>(EngineSwitch{from, to});
        if (PostMessageA(window, FailedOverMessage, 0, reinterpret_cast<LPARAM>(posted.get())))
            posted.release();
    });
    work_->StartGeneratorRequest();
    CreateToolbar();
    SetMode(0);
    addButton_.Attach(IDC_ADD_PROXY, Hwnd());
    refreshButton_.Attach(IDC_REFRESH_LIST, Hwnd());
    sourcesButton_.Attach(IDC_PROXY_SOURCES, Hwnd());
    findButton_.Attach(IDC_FIND_WORKING, Hwnd());
    whatIsMyIpButton_.Attach(IDC_WHAT_IS_MY_IP, Hwnd());
    trayButton_.Attach(IDOK, Hwnd());
    checkButton_.Attach(IDC_CHECK_PROTECTION, Hwnd());

    std::string dataFolder = DataFolder();
    activation_ = std::make_unique<ProxyActivation>(engine_, *browsers_, *this, *dialogs_, list_,
                                                    base::JoinPath(dataFolder, MyProxiesFile),
                                                    LocalAddressText(ComputerName()));
    rotation_ = std::make_unique<ProxyRotation>(*activation_, *this, *work_);
    listCommands_ = std::make_unique<ListCommands>(*activation_, *this, *dialogs_, *work_);
    listRefresh_ = std::make_unique<ListRefresh>(*activation_, *this, *work_);
    findWorking_ = std::make_unique<FindWorkingProxies>(*activation_, *this, *work_);
    startUpCheck_ = std::make_unique<StartUpCheck>(*activation_, *this, *work_);
    CreateListColumns();
    // A file of thousands of rows goes in without a repaint per row.
    SendMessageA(Item(IDC_TESTED_PROXIES), WM_SETREDRAW, FALSE, 0);
    activation_->LoadList();
    SendMessageA(Item(IDC_TESTED_PROXIES), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Item(IDC_TESTED_PROXIES), nullptr, TRUE);

    bool selectorMade = CreateProxySelector();
    LoadPictures(WindowDpi(Hwnd()));
    bool maximized = TakeLayout();
    if (!selectorMade) {
        activation_->StopStartUp();
        return true;
    }
    readMore_.Attach(IDC_READ_MORE, Hwnd(), IDC_HAND_POINTER);
    SetFieldText(IDC_READ_MORE, "read more");
    readMore_.SetLink(base::JoinPath(ProgramFilesFolder(), HelpFile));
    // The window shows the stored state at once, and is on the screen
    // while the browsers are switched; the list fills the selector when it
    // arrives.
    ShowWindow(Hwnd(), maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    activation_->ActivateStoredProxy();
    startUpCheck_->Start();
    rotation_->Start();
    listRefresh_->StartUp();
    return true;
}

bool MainWindow::TakeLayout() {
    layoutDpi_ = WindowDpi(Hwnd());
    layout_.Take(Hwnd(), Item(IDC_TESTED_PROXIES), toolbar_, TouchGapUnits);
    RECT window{};
    GetWindowRect(Hwnd(), &window);
    layout_.SetMinimumSize(window.right - window.left, window.bottom - window.top);
    return ui::RestoreWindowPlace(Hwnd(), RegStringValue(setting::MainWindowPlace).Get(),
                                  layout_.MinimumWidth(), layout_.MinimumHeight());
}

void MainWindow::SetFieldText(int id, const std::string& text) {
    ui::SetFieldText(Hwnd(), id, text);
}

void MainWindow::CreateToolbar() {
    toolbar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_FLAT | CCS_TOP, 0, 0, 0,
                               0, Hwnd(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!toolbar_)
        return;
    SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // The buttons are the pictures alone, so the bar stays above the first
    // row of controls.
    SendMessageA(toolbar_, TB_SETPADDING, 0, MAKELPARAM(0, 0));
    TBBUTTON buttons[4] = {};
    for (int i = 0; i < 4; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = ToolbarCommands[i];
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_BUTTON;
        buttons[i].iString = -1;
    }
    SendMessageA(toolbar_, TB_ADDBUTTONSA, 4, reinterpret_cast<LPARAM>(buttons));
}

void MainWindow::LoadPictures(int dpi) {
    int scale = ui::PictureScaleForDpi(dpi);
    LoadBitmapResource(PictureId(IDB_BACKGROUND, scale));
    if (toolbar_) {
        HIMAGELIST images = LoadStrip(IDB_TOOLBAR, ToolbarButtonWidth, scale);
        HIMAGELIST hotImages = LoadStrip(IDB_TOOLBAR_HOT, ToolbarButtonWidth, scale);
        int width = ui::ScalePixels(ToolbarButtonWidth, scale);
        int height = ui::ScalePixels(ToolbarButtonHeight, scale);
        SendMessageA(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(width, height));
        SendMessageA(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        SendMessageA(toolbar_, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(hotImages));
        SendMessageA(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(width, height));
        SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
        Replace(toolbarImages_, images);
        Replace(toolbarHotImages_, hotImages);
    }
    if (selector_) {
        HIMAGELIST images = LoadStrip(IDB_SELECTOR, SelectorImageWidth, scale);
        SendMessageA(selector_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        Replace(selectorImages_, images);
    }
}

void MainWindow::CreateListColumns() {
    HWND listView = Item(IDC_TESTED_PROXIES);
    ListView_SetExtendedListViewStyle(listView, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < ListColumnCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(ListColumnTitles[i]);
        column.iSubItem = i;
        SendMessageA(listView, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    SizeListColumns();
}

void MainWindow::SizeListColumns(bool measure) {
    HWND listView = Item(IDC_TESTED_PROXIES);
    if (measure || columnWidths_.empty())
        columnWidths_ = ui::MeasureListColumns(listView);
    ui::FillListColumns(listView, columnWidths_);
}

void MainWindow::SizeColumnsSoon() {
    if (columnsSizePending_)
        return;
    columnsSizePending_ = PostMessageA(Hwnd(), ResizeColumnsMessage, 0, 0) != FALSE;
}

void MainWindow::SortListBy(int column) {
    int selected = FirstSelectedRow();
    viewOrder_.SortBy(column, list_.Rows());
    ShowRowsInViewOrder(selected);
    ui::ShowSortMark(Item(IDC_TESTED_PROXIES), column, viewOrder_.Ascending());
}

void MainWindow::ShowRowsInViewOrder(int selected) {
    HWND listView = Item(IDC_TESTED_PROXIES);
    SendMessageA(listView, WM_SETREDRAW, FALSE, 0);
    SendMessageA(listView, LVM_DELETEALLITEMS, 0, 0);
    const std::vector<int>& rows = viewOrder_.ViewRows();
    SendMessageA(listView, LVM_SETITEMCOUNT, rows.size(), 0);
    for (size_t viewRow = 0; viewRow < rows.size(); ++viewRow) {
        InsertViewRow(static_cast<int>(viewRow), list_.Row(rows[viewRow]));
        if (rows[viewRow] == selected)
            ListView_SetItemState(listView, static_cast<int>(viewRow), LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
    }
    SendMessageA(listView, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listView, nullptr, TRUE);
}

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

void MainWindow::RefreshProxyList() {
    listRefresh_->OnRefreshClicked();
}

void MainWindow::Exit() {
    ending_ = true;
    browsers_->RestoreDirect();
    RegDwordValue(setting::PopUpsBlockedToday, 0, true).Set(0);
    KillTimer(Hwnd(), rotation::TimerId);
    End(0);
}

// The session ends, or the Restart Manager (an update, an installer) asks
// the program to end while the session goes on (`closeApp`), which is an
// EXIT. The workers are told to stop and not waited for. The browsers go
// back only once no switch runs, since two at once would undo each other;
// and the browsing mark is cleared only once they are all back, so that a
// switch that could not be waited for, or a restore that did not end in
// time, is finished by the watcher or at the next log-on. UseProxy and
// ProxyName stay for the next start.
void MainWindow::EndSession(bool closeApp) {
    ending_ = true;
    if (work_)
        work_->AskToStop();
    if (engine_.IsRunning())
        engine_.Stop();
    if (switch_.EndAfterWorker(SessionEndSwitchWaitMs))
        browsers_->RestoreWithin(SessionEndRestoreMs);
    if (!closeApp)
        return;
    // The rest of EXIT, without a second restore.
    RegDwordValue(setting::PopUpsBlockedToday, 0, true).Set(0);
    KillTimer(Hwnd(), rotation::TimerId);
    End(0);
}

void MainWindow::ShowFromTray() {
    RemoveTrayIcon();
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
}

void MainWindow::OnOK() {
    ShowWindow(Hwnd(), SW_HIDE);
    AddTrayIcon();
    OnWentToTray();
}

void MainWindow::OnWentToTray() {
    ::OnWentToTray(*this);
}

void MainWindow::OnAbout() {
    AboutDialog().DoModal(Hwnd());
}

void MainWindow::OpenHelp() {
    OpenWithShell(Hwnd(), base::JoinPath(ProgramFilesFolder(), HelpFile));
}

void MainWindow::OnToolbarCommand(int id) {
    if (id == IDT_ADVANCED_SETTINGS) {
        LocalProxyServerStatus status(server_);
        AdvancedSettingsDialog(&status).DoModal(Hwnd());
        activation_->OnLocalPortChanged();
    } else if (id == IDT_ONLINE_PRIVACY) {
        privacy_.ShowPrivacyDialog(Hwnd());
    } else if (id == IDT_BROWSERS) {
        BrowserConfigDialog().DoModal(Hwnd());
    } else if (id == IDT_HELP) {
        OpenHelp();
    }
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

bool MainWindow::HeldBySwitch(int id, int notifyCode, HWND control) {
    if (!switch_.Busy())
        return false;
    switch (id) {
    case ID_TRAY_CONFIGURATION:
    case IDC_WHAT_IS_MY_IP:
    case IDT_HELP:
    case IDC_MINUTES:
    case IDC_ROTATION:
        return false;
    case IDC_ENABLE:
        // The box ticks itself at a click: it shows the switch in hand.
        if (notifyCode == BN_CLICKED)
            SetEnableBox(activation_->Enabled());
        return true;
    default:
        // Only what a person chose: a control's other notifications
        // (focus, edits) have nothing to wait for.
        if (control && notifyCode != BN_CLICKED && notifyCode != CBN_SELCHANGE)
            return true;
        heldCommands_.emplace_back(MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(control));
        return true;
    }
}

void MainWindow::AfterSwitch() {
    if (switch_.Busy())
        return;
    for (const auto& command : heldCommands_)
        PostMessageA(Hwnd(), WM_COMMAND, command.first, command.second);
    heldCommands_.clear();
}

bool MainWindow::OnCommand(int id, int notifyCode, HWND control) {
    if (!activation_)
        return false;
    if (HeldBySwitch(id, notifyCode, control))
        return true;
    switch (id) {
    case IDC_ENABLE:
        if (notifyCode != BN_CLICKED)
            return false;
        SetFocus(Item(IDC_TESTED_PROXIES));
        activation_->OnEnableBoxClicked();
        if (activation_->Enabled() && RegDwordValue(setting::CheckAfterSwitchingOn).IsOn())
            CheckProtection();
        return true;
    case IDC_PROXY_SELECTOR:
        if (notifyCode == CBN_SELCHANGE)
            OnSelectorChoice();
        return notifyCode == CBN_SELCHANGE;
    case IDC_ADD_PROXY:
        activation_->OnAddNewProxy();
        return true;
    case IDC_REFRESH_LIST:
        RefreshProxyList();
        return true;
    case IDC_WHAT_IS_MY_IP:
        OpenWithShell(Hwnd(), maker::AddressOf(maker::WhatIsMyIpPath));
        return true;
    case IDC_ROTATION:
        if (notifyCode == BN_CLICKED)
            rotation_->OnBoxClicked();
        return true;
    case IDC_MINUTES:
        if (!writingMinutes_ &&
            (notifyCode == EN_CHANGE || notifyCode == EN_UPDATE || notifyCode == EN_KILLFOCUS))
            rotation_->OnMinutesChanged();
        return true;
    case ID_TRAY_CONFIGURATION:
        ShowFromTray();
        return true;
    case IDC_FIND_WORKING:
    case ID_TRAY_FIND_WORKING:
        findWorking_->OnFindClicked(listRefresh_->Offered());
        return true;
    case IDC_PROXY_SOURCES:
    case ID_TRAY_PROXY_SOURCES:
        ProxySourcesDialog().DoModal(Hwnd());
        return true;
    case ID_TRAY_EXIT:
        Exit();
        return true;
    case IDC_CHECK_PROTECTION:
    case ID_TRAY_CHECK_PROTECTION:
        CheckProtection();
        return true;
    case IDT_ADVANCED_SETTINGS:
    case IDT_ONLINE_PRIVACY:
    case IDT_BROWSERS:
    case IDT_HELP:
        if (control == toolbar_) {
            OnToolbarCommand(id);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void MainWindow::ShowListMenu() {
    if (FirstSelectedRow() < 0)
        return;
    base::ScopedMenu menu(CreatePopupMenu());
    if (!menu)
        return;
    AppendMenuA(menu.Get(), MF_STRING, list_commands::RemoveProxy, "Remove Proxy");
    AppendMenuA(menu.Get(), MF_STRING, list_commands::RemoveAllProxies, "Remove All Proxies");
    AppendMenuA(menu.Get(), MF_STRING, list_commands::TestProxy, "Test Proxy");
    AppendMenuA(menu.Get(), MF_STRING, list_commands::TestAllProxies, "Test All Proxies");
    POINT where{};
    GetCursorPos(&where);
    int command = TrackPopupMenu(menu.Get(), TPM_CENTERALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                 where.x, where.y, 0, Hwnd(), nullptr);
    if (command != 0)
        listCommands_->Run(command);
}

bool MainWindow::OnNotify(int id, NMHDR& header, LRESULT& result) {
    if (id != IDC_TESTED_PROXIES || !activation_)
        return false;
    // A double click or the menu's commands may switch the browsers again.
    if (switch_.Busy() && (header.code == NM_DBLCLK || header.code == NM_RCLICK))
        return true;
    if (header.code == NM_DBLCLK) {
        activation_->OnRowDoubleClicked();
        return true;
    }
    if (header.code == NM_RCLICK) {
        ShowListMenu();
        return true;
    }
    if (header.code == LVN_COLUMNCLICK) {
        SortListBy(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
        return true;
    }
    return false;
}

HBRUSH MainWindow::OnCtlColor(HDC dc, HWND control, UINT message) {
    if (message == WM_CTLCOLORDLG)
        return static_cast<HBRUSH>(dialogBrush_.Get());
    if (message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN)
        return nullptr;
    int id = GetDlgCtrlID(control);
    if (id == IDC_READ_MORE)
        return readMore_.OnCtlColor(dc, static_cast<HBRUSH>(linkBrush_.Get()));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    if (id == IDC_ROTATION || id == IDC_MINUTES_LABEL)
        return static_cast<HBRUSH>(rotationBrush_.Get());
    if (id == -1 || id == 0xFFFF)
        return static_cast<HBRUSH>(noIdBrush_.Get());
    return static_cast<HBRUSH>(idBrush_.Get());
}

void MainWindow::OnDestroy() {
    std::string place = ui::KeptWindowPlace(Hwnd());
    if (!place.empty())
        RegStringValue(setting::MainWindowPlace).Set(place);
    server_.SetSwitchReport(nullptr);
    KillTimer(Hwnd(), rotation::TimerId);
    KillTimer(Hwnd(), list_refresh::DeadlineTimerId);
    KillTimer(Hwnd(), startup_check::RecheckTimerId);
    if (work_)
        work_->Stop();
    TrayIcon::OnDestroy();
}

INT_PTR MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    switch (message) {
    case WM_TIMER:
        handled = true;
        if (wParam == rotation::TimerId && rotation_)
            rotation_->RotateProxy();
        else if (wParam == list_refresh::DeadlineTimerId && listRefresh_)
            listRefresh_->OnDeadline();
        else if (wParam == startup_check::RecheckTimerId && startUpCheck_)
            startUpCheck_->OnRecheckTimer();
        return TRUE;
    case WindowBackgroundWork::ListDownloadedMessage: {
        handled = true;
        std::unique_ptr<ListDownload> outcome = WindowBackgroundWork::TakeListDownload(lParam);
        if (outcome && listRefresh_)
            listRefresh_->OnDownloaded(*outcome);
        return TRUE;
    }
    case TraceCleanerWork::CleanReportMessage: {
        handled = true;
        std::unique_ptr<std::string> report = TraceCleanerWork::TakeCleanReport(lParam);
        if (report)
            ui::ShowMessage(Hwnd(), *report, "Veilgate");
        return TRUE;
    }
    case TellIfUnwatchedMessage:
        handled = true;
        selfWatch_.TellIfUnwatched();
        return TRUE;
    case FailedOverMessage: {
        handled = true;
        std::unique_ptr<EngineSwitch> change(reinterpret_cast<EngineSwitch*>(lParam));
        if (activation_)
            OnFailedOver(*activation_, *this, change->from, change->to);
        return TRUE;
    }
    case WindowBackgroundWork::ProxyTestedMessage: {
        handled = true;
        std::unique_ptr<ProxyTestResult> result = WindowBackgroundWork::TakeProxyTestResult(lParam);
        if (result && listCommands_ && !listCommands_->OnProxyTested(*result))
            startUpCheck_->OnProxyTested(*result);
        return TRUE;
    }
    case WindowBackgroundWork::BulkCheckedMessage: {
        handled = true;
        std::unique_ptr<BulkChecked> result = WindowBackgroundWork::TakeBulkChecked(lParam);
        if (result && findWorking_)
            findWorking_->OnChecked(*result);
        return TRUE;
    }
    case WindowBackgroundWork::BulkCheckEndedMessage:
        handled = true;
        if (findWorking_)
            findWorking_->OnEnded(static_cast<int>(wParam), lParam != 0);
        return TRUE;
    case WindowBackgroundWork::ProxyTestsEndedMessage: {
        handled = true;
        bool testedAll = listCommands_ &&
                         listCommands_->OnProxyTestsEnded(static_cast<int>(wParam), lParam != 0);
        if (startUpCheck_ && testedAll)
            startUpCheck_->RecheckIfActiveIsRefused();
        else if (startUpCheck_)
            startUpCheck_->OnProxyTestsEnded(static_cast<int>(wParam), lParam != 0);
        return TRUE;
    }
    case WindowBackgroundWork::RotationTestedMessage: {
        handled = true;
        std::unique_ptr<ProxyTestResult> result = WindowBackgroundWork::TakeProxyTestResult(lParam);
        if (result && rotation_)
            rotation_->OnTested(*result);
        return TRUE;
    }
    case WM_DPICHANGED:
        // Per-monitor aware: the dialog manager moves, sizes and re-fonts
        // the window and its controls (left to it: not handled); the
        // pictures and the columns' pixel widths are the window's to redo.
        LoadPictures(LOWORD(wParam));
        layout_.SetMinimumSize(MulDiv(layout_.MinimumWidth(), LOWORD(wParam), layoutDpi_),
                               MulDiv(layout_.MinimumHeight(), LOWORD(wParam), layoutDpi_));
        layoutDpi_ = LOWORD(wParam);
        PostMessageA(Hwnd(), RetakeLayoutMessage, 0, 0);
        return FALSE;
    case RetakeLayoutMessage:
        handled = true;
        layout_.Take(Hwnd(), Item(IDC_TESTED_PROXIES), toolbar_, TouchGapUnits);
        SizeListColumns();
        return TRUE;
    case WM_SIZE:
        handled = true;
        if (toolbar_)
            SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
        layout_.Apply(Hwnd());
        if (wParam != SIZE_MINIMIZED)
            SizeListColumns(false);
        return TRUE;
    case WM_GETMINMAXINFO:
        handled = true;
        layout_.LimitTracking(*reinterpret_cast<MINMAXINFO*>(lParam));
        return TRUE;
    case ResizeColumnsMessage:
        handled = true;
        columnsSizePending_ = false;
        SizeListColumns();
        return TRUE;
    case FillSelectorMessage:
        handled = true;
        FillSelectorStep();
        return TRUE;
    case WM_HELP:
        handled = true;
        OpenHelp();
        return TRUE;
    case WM_CLOSE:
        handled = true;
        End(0);
        return TRUE;
    case WM_ENDSESSION:
        handled = true;
        if (wParam)
            EndSession((lParam & ENDSESSION_CLOSEAPP) != 0);
        return TRUE;
    default:
        return TrayIcon::OnMessage(message, wParam, lParam, handled);
    }
}

// --- MainWindowView ----------------------------------------------------------

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
        if (selectorFill_.QueueRemoval(count) && !PostMessageA(Hwnd(), FillSelectorMessage, 0, 0))
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
    if (selectorFill_.Queue(index, item) && !PostMessageA(Hwnd(), FillSelectorMessage, 0, 0))
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
        more = selectorFill_.RunStep(insert, remove, select);
        SendMessageA(selector_, WM_SETREDRAW, TRUE, 0);
        // Posted rather than looped, so that input and paint come between
        // steps; a step that cannot be posted is run at once.
        if (more && PostMessageA(Hwnd(), FillSelectorMessage, 0, 0))
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

bool MainWindow::EnableBox() {
    return ui::GetCheckBox(Hwnd(), IDC_ENABLE) == 1;
}

void MainWindow::SetEnableBox(bool ticked) {
    ui::SetCheckBox(Hwnd(), IDC_ENABLE, ticked ? 1 : 0);
}

void MainWindow::SetStatusLine(const std::string& text) {
    ui::SetFieldText(Hwnd(), IDC_STATUS_LINE, text);
}

void MainWindow::ShowFindProgress(size_t checked, size_t total, bool running) {
    HWND bar = Item(IDC_FIND_PROGRESS);
    // The bar counts in thousandths, so any number of proxies fits its range.
    SendMessageA(bar, PBM_SETRANGE32, 0, 1000);
    SendMessageA(bar, PBM_SETPOS, total == 0 ? 0 : static_cast<WPARAM>(checked * 1000 / total), 0);
    ShowWindow(bar, running ? SW_SHOWNA : SW_HIDE);
    ui::SetFieldText(Hwnd(), IDC_FIND_WORKING, running ? "Stop" : "Find Working Proxies");
}

void MainWindow::Repaint() {
    RedrawWindow(Hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void MainWindow::Tell(const std::string& text, const std::string& caption) {
    // A switch that the end of the session overtook may still report; a
    // box then would hold the end.
    if (ending_)
        return;
    ui::ShowMessage(Hwnd(), text, caption);
}

// The list's row: the view may be sorted otherwise.
int MainWindow::FirstSelectedRow() {
    int viewRow = static_cast<int>(SendMessageA(Item(IDC_TESTED_PROXIES), LVM_GETNEXTITEM,
                                                static_cast<WPARAM>(-1), LVNI_SELECTED));
    return viewOrder_.ListRowAt(viewRow);
}

bool MainWindow::RotationBox() {
    return ui::GetCheckBox(Hwnd(), IDC_ROTATION) == 1;
}

void MainWindow::SetRotationBox(bool ticked) {
    ui::SetCheckBox(Hwnd(), IDC_ROTATION, ticked ? 1 : 0);
}

bool MainWindow::ReadMinutes(uint32_t& minutes) {
    return ui::GetFieldUnsigned(Hwnd(), IDC_MINUTES, minutes);
}

// Written only when the text differs, and with the caret kept: rewriting
// the field on every keystroke put the caret at its start, so that the next
// digit went in front ("20" typed became 2).
void MainWindow::SetMinutes(uint32_t minutes) {
    writingMinutes_ = true;
    ui::SetFieldUnsignedKeepingCaret(Hwnd(), IDC_MINUTES, minutes);
    writingMinutes_ = false;
}

void MainWindow::StartRotationTimer(uint32_t periodMs) {
    SetTimer(Hwnd(), rotation::TimerId, periodMs, nullptr);
}

void MainWindow::StopRotationTimer() {
    KillTimer(Hwnd(), rotation::TimerId);
}

bool MainWindow::ShowTrayBalloon(const std::string& text) {
    return ShowBalloon(activation::ProductName, text);
}

bool MainWindow::WindowShown() {
    return IsWindowVisible(Hwnd()) && !IsIconic(Hwnd());
}

void MainWindow::StartListDeadline(uint32_t periodMs) {
    SetTimer(Hwnd(), list_refresh::DeadlineTimerId, periodMs, nullptr);
}

void MainWindow::StopListDeadline() {
    KillTimer(Hwnd(), list_refresh::DeadlineTimerId);
}

void MainWindow::StartRecheckTimer(uint32_t periodMs) {
    SetTimer(Hwnd(), startup_check::RecheckTimerId, periodMs, nullptr);
}

void MainWindow::StopRecheckTimer() {
    KillTimer(Hwnd(), startup_check::RecheckTimerId);
}

// --- ProxyListObserver ---------------------------------------------------------

void MainWindow::RowInserted(int index, const ProxyEntry& entry) {
    InsertViewRow(viewOrder_.RowInserted(index, list_.Rows()), entry);
    SizeColumnsSoon();
}

void MainWindow::InsertViewRow(int viewRow, const ProxyEntry& entry) {
    std::string texts[ListColumnCount];
    const char* cells[ListColumnCount];
    for (int column = 0; column < ListColumnCount; ++column) {
        texts[column] = CellText(entry, column);
        cells[column] = texts[column].c_str();
    }
    ui::InsertReportRow(Item(IDC_TESTED_PROXIES), viewRow, cells, ListColumnCount);
}

void MainWindow::RowRemoved(int index) {
    int viewRow = viewOrder_.RowRemoved(index);
    if (viewRow >= 0)
        SendMessageA(Item(IDC_TESTED_PROXIES), LVM_DELETEITEM, viewRow, 0);
}

void MainWindow::RowsComing(int count) {
    SendMessageA(Item(IDC_TESTED_PROXIES), LVM_SETITEMCOUNT, count, 0);
}

void MainWindow::CheckProtection() {
    SystemProtectionWork work(
        [this]() {
            protection::EngineState state;
            state.localPort = static_cast<int>(
                RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
            state.enginePort = activation_ && activation_->Enabled() ? engine_.Port() : 0;
            std::string proxy = RegStringValue(setting::ProxyName, "").Get();
            state.activeProxy = ProxyLine(proxy).Address();
            state.level = activation_ ? activation_->LevelOf(proxy) : std::string();
            return state;
        },
        [this](protection::Fix fix) {
            if (activation_)
                activation_->PointBrowsersAgain(fix == protection::Fix::PointFirefox);
        });
    ProtectionDialog(work).DoModal(Hwnd());
}
