#include "app/list_view_order.h"

#include <algorithm>
#include <cstdlib>

#include "base/text_compare.h"
#include "proxies/proxy_check.h"

namespace {

// The number a time or speed cell starts with; false for "Not Tested
// Today", "N/A" and anything else without one.
bool CellNumber(const std::string& text, double& number) {
    const char* start = text.c_str();
    char* end = nullptr;
    number = std::strtod(start, &end);
    return end != start && ((*start >= '0' && *start <= '9') || *start == '.');
}

int Sign(double difference) {
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

}  // namespace

std::string CellText(const ProxyEntry& row, int column) {
    switch (column) {
    case CountryColumn:
        return row.country;
    case ResponseTimeColumn:
        return row.responseTime;
    case DownloadSpeedColumn:
        return row.downloadSpeed;
    case AnonymityColumn:
        return row.anonymity;
    case ExitAddressColumn:
        return row.exitAddress;
    default:
        return row.Address();
    }
}

std::vector<size_t> RowsWithLongestCells(const std::vector<ProxyEntry>& rows, size_t perColumn) {
    std::vector<bool> chosen(rows.size(), false);
    std::vector<size_t> order(rows.size());
    std::vector<size_t> lengths(rows.size());
    for (int column = 0; column < ListColumnCount; ++column) {
        for (size_t i = 0; i < rows.size(); ++i) {
            order[i] = i;
            lengths[i] = CellText(rows[i], column).size();
        }
        size_t take = std::min(perColumn, rows.size());
        std::partial_sort(order.begin(), order.begin() + static_cast<long>(take), order.end(),
                          [&](size_t a, size_t b) {
                              return lengths[a] != lengths[b] ? lengths[a] > lengths[b] : a < b;
                          });
        for (size_t i = 0; i < take; ++i)
            chosen[order[i]] = true;
    }
    std::vector<size_t> indexes;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (chosen[i])
            indexes.push_back(i);
    }
    return indexes;
}

int CompareCells(int column, const ProxyEntry& a, const ProxyEntry& b) {
    std::string textA = CellText(a, column);
    std::string textB = CellText(b, column);
    if (column == ResponseTimeColumn || column == DownloadSpeedColumn) {
        double numberA = 0, numberB = 0;
        bool hasA = CellNumber(textA, numberA);
        bool hasB = CellNumber(textB, numberB);
        if (hasA != hasB)
            return hasA ? -1 : 1;
        if (hasA)
            return Sign(numberA - numberB);
    } else if (column == AnonymityColumn) {
        int levelA = static_cast<int>(AnonymityFromWord(textA));
        int levelB = static_cast<int>(AnonymityFromWord(textB));
        return levelB - levelA;
    }
    return base::CompareIgnoringCase(textA, textB);
}

void ListViewOrder::SortBy(int column, const std::vector<ProxyEntry>& rows) {
    ascending_ = column == column_ ? !ascending_ : true;
    column_ = column;
    viewRows_.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        viewRows_[i] = static_cast<int>(i);
    std::stable_sort(viewRows_.begin(), viewRows_.end(),
                     [&](int a, int b) { return Before(a, b, rows); });
}

bool ListViewOrder::Before(int listA, int listB, const std::vector<ProxyEntry>& rows) const {
    int order =
        CompareCells(column_, rows[static_cast<size_t>(listA)], rows[static_cast<size_t>(listB)]);
    return ascending_ ? order < 0 : order > 0;
}

int ListViewOrder::ListRowAt(int viewRow) const {
    if (viewRow < 0 || viewRow >= static_cast<int>(viewRows_.size()))
        return -1;
    return viewRows_[static_cast<size_t>(viewRow)];
}

int ListViewOrder::RowInserted(int listRow, const std::vector<ProxyEntry>& rows) {
    // An appended row (as every row of a loaded file is) moves none.
    if (listRow < static_cast<int>(viewRows_.size())) {
        for (int& row : viewRows_) {
            if (row >= listRow)
                ++row;
        }
    }
    int viewRow = static_cast<int>(viewRows_.size());
    if (column_ == ListOrder) {
        // The list's order: the view row is the list row.
        viewRow = listRow;
    } else {
        // After every row not after it, so that equal rows keep the order
        // they came in.
        auto place = std::upper_bound(viewRows_.begin(), viewRows_.end(), listRow,
                                      [&](int a, int b) { return Before(a, b, rows); });
        viewRow = static_cast<int>(place - viewRows_.begin());
    }
    viewRow = std::max(0, std::min(viewRow, static_cast<int>(viewRows_.size())));
    viewRows_.insert(viewRows_.begin() + viewRow, listRow);
    return viewRow;
}

int ListViewOrder::RowRemoved(int listRow) {
    auto found = std::find(viewRows_.begin(), viewRows_.end(), listRow);
    int viewRow = found == viewRows_.end() ? -1 : static_cast<int>(found - viewRows_.begin());
    if (found != viewRows_.end())
        viewRows_.erase(found);
    for (int& row : viewRows_) {
        if (row > listRow)
            --row;
    }
    return viewRow;
}
