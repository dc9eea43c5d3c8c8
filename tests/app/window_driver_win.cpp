// Not a test: drives the running Veilgate.exe from outside, as a person and
// the system would, for shell_e2e_test.py. Prints what it reads, one
// "name=value" a line; the exit code is 0 when the action could be done.
//
//   window_driver.exe state                the main window's controls
//   window_driver.exe click ID             a button or box of the main window
//   window_driver.exe command ID           a command posted to the main window
//   window_driver.exe syscommand min|close the title bar's buttons
//   window_driver.exe timer                a tick of the rotation timer
//   window_driver.exe tray-double-click    the shell's report of a double
//                                          click on the tray icon
//   window_driver.exe close-app            the Restart Manager's request to
//                                          end: WM_QUERYENDSESSION, then
//                                          WM_ENDSESSION, with ENDSESSION_CLOSEAPP
//   window_driver.exe message              the text and caption of an open
//                                          message box, which is then closed
//   window_driver.exe browser-proxy        the system's proxy, through WinINet
//   window_driver.exe help                 F1, which the window's default
//                                          handling turns into its help request
//   window_driver.exe toolbar ID           a toolbar button
//   window_driver.exe record FILE WHAT     appends WHAT to FILE: registered in
//                                          the test's prefix as the program
//                                          that opens pages and files
//   window_driver.exe freeze SECONDS       for that long, the longest time the
//                                          main window took to answer a message
//   window_driver.exe type ID TEXT         selects all of an edit of the main
//                                          window and types TEXT over it, one
//                                          character at a time
//   window_driver.exe processes TEXT       how many processes' file names
//                                          contain TEXT, and their ids
//   window_driver.exe kill PID             ends a process by force
//   window_driver.exe kill-and-time PID SERVER PREFS TEXT
//                                          ends a process by force, then the
//                                          milliseconds until the LAN's proxy
//                                          is SERVER and the file PREFS holds
//                                          TEXT (at most 10 s)
//   window_driver.exe rows                 the cells of the list of tested
//                                          proxies, "rowN=a|b|c|d|e"
//   window_driver.exe list-menu ROW ITEM   a right click on that row of the
//                                          list, then item ITEM (from 1) of
//                                          the menu it opens, by the keyboard
//   window_driver.exe dialog-type CAPTION ID TEXT  sets an edit of a dialog
//   window_driver.exe evaluation-click ID  a button of the evaluation dialog
//   window_driver.exe evaluation-rows      its task list, as rows prints them
//   window_driver.exe dialog-texts CAPTION ID COUNT  the texts of COUNT controls
//                                          of a dialog from ID, "textN=..."
//   window_driver.exe clipboard FILE       writes the clipboard's text to FILE
//   window_driver.exe column-click N       a click of the mouse on the list's
//                                          column title N (from 0)
//   window_driver.exe resize W H           the main window's outer size
//   window_driver.exe place ID             "place=left top right bottom" of a
//                                          control, in the window's client
//                                          area, and "client=width height"
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/scoped_win.h"
#include "browsers_test_support.h"

namespace {

// WM_KEYF1, which the SDK headers leave out.
constexpr UINT KeyF1Message = 0x004D;
constexpr char Title[] = "Veilgate v5.0 - Anonymity & Online Privacy";

std::string TextOf(HWND window) {
    char text[2048] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    return text;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer);
    return static_cast<LRESULT>(answer);
}

int State(HWND main) {
    HWND selector = GetDlgItem(main, 1001);
    HWND edit = reinterpret_cast<HWND>(Ask(selector, CBEM_GETEDITCONTROL));
    DWORD process = 0;
    GetWindowThreadProcessId(main, &process);
    std::printf("pid=%lu\n", static_cast<unsigned long>(process));
    std::printf("visible=%d\n", IsWindowVisible(main) ? 1 : 0);
    std::printf("iconic=%d\n", IsIconic(main) ? 1 : 0);
    std::printf("enable=%d\n", static_cast<int>(Ask(GetDlgItem(main, 1000), BM_GETCHECK)));
    std::printf("rotation=%d\n", static_cast<int>(Ask(GetDlgItem(main, 1063), BM_GETCHECK)));
    std::printf("minutes=%s\n", TextOf(GetDlgItem(main, 1064)).c_str());
    std::printf("status=%s\n", TextOf(GetDlgItem(main, 1067)).c_str());
    std::printf("items=%d\n", static_cast<int>(Ask(selector, CB_GETCOUNT)));
    std::printf("edit=%s\n", edit ? TextOf(edit).c_str() : "");
    std::printf("rows=%d\n", static_cast<int>(Ask(GetDlgItem(main, 1002), LVM_GETITEMCOUNT)));
    std::printf("readmore=%s\n", TextOf(GetDlgItem(main, 1079)).c_str());
    return 0;
}

// Memory in the window's own process: a list view reads and writes its
// items through pointers, which must point there.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size) : size_(size) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        if (process_)
            at_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (at_)
            VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    char* At() const { return static_cast<char*>(at_); }
    bool Write(const void* data, size_t size, size_t offset = 0) {
        return at_ && WriteProcessMemory(process_, At() + offset, data, size, nullptr);
    }
    bool Read(void* data, size_t size, size_t offset = 0) {
        return at_ && ReadProcessMemory(process_, At() + offset, data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void* at_ = nullptr;
    size_t size_;
};

std::string Cell(HWND list, int row, int column) {
    constexpr size_t TextAt = 256;
    constexpr size_t TextSize = 1024;
    RemoteBuffer remote(list, TextAt + TextSize);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote.At() + TextAt;
    item.cchTextMax = TextSize;
    char text[TextSize] = {};
    if (!remote.Write(&item, sizeof item))
        return "";
    Ask(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.At()));
    remote.Read(text, sizeof text - 1, TextAt);
    return text;
}

int Rows(HWND list) {
    if (!list)
        return 1;
    HWND header = reinterpret_cast<HWND>(Ask(list, LVM_GETHEADER));
    int columns = static_cast<int>(Ask(header, HDM_GETITEMCOUNT));
    int rows = static_cast<int>(Ask(list, LVM_GETITEMCOUNT));
    for (int row = 0; row < rows; ++row) {
        std::string line;
        for (int column = 0; column < columns; ++column)
            line += (column ? "|" : "") + Cell(list, row, column);
        std::printf("row%d=%s\n", row, line.c_str());
    }
    std::printf("rows=%d\n", rows);
    return 0;
}

// A click of the mouse in the middle of the list's column title, as a
// person makes it: the header reports it to the list, which tells its window.
int ColumnClick(HWND main, int column) {
    HWND list = GetDlgItem(main, 1002);
    HWND header = list ? reinterpret_cast<HWND>(Ask(list, LVM_GETHEADER)) : nullptr;
    if (!header)
        return 1;
    RemoteBuffer remote(header, sizeof(RECT));
    RECT title{};
    if (!Ask(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(remote.At())) ||
        !remote.Read(&title, sizeof title))
        return 1;
    POINT middle = {(title.left + title.right) / 2, (title.top + title.bottom) / 2};
    ClientToScreen(header, &middle);
    SetForegroundWindow(main);
    SetCursorPos(middle.x, middle.y);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    if (SendInput(2, clicks, sizeof(INPUT)) != 2)
        return 1;
    // The click is handled once the window answers again.
    Sleep(300);
    Ask(main, WM_NULL);
    return 0;
}

int Place(HWND main, int id) {
    HWND control = GetDlgItem(main, id);
    RECT rect{};
    RECT client{};
    if (!control || !GetWindowRect(control, &rect) || !GetClientRect(main, &client))
        return 1;
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    std::printf("place=%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    std::printf("client=%ld %ld\n", client.right, client.bottom);
    return 0;
}

HWND ShownMenu() {
    for (HWND window = FindWindowExA(nullptr, nullptr, "#32768", nullptr); window;
         window = FindWindowExA(nullptr, window, "#32768", nullptr)) {
        if (IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

// The list view picks the row under a right click itself and tells the
// window, which opens its menu there; the menu's own loop takes the keys.
int ListMenu(HWND main, int row, int item) {
    HWND list = GetDlgItem(main, 1002);
    RemoteBuffer remote(list, sizeof(RECT));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (!remote.Write(&bounds, sizeof bounds) ||
        !Ask(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.At())) ||
        !remote.Read(&bounds, sizeof bounds))
        return 1;
    LPARAM where = MAKELPARAM(bounds.left + 10, (bounds.top + bounds.bottom) / 2);
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, where);
    PostMessageA(list, WM_RBUTTONUP, 0, where);
    HWND menu = nullptr;
    for (int i = 0; i < 200 && !menu; ++i) {
        Sleep(25);
        menu = ShownMenu();
    }
    if (!menu)
        return 1;
    for (int i = 0; i < item; ++i)
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    return 0;
}

// The evaluation dialog, found by its controls (its caption ends in a
// character that a command line may not carry as the program spells it).
HWND EvaluationDialog() {
    for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window;
         window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
        if (IsWindowVisible(window) && GetDlgItem(window, 1016) && GetDlgItem(window, 1017))
            return window;
    }
    return nullptr;
}

// The first message box of the program, found by its class.
int Message() {
    HWND box = nullptr;
    for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window;
         window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
        if (TextOf(window) != Title && IsWindowVisible(window)) {
            box = window;
            break;
        }
    }
    if (!box)
        return 1;
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0 && !TextOf(child).empty())
            text = TextOf(child);
    }
    std::printf("caption=%s\ntext=%s\n", TextOf(box).c_str(), text.c_str());
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
}

int BrowserProxy() {
    testing_support::PerConnectionState state;
    if (!testing_support::QueryLanSettings(state))
        return 1;
    std::printf("proxy_flag=%d\n", (state.flags & PROXY_TYPE_PROXY) ? 1 : 0);
    std::printf("proxy_server=%s\n", state.server.c_str());
    return 0;
}

// Waits for the window (it exists while its start-up still runs), then asks
// it for nothing every 50 ms; a window busy on its own thread answers late,
// so the longest wait is its longest freeze.
int Freeze(int seconds) {
    DWORD limit = static_cast<DWORD>(seconds) * 1000;
    DWORD start = GetTickCount();
    HWND main = nullptr;
    while (!main && GetTickCount() - start < limit) {
        main = FindWindowA(nullptr, Title);
        Sleep(5);
    }
    if (!main)
        return 1;
    DWORD longest = 0;
    while (GetTickCount() - start < limit) {
        DWORD asked = GetTickCount();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
        DWORD waited = GetTickCount() - asked;
        if (waited > longest)
            longest = waited;
        Sleep(50);
    }
    std::printf("longest_ms=%lu\n", static_cast<unsigned long>(longest));
    return 0;
}

// As a person types: each character is its own message, and the window's
// handlers run between them, so a handler that moves the caret shows.
int Type(HWND main, int id, const char* text) {
    HWND edit = GetDlgItem(main, id);
    if (!edit)
        return 1;
    Ask(edit, EM_SETSEL, 0, -1);
    for (const char* c = text; *c; ++c)
        Ask(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    return 0;
}

int Processes(const std::string& text) {
    base::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    std::string ids;
    for (BOOL more = snapshot && Process32First(snapshot.Get(), &entry); more;
         more = Process32Next(snapshot.Get(), &entry)) {
        if (std::string(entry.szExeFile).find(text) == std::string::npos)
            continue;
        ++count;
        ids += (ids.empty() ? "" : ",") + std::to_string(entry.th32ProcessID);
    }
    std::printf("count=%d\npids=%s\n", count, ids.c_str());
    return 0;
}

bool Kill(DWORD id) {
    base::ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    return process && TerminateProcess(process.Get(), 1);
}

bool Restored(const std::string& server, const std::string& prefs, const std::string& text) {
    testing_support::PerConnectionState state;
    return testing_support::QueryLanSettings(state) && state.server == server &&
           testing_support::ReadBytes(prefs).find(text) != std::string::npos;
}

int KillAndTime(DWORD id, const std::string& server, const std::string& prefs,
                const std::string& text) {
    if (!Kill(id))
        return 1;
    DWORD killed = GetTickCount();
    while (!Restored(server, prefs, text)) {
        if (GetTickCount() - killed > 10000)
            return 1;
        Sleep(5);
    }
    std::printf("restored_ms=%lu\n", static_cast<unsigned long>(GetTickCount() - killed));
    return 0;
}

int Clipboard(const char* file) {
    if (!OpenClipboard(nullptr))
        return 1;
    std::string text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            text = bytes;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    FILE* out = std::fopen(file, "wb");
    if (!out)
        return 1;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    return text.empty() ? 1 : 0;
}

int Record(const char* file, const char* what) {
    FILE* out = std::fopen(file, "ab");
    if (!out)
        return 1;
    std::fprintf(out, "%s\n", what);
    std::fclose(out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::string action = argv[1];
    if (action == "record")
        return argc > 3 ? Record(argv[2], argv[3]) : 2;
    if (action == "browser-proxy")
        return BrowserProxy();
    if (action == "message")
        return Message();
    if (action == "processes")
        return argc > 2 ? Processes(argv[2]) : 2;
    if (action == "kill")
        return argc > 2 && Kill(std::strtoul(argv[2], nullptr, 10)) ? 0 : 1;
    if (action == "kill-and-time")
        return argc > 5 ? KillAndTime(std::strtoul(argv[2], nullptr, 10), argv[3], argv[4], argv[5])
                        : 2;
    if (action == "freeze")
        return Freeze(argc > 2 ? std::atoi(argv[2]) : 10);
    if (action == "evaluation-click") {
        HWND dialog = EvaluationDialog();
        HWND control = dialog && argc > 2 ? GetDlgItem(dialog, std::atoi(argv[2])) : nullptr;
        return control && PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
    }
    if (action == "evaluation-rows") {
        HWND dialog = EvaluationDialog();
        return dialog ? Rows(GetDlgItem(dialog, 1014)) : 1;
    }
    if (action == "dialog-type") {
        HWND dialog = argc > 4 ? FindWindowA("#32770", argv[2]) : nullptr;
        HWND control = dialog ? GetDlgItem(dialog, std::atoi(argv[3])) : nullptr;
        return control && Ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4])) ? 0 : 1;
    }
    if (action == "clipboard")
        return argc > 2 ? Clipboard(argv[2]) : 2;
    if (action == "dialog-texts") {
        HWND dialog = argc > 4 ? FindWindowA("#32770", argv[2]) : nullptr;
        if (!dialog)
            return 1;
        int first = std::atoi(argv[3]);
        for (int i = 0; i < std::atoi(argv[4]); ++i)
            std::printf("text%d=%s\n", i, TextOf(GetDlgItem(dialog, first + i)).c_str());
        return 0;
    }
    if (action == "dialog-shown" || action == "dialog-click") {
        // One of the program's dialogs, found by its caption, and a control of it.
        HWND dialog = argc > 2 ? FindWindowA("#32770", argv[2]) : nullptr;
        if (!dialog || action == "dialog-shown")
            return dialog ? 0 : 1;
        HWND control = argc > 3 ? GetDlgItem(dialog, std::atoi(argv[3])) : nullptr;
        return control && PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
    }
    HWND main = FindWindowA(nullptr, Title);
    if (!main)
        return 1;
    int id = argc > 2 ? std::atoi(argv[2]) : 0;
    if (action == "state")
        return State(main);
    if (action == "click")
        return PostMessageA(GetDlgItem(main, id), BM_CLICK, 0, 0) ? 0 : 1;
    if (action == "command")
        return PostMessageA(main, WM_COMMAND, id, 0) ? 0 : 1;
    if (action == "close-app") {
        // As the Restart Manager does: the question first, the end only when
        // the answer was yes.
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_NORMAL,
                                 30000, &answer) ||
            !answer)
            return 1;
        // Windows gives a program five seconds to answer.
        return SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_NORMAL,
                                   5000, &answer)
                   ? 0
                   : 1;
    }
    if (action == "tray-double-click")
        return PostMessageA(main, WM_USER + 1, 1, WM_LBUTTONDBLCLK) ? 0 : 1;
    if (action == "help")
        return PostMessageA(main, KeyF1Message, 0, 0) ? 0 : 1;
    if (action == "toolbar") {
        HWND toolbar = FindWindowExA(main, nullptr, TOOLBARCLASSNAMEA, nullptr);
        return PostMessageA(main, WM_COMMAND, id, reinterpret_cast<LPARAM>(toolbar)) ? 0 : 1;
    }
    if (action == "type")
        return argc > 3 ? Type(main, id, argv[3]) : 2;
    if (action == "rows")
        return Rows(GetDlgItem(main, 1002));
    if (action == "list-menu")
        return argc > 3 ? ListMenu(main, id, std::atoi(argv[3])) : 2;
    if (action == "timer")
        return PostMessageA(main, WM_TIMER, 100, 0) ? 0 : 1;
    if (action == "column-click")
        return ColumnClick(main, id);
    if (action == "place")
        return Place(main, id);
    if (action == "resize")
        return argc > 3 && SetWindowPos(main, nullptr, 0, 0, id, std::atoi(argv[3]),
                                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)
                   ? 0
                   : 1;
    if (action == "syscommand") {
        WPARAM command = std::string(argc > 2 ? argv[2] : "") == "close" ? SC_CLOSE : SC_MINIMIZE;
        return PostMessageA(main, WM_SYSCOMMAND, command, 0) ? 0 : 1;
    }
    return 2;
}
