// The program's window (dialog 102): the proxy selector, the list of tested
// proxies, "Enable Veilgate", the rotation settings, the status line and the
// toolbar. It lives for the whole run, in the tray when hidden. What its
// controls do is decided by ProxyActivation, ProxyRotation and ListCommands;
// this class only shows their view and forwards the window's messages. Its
// rooms: the frame (main_window_win.cpp), the list view, the selector, the
// status line, the tray, the commands, the pictures and the workers' results
// (main_window_*_win.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "session/activation.h"
#include "app/background_work_win.h"
#include "app/browser_switch_win.h"
#include "session/list_commands.h"
#include "session/find_working.h"
#include "session/list_refresh.h"
#include "app/list_view_order.h"
#include "session/selector_fill.h"
#include "session/rotation.h"
#include "app/self_watch.h"
#include "app/watcher_process_win.h"
#include "session/startup_check.h"
#include "base/scoped_win.h"
#include "engine/local_proxy_server.h"
#include "proxies/list_file_writer.h"
#include "proxies/proxy_list.h"
#include "ui/anchored_layout_win.h"
#include "ui/color_button_win.h"
#include "ui/hyperlink_label_win.h"
#include "ui/tray_icon_win.h"

class PrivacyRuntime;

constexpr char MainWindowTitle[] = "Veilgate v5.0 - Anonymity & Online Privacy";

class MainWindow : public ui::TrayIcon, public MainWindowView, private ProxyListObserver {
public:
    MainWindow(LocalProxyServer& server, PrivacyRuntime& privacy);
    ~MainWindow() override;

    // The shutdown of the tray menu's "EXIT".
    void Exit();
    // WM_ENDSESSION: the browsers back within the time Windows gives.
    void EndSession(bool closeApp);
    // "Refresh List".
    void RefreshProxyList();

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;
    bool OnNotify(int id, NMHDR& header, LRESULT& result) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
    void OnOK() override;
    void OnCancel() override {}
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnAbout() override;
    void OnWentToTray() override;

private:
    class Browsers;
    class Dialogs;

    // MainWindowView
    std::string SelectorText() override;
    void SetSelectorText(const std::string& text) override;
    void ClearSelector() override;
    void InsertSelectorItem(int index, const SelectorItem& item) override;
    void InsertSelectorItems(int firstIndex, std::vector<SelectorItem> items) override;
    void SelectSelectorItem(const std::string& text) override;
    bool EnableBox() override;
    void SetEnableBox(bool ticked) override;
    void SetStatusLine(const std::string& text) override;
    void Repaint() override;
    void Tell(const std::string& text, const std::string& caption) override;
    int FirstSelectedRow() override;
    bool RotationBox() override;
    void SetRotationBox(bool ticked) override;
    bool ReadMinutes(uint32_t& minutes) override;
    void SetMinutes(uint32_t minutes) override;
    void StartRotationTimer(uint32_t periodMs) override;
    void StopRotationTimer() override;
    bool ShowTrayBalloon(const std::string& text) override;
    bool WindowShown() override;
    void ShowFindProgress(size_t checked, size_t total, bool running) override;
    void StartListDeadline(uint32_t periodMs) override;
    void StopListDeadline() override;
    void StartRecheckTimer(uint32_t periodMs) override;
    void StopRecheckTimer() override;

    // ProxyListObserver: the list view mirrors the list.
    void RowInserted(int index, const ProxyEntry& entry) override;
    void RowRemoved(int index) override;
    void RowsComing(int count) override;
    void InsertViewRow(int viewRow, const ProxyEntry& entry);
    // The list view emptied and filled again in the view's order, the
    // list's row `selected` selected again.
    void ShowRowsInViewOrder(int selected);
    void SortListBy(int column);
    // Measures the columns once the rows that came are in (posted, so that
    // a fill of many rows measures once).
    void SizeColumnsSoon();
    // One step of the selector's fill (posted).
    void FillSelectorStep();
    // A message that a worker or the engine posted, handed to the logic;
    // false for any other message.
    bool OnWorkMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The next batch of the runs' results, handed to the logic.
    void TakeRunResults();

    void SetFieldText(int id, const std::string& text);
    void CreateToolbar();
    void CreateListColumns();
    // The rows of "MyProxies.txt" arrived; they go in a step at a time
    // (TakeListRowsStep), then the start-up's steps that need them (the
    // test of the stored proxy, the rotation, the sources) follow
    // (StartUpWithList) when they wait.
    void OnListLoaded(ListLoaded loaded);
    void TakeListRowsStep();
    void StartUpWithList();
    // Sizes the columns to what they hold, measured again when `measure`.
    void SizeListColumns(bool measure = true);
    std::vector<int> MeasureListColumns() const;
    // Takes the controls' places as the default layout and brings the
    // window to its kept place; true when it is to be shown maximised.
    bool TakeLayout();
    // The controls' anchors, taken from where they are now.
    void TakeAnchors();
    bool CreateProxySelector();
    // Loads the background, toolbar and selector pictures drawn for dpi and
    // hands them to the controls, which drop the previous set.
    void LoadPictures(int dpi);
    void ShowListMenu();
    void OnSelectorChoice();
    void OnToolbarCommand(int id);
    void OpenHelp();
    void ShowFromTray();
    // "Check My Protection", with the state of this moment.
    void CheckProtection();
    std::string SelectedItemText();
    // Whether a command of the window waits while the browsers are being
    // switched: a second click of "Enable Veilgate" is ignored, the others
    // (EXIT among them) run once the switch is done. False for the commands
    // that may run meanwhile.
    bool HeldBySwitch(int id, int notifyCode, HWND control);
    // Once a switch is done: the commands that waited for it, in order.
    void AfterSwitch();

    LocalProxyServer& server_;
    PrivacyRuntime& privacy_;
    LocalEngine engine_;
    WatcherProcess watcher_;
    SelfWatch selfWatch_;
    BrowserSwitch switch_;
    std::unique_ptr<Browsers> browsers_;
    std::unique_ptr<Dialogs> dialogs_;
    ProxyList list_;
    std::unique_ptr<WindowBackgroundWork> work_;
    // Before the activation that writes through it, so that it outlives it.
    std::unique_ptr<ListFileWriter> listWriter_;
    std::unique_ptr<ProxyActivation> activation_;
    std::unique_ptr<ProxyRotation> rotation_;
    std::unique_ptr<ListCommands> listCommands_;
    std::unique_ptr<ListRefresh> listRefresh_;
    std::unique_ptr<FindWorkingProxies> findWorking_;
    std::unique_ptr<StartUpCheck> startUpCheck_;

    HWND selector_ = nullptr;
    HWND toolbar_ = nullptr;
    HIMAGELIST selectorImages_ = nullptr;
    HIMAGELIST toolbarImages_ = nullptr;
    HIMAGELIST toolbarHotImages_ = nullptr;
    base::ScopedIcon largeIcon_;
    base::ScopedIcon smallIcon_;
    base::ScopedGdiObject idBrush_;
    base::ScopedGdiObject noIdBrush_;
    base::ScopedGdiObject rotationBrush_;
    base::ScopedGdiObject linkBrush_;
    base::ScopedGdiObject dialogBrush_;
    ui::ColorButton addButton_;
    ui::ColorButton refreshButton_;
    ui::ColorButton sourcesButton_;
    ui::ColorButton findButton_;
    ui::ColorButton whatIsMyIpButton_;
    ui::ColorButton trayButton_;
    ui::ColorButton checkButton_;
    ui::HyperlinkLabel readMore_;
    // The controls' places as the window is resized.
    ui::AnchoredLayout layout_;
    ListViewOrder viewOrder_;
    // The columns' widths as last measured, and whether a measuring is
    // already asked for.
    std::vector<int> columnWidths_;
    bool columnsSizePending_ = false;
    SelectorFill selectorFill_;
    // The DPI the layout was taken at.
    int layoutDpi_ = 96;
    // Set while the program writes the MinutesField, whose change
    // notifications would otherwise run its handler from inside itself.
    bool writingMinutes_ = false;
    // Commands given while the browsers were being switched (WM_COMMAND's
    // wParam and lParam).
    std::vector<std::pair<WPARAM, LPARAM>> heldCommands_;
    // Set once the program ends (EXIT, the end of the session): nothing
    // more is told in a box.
    bool ending_ = false;
    // The start-up's last steps wait for the rows of "MyProxies.txt".
    bool startUpWaits_ = false;
    bool rowsLoaded_ = false;
};
