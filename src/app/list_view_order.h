// The order the main window shows "Already Tested Proxies" in. Clicking a
// column title sorts the view by that column; the list itself, and so
// "MyProxies.txt", keeps its own order. The view maps its rows to the
// list's and back, and keeps that map as rows come and go.
#pragma once

#include <string>
#include <vector>

#include "proxies/proxy_list.h"

// The list's columns, in the view's order.
enum ListColumn {
    AddressColumn,
    CountryColumn,
    ResponseTimeColumn,
    DownloadSpeedColumn,
    AnonymityColumn,
    ExitAddressColumn,
    ListColumnCount
};

// The cell of a row in a column.
std::string CellText(const ProxyEntry& row, int column);

// The rows whose cells are the longest, `perColumn` of each column (by
// length, ties to the earlier row), each row once and in the list's order:
// over thousands of rows they stand for the rest when the columns are sized.
std::vector<size_t> RowsWithLongestCells(const std::vector<ProxyEntry>& rows, size_t perColumn);

// Negative, zero or positive as row a comes before, with or after row b in
// the column's ascending order: times ("120 miliseconds") and speeds
// ("3.50 KB/sec") by their numbers, cells without one after all that have
// one; levels from Elite down (Elite, Anonymous, Transparent, Unknown, not
// tested); other cells as text, regardless of case.
int CompareCells(int column, const ProxyEntry& a, const ProxyEntry& b);

class ListViewOrder {
public:
    // No column: the list's own order.
    static constexpr int ListOrder = -1;

    int SortColumn() const { return column_; }
    bool Ascending() const { return ascending_; }
    // Sorts the view by column (ascending the first time, the other way
    // round when it is the column already sorted by); rows that compare
    // equal keep the list's order.
    void SortBy(int column, const std::vector<ProxyEntry>& rows);

    // The list row shown at viewRow, or -1.
    int ListRowAt(int viewRow) const;
    // Where the list's row at listRow, just inserted into rows, goes in
    // the view: in its sorted place, after the rows equal to it.
    int RowInserted(int listRow, const std::vector<ProxyEntry>& rows);
    // The view row of the list's row just removed from it, or -1.
    int RowRemoved(int listRow);
    // The view's rows, as list rows, from the top.
    const std::vector<int>& ViewRows() const { return viewRows_; }

private:
    bool Before(int listA, int listB, const std::vector<ProxyEntry>& rows) const;

    int column_ = ListOrder;
    bool ascending_ = true;
    std::vector<int> viewRows_;
};
