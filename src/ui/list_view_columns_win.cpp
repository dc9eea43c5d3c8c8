#include "ui/list_view_columns_win.h"

#include <commctrl.h>

#include <algorithm>

namespace ui {

namespace {

int ColumnCount(HWND listView) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(listView, LVM_GETHEADER, 0, 0));
    int count = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    return std::max(count, 0);
}

std::string ColumnTitle(HWND listView, int column) {
    char title[128] = {};
    LVCOLUMNA item{};
    item.mask = LVCF_TEXT;
    item.pszText = title;
    item.cchTextMax = sizeof title;
    SendMessageA(listView, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&item));
    return title;
}

int TitleWidth(HWND listView, int column) {
    std::string title = ColumnTitle(listView, column);
    // The header's margins around a title.
    int margin = static_cast<int>(
        SendMessageA(listView, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("MM")));
    return static_cast<int>(SendMessageA(listView, LVM_GETSTRINGWIDTHA, 0,
                                         reinterpret_cast<LPARAM>(title.c_str()))) +
           margin;
}

}  // namespace

int InsertReportRow(HWND listView, int row, const char* const* cells, int count) {
    if (count <= 0)
        return -1;
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(cells[0]);
    int inserted = static_cast<int>(
        SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0)
        return -1;
    for (int column = 1; column < count; ++column) {
        LVITEMA cell{};
        cell.iSubItem = column;
        cell.pszText = const_cast<char*>(cells[column]);
        SendMessageA(listView, LVM_SETITEMTEXTA, inserted, reinterpret_cast<LPARAM>(&cell));
    }
    return inserted;
}

std::vector<int> MeasureListColumns(HWND listView) {
    std::vector<int> widths;
    int count = ColumnCount(listView);
    for (int column = 0; column < count; ++column) {
        int title = TitleWidth(listView, column);
        int cells = 0;
        if (SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0) > 0) {
            SendMessageA(listView, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
            cells = static_cast<int>(SendMessageA(listView, LVM_GETCOLUMNWIDTH, column, 0));
        }
        widths.push_back(std::max(title, cells));
    }
    return widths;
}

std::vector<int> MeasureListColumnsOver(HWND listView,
                                        const std::vector<std::vector<std::string>>& rows) {
    HWND stand = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 0, 0,
                                 GetParent(listView), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!stand)
        return MeasureListColumns(listView);
    SendMessageA(stand, WM_SETFONT, SendMessageA(listView, WM_GETFONT, 0, 0), FALSE);
    SendMessageA(stand, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 SendMessageA(listView, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    int count = ColumnCount(listView);
    for (int column = 0; column < count; ++column) {
        std::string title = ColumnTitle(listView, column);
        LVCOLUMNA item{};
        item.mask = LVCF_TEXT | LVCF_SUBITEM;
        item.pszText = &title[0];
        item.iSubItem = column;
        SendMessageA(stand, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&item));
    }
    for (const std::vector<std::string>& row : rows) {
        std::vector<const char*> cells;
        for (const std::string& cell : row)
            cells.push_back(cell.c_str());
        InsertReportRow(stand, static_cast<int>(SendMessageA(stand, LVM_GETITEMCOUNT, 0, 0)),
                        cells.data(), std::min(count, static_cast<int>(cells.size())));
    }
    std::vector<int> widths = MeasureListColumns(stand);
    DestroyWindow(stand);
    return widths;
}

void FillListColumns(HWND listView, const std::vector<int>& widths) {
    if (widths.empty())
        return;
    RECT client{};
    GetClientRect(listView, &client);
    int rest = client.right - client.left;
    for (size_t column = 0; column + 1 < widths.size(); ++column) {
        SendMessageA(listView, LVM_SETCOLUMNWIDTH, column, widths[column]);
        rest -= widths[column];
    }
    SendMessageA(listView, LVM_SETCOLUMNWIDTH, widths.size() - 1, std::max(widths.back(), rest));
}

void ShowSortMark(HWND listView, int column, bool ascending) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(listView, LVM_GETHEADER, 0, 0));
    if (!header)
        return;
    int count = ColumnCount(listView);
    for (int i = 0; i < count; ++i) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        if (!SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item)))
            continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column)
            item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
}

}  // namespace ui
