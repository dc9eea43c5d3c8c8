// Saves ROWS rows as "MyProxies.txt" in FOLDER, loads them back, and prints
// the times in milliseconds: "rows save_ms load_ms view_ms" (view_ms: the
// load into a report list view, drawn off, as the main window does it; -1
// where there is no window system). Not a test: bench/list_file_bench.py
// runs it.
// Usage: list_file_check FOLDER [ROWS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/files.h"
#include "proxies/proxy_list.h"

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>

#include "ui/list_view_columns_win.h"
#endif

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

#ifdef _WIN32
// The main window's way: the view told the row count first, then each row
// put in while the view does not draw.
class ListViewMirror : public ProxyListObserver {
public:
    explicit ListViewMirror(HWND listView) : listView_(listView) {}
    void RowInserted(int index, const ProxyEntry& entry) override {
        std::string address = entry.Address();
        const char* cells[] = {address.c_str(),
                               entry.country.c_str(),
                               entry.responseTime.c_str(),
                               entry.downloadSpeed.c_str(),
                               entry.anonymity.c_str(),
                               entry.exitAddress.c_str()};
        ui::InsertReportRow(listView_, index, cells, 6);
    }
    void RowRemoved(int index) override { SendMessageA(listView_, LVM_DELETEITEM, index, 0); }
    void RowsComing(int count) override { SendMessageA(listView_, LVM_SETITEMCOUNT, count, 0); }

private:
    HWND listView_;
};

double LoadIntoListView(const std::string& path) {
    InitCommonControls();
    HWND listView = CreateWindowExA(0, WC_LISTVIEWA, "", WS_OVERLAPPEDWINDOW | LVS_REPORT, 0, 0,
                                    800, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!listView)
        return -1;
    for (int i = 0; i < 6; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>("Column");
        column.cx = 100;
        SendMessageA(listView, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    ShowWindow(listView, SW_SHOW);
    ProxyList list;
    ListViewMirror mirror(listView);
    list.SetObserver(&mirror);
    auto start = std::chrono::steady_clock::now();
    SendMessageA(listView, WM_SETREDRAW, FALSE, 0);
    list.LoadProxyList(path);
    SendMessageA(listView, WM_SETREDRAW, TRUE, 0);
    UpdateWindow(listView);
    double elapsed = MillisecondsSince(start);
    int shown = static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
    DestroyWindow(listView);
    return shown == list.Count() ? elapsed : -1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_file_check FOLDER [ROWS]\n");
        return 2;
    }
    std::string path = base::JoinPath(argv[1], "MyProxies.txt");
    int rows = argc > 2 ? std::atoi(argv[2]) : 10000;
    ProxyList written;
    for (int i = 0; i < rows; ++i) {
        char address[64];
        std::snprintf(address, sizeof address, "10.%d.%d.%d:%d", i / 65536 % 256, i / 256 % 256,
                      i % 256, 1024 + i % 60000);
        written.AppendRow({net::ParseProxyAddress(address),
                           i % 3 ? "Germany <supports POST>" : "France", NotTestedToday, NoSpeed});
    }
    auto start = std::chrono::steady_clock::now();
    if (!written.SaveProxyList(path)) {
        std::fprintf(stderr, "cannot save %s\n", path.c_str());
        return 1;
    }
    double saveMs = MillisecondsSince(start);
    ProxyList read;
    start = std::chrono::steady_clock::now();
    if (!read.LoadProxyList(path) || read.Count() != rows) {
        std::fprintf(stderr, "loaded %d rows of %d\n", read.Count(), rows);
        return 1;
    }
    double loadMs = MillisecondsSince(start);
    double viewMs = -1;
#ifdef _WIN32
    viewMs = LoadIntoListView(path);
    if (viewMs < 0) {
        std::fprintf(stderr, "the list view did not take every row\n");
        return 1;
    }
#endif
    std::printf("%d %.1f %.1f %.1f\n", rows, saveMs, loadMs, viewMs);
    return 0;
}
