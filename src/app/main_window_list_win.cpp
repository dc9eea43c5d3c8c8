// The list of tested proxies: its columns, its order and its menu. The list
// view mirrors the ProxyList through ProxyListObserver.
#include "app/main_window_win.h"

#include "app/main_window_parts_win.h"
#include "app/main_window_res.h"
#include "base/scoped_win.h"
#include "ui/list_view_columns_win.h"

namespace {

// The titles of the list's columns (ListColumn's order).
constexpr const char* ListColumnTitles[ListColumnCount] = {
    "Proxy IP and Port", "Country", "Response Time", "Download Speed", "Anonymity", "Exit IP"};

// Above this many rows, the columns are sized over the rows whose cells are
// the longest, this many of each column.
constexpr int EveryRowMeasuredUpTo = 500;
constexpr size_t LongestCellsMeasured = 8;

}  // namespace

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
        columnWidths_ = MeasureListColumns();
    ui::FillListColumns(listView, columnWidths_);
}

// The list view's own measure reads every cell: over 5,000 rows it held the
// window for half a second. A large list is measured over its longest cells.
std::vector<int> MainWindow::MeasureListColumns() const {
    HWND listView = Item(IDC_TESTED_PROXIES);
    if (list_.Count() <= EveryRowMeasuredUpTo)
        return ui::MeasureListColumns(listView);
    std::vector<std::vector<std::string>> rows;
    for (size_t index : RowsWithLongestCells(list_.Rows(), LongestCellsMeasured)) {
        std::vector<std::string> cells;
        for (int column = 0; column < ListColumnCount; ++column)
            cells.push_back(CellText(list_.Rows()[index], column));
        rows.push_back(std::move(cells));
    }
    return ui::MeasureListColumnsOver(listView, rows);
}

void MainWindow::SizeColumnsSoon() {
    if (columnsSizePending_)
        return;
    columnsSizePending_ = PostMessageA(Hwnd(), main_window::ResizeColumnsMessage, 0, 0) != FALSE;
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

// The list's row: the view may be sorted otherwise.
int MainWindow::FirstSelectedRow() {
    int viewRow = static_cast<int>(SendMessageA(Item(IDC_TESTED_PROXIES), LVM_GETNEXTITEM,
                                                static_cast<WPARAM>(-1), LVNI_SELECTED));
    return viewOrder_.ListRowAt(viewRow);
}

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
