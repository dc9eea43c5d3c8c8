// The main window's frame: it creates the window and its controls, lays them
// out as the window is resized, and routes the messages to the rooms that
// own them (main_window_*_win.cpp).
#include "app/main_window_win.h"

#include <chrono>

#include "app/main_window_parts_win.h"
#include "app/main_window_res.h"
#include "app/res/app_resources.h"
#include "base/files.h"
#include "proxies/data_files.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"
#include "ui/data_exchange_win.h"

namespace {

constexpr COLORREF IdLabelColor = RGB(185, 212, 249);
constexpr COLORREF NoIdLabelColor = RGB(187, 213, 248);
constexpr COLORREF RotationColor = RGB(234, 239, 246);
constexpr COLORREF LinkBackgroundColor = RGB(191, 215, 247);
constexpr COLORREF DialogColor = RGB(172, 193, 220);
// Windows gives a program five seconds to answer at the end of the session
// before it offers the user to end it: a switch that runs is waited for this
// long, the browsers are then given this long to go back, and the list's last
// write what is left.
constexpr DWORD SessionEndSwitchWaitMs = 1500;
constexpr DWORD SessionEndRestoreMs = 2500;
constexpr DWORD SessionEndListWriteMs = 500;
// Controls this close on a row go together as the window grows: the
// rotation box with its field, the buttons above the list.
constexpr int TouchGapUnits = 5;

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? name : "";
}

}  // namespace

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
        auto posted =
            std::make_unique<main_window::EngineSwitch>(main_window::EngineSwitch{from, to});
        if (PostMessageA(window, main_window::FailedOverMessage, 0,
                         reinterpret_cast<LPARAM>(posted.get())))
            posted.release();
    });
    work_->StartGeneratorRequest();
    CreateToolbar();
    SetMode(0);
    // Tiled, a large window showed the picture's seams every 600 pixels.
    ExtendBeyondPicture();
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
    listWriter_ = std::make_unique<ListFileWriter>([window](const std::string& error) {
        auto text = std::make_unique<std::string>(error);
        if (PostMessageA(window, main_window::ListSaveFailedMessage, 0,
                         reinterpret_cast<LPARAM>(text.get())))
            text.release();
    });
    activation_->WriteListWith(listWriter_.get());
    rotation_ = std::make_unique<ProxyRotation>(*activation_, *this, *work_);
    listCommands_ = std::make_unique<ListCommands>(*activation_, *this, *dialogs_, *work_);
    listRefresh_ = std::make_unique<ListRefresh>(*activation_, *this, *work_);
    findWorking_ = std::make_unique<FindWorkingProxies>(*activation_, *this, *work_);
    startUpCheck_ = std::make_unique<StartUpCheck>(*activation_, *this, *work_);
    CreateListColumns();
    // "MyProxies.txt" is read on a worker; the start-up's steps that need
    // its rows wait for them (OnListLoaded).
    activation_->ExpectLoadedList();
    std::string listPath = base::JoinPath(dataFolder, MyProxiesFile);
    bool loading = work_->StartListLoad(listPath);

    bool selectorMade = CreateProxySelector();
    LoadPictures(main_window::WindowDpi(Hwnd()));
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
    // The browsers are switched as the stored state says at once; the
    // engine's failover candidates follow when the rows arrive.
    activation_->ActivateStoredProxy();
    // The switch lets messages through: the rows may be in already.
    startUpWaits_ = true;
    if (!loading) {
        ListLoaded here;
        here.readable = ReadProxyListFile(listPath, here.rows);
        OnListLoaded(std::move(here));
    } else if (rowsLoaded_) {
        StartUpWithList();
    }
    return true;
}

void MainWindow::OnListLoaded(ListLoaded loaded) {
    activation_->BeginLoadedList(loaded.readable, std::move(loaded.rows));
    TakeListRowsStep();
}

// A file of 5,000 rows held the window for a third of a second in one go:
// the rows go in a step at a time, without a repaint per row, the window
// answering between steps.
void MainWindow::TakeListRowsStep() {
    HWND list = Item(IDC_TESTED_PROXIES);
    for (;;) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        bool done = activation_->TakeLoadedRowsStep(std::chrono::steady_clock::now() +
                                                    main_window::ListRowsStepTime);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        if (done)
            break;
        // A step that cannot be posted is run at once.
        if (PostMessageA(Hwnd(), main_window::ListRowsMessage, 0, 0)) {
            InvalidateRect(list, nullptr, TRUE);
            return;
        }
    }
    InvalidateRect(list, nullptr, TRUE);
    rowsLoaded_ = true;
    if (startUpWaits_ && !ending_)
        StartUpWithList();
}

void MainWindow::StartUpWithList() {
    startUpWaits_ = false;
    startUpCheck_->Start();
    rotation_->Start();
    listRefresh_->StartUp();
}

bool MainWindow::TakeLayout() {
    layoutDpi_ = main_window::WindowDpi(Hwnd());
    TakeAnchors();
    RECT window{};
    GetWindowRect(Hwnd(), &window);
    layout_.SetMinimumSize(window.right - window.left, window.bottom - window.top);
    return ui::RestoreWindowPlace(Hwnd(), RegStringValue(setting::MainWindowPlace).Get(),
                                  layout_.MinimumWidth(), layout_.MinimumHeight());
}

// The selector widens with the list: at a large window, 230 pixels showed
// little of an address with its country beside a list of 1,150.
void MainWindow::TakeAnchors() {
    layout_.Take(Hwnd(), Item(IDC_TESTED_PROXIES), toolbar_, TouchGapUnits);
    layout_.StretchAcross(selector_);
}

void MainWindow::SetFieldText(int id, const std::string& text) {
    ui::SetFieldText(Hwnd(), id, text);
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
    KillTimer(Hwnd(), WindowBackgroundWork::RunResultsTimerId);
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
        else if (wParam == WindowBackgroundWork::RunResultsTimerId)
            TakeRunResults();
        return TRUE;
    case WM_DPICHANGED:
        // Per-monitor aware: the dialog manager moves, sizes and re-fonts
        // the window and its controls (left to it: not handled); the
        // pictures and the columns' pixel widths are the window's to redo.
        LoadPictures(LOWORD(wParam));
        layout_.SetMinimumSize(MulDiv(layout_.MinimumWidth(), LOWORD(wParam), layoutDpi_),
                               MulDiv(layout_.MinimumHeight(), LOWORD(wParam), layoutDpi_));
        layoutDpi_ = LOWORD(wParam);
        PostMessageA(Hwnd(), main_window::RetakeLayoutMessage, 0, 0);
        return FALSE;
    case main_window::RetakeLayoutMessage:
        handled = true;
        TakeAnchors();
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
    case main_window::ResizeColumnsMessage:
        handled = true;
        columnsSizePending_ = false;
        SizeListColumns();
        return TRUE;
    case main_window::FillSelectorMessage:
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
        // What the workers and the engine's threads posted.
        if (OnWorkMessage(message, wParam, lParam)) {
            handled = true;
            return TRUE;
        }
        return TrayIcon::OnMessage(message, wParam, lParam, handled);
    }
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
    // The list's last change has been writing all along; what is left of
    // it gets the little time Windows still gives.
    if (listWriter_)
        listWriter_->Flush(std::chrono::milliseconds(SessionEndListWriteMs));
    if (!closeApp)
        return;
    // The rest of EXIT, without a second restore.
    RegDwordValue(setting::PopUpsBlockedToday, 0, true).Set(0);
    KillTimer(Hwnd(), rotation::TimerId);
    End(0);
}
