#include "proxies/proxy_list.h"

#include <algorithm>

#include "base/files.h"
#include "base/text_mode.h"
#include "proxies/data_files.h"
#include "proxies/proxy_line.h"

namespace {

// The list view hands back at most this much of a cell, so only this much
// of a cell is ever compared or saved.
constexpr size_t CellLimit = 1023;

std::string Cell(const std::string& text) {
    return text.substr(0, CellLimit);
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t\r\v\f") == std::string::npos;
}

}  // namespace

std::string RowAddressOf(const net::ProxyAddress& proxy) {
    return net::FormatProxyAddress(proxy, net::Secrets::UserName);
}

int ProxyList::FindProxyRow(const net::ProxyAddress& proxy) const {
    std::string wanted = Cell(RowAddressOf(proxy));
    for (size_t i = 0; i < rows_.size(); ++i) {
        // The port first: formatting every row's address for every result
        // made "Test All Proxies" over thousands of rows quadratic in text.
        if (rows_[i].proxy.port != proxy.port)
            continue;
        if (Cell(rows_[i].Address()) == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

void ProxyList::PutProxyRow(const net::ProxyAddress& proxy, const std::string& country,
                            const std::string& responseTime, const std::string& downloadSpeed,
                            const std::string& anonymity) {
    ProxyEntry entry{proxy, country, responseTime, downloadSpeed, anonymity};
    int index = FindProxyRow(proxy);
    if (index < 0) {
        AppendRow(entry);
        return;
    }
    RemoveRow(index);
    InsertRow(index, entry);
}

void ProxyList::SetRowTimes(int index, const std::string& responseTime,
                            const std::string& downloadSpeed, const std::string& anonymity,
                            const std::string& exitAddress) {
    if (index < 0 || index >= Count())
        return;
    ProxyEntry entry = Row(index);
    entry.responseTime = responseTime;
    entry.downloadSpeed = downloadSpeed;
    entry.anonymity = anonymity;
    entry.exitAddress = exitAddress;
    RemoveRow(index);
    InsertRow(index, entry);
}

void ProxyList::AppendRow(const ProxyEntry& entry) {
    InsertRow(Count(), entry);
}

void ProxyList::InsertRowAt(int index, const ProxyEntry& entry) {
    InsertRow(std::max(0, std::min(index, Count())), entry);
}

void ProxyList::InsertRow(int index, const ProxyEntry& entry) {
    // A row never holds a password, whoever gave it one.
    ProxyEntry& inserted = *rows_.insert(rows_.begin() + index, entry);
    inserted.proxy.password.clear();
    if (observer_)
        observer_->RowInserted(index, inserted);
}

void ProxyList::ReplaceRow(int index, const ProxyEntry& entry) {
    if (index < 0 || index >= Count())
        return;
    RemoveRow(index);
    InsertRow(index, entry);
}

void ProxyList::RemoveRow(int index) {
    if (index < 0 || index >= Count())
        return;
    rows_.erase(rows_.begin() + index);
    if (observer_)
        observer_->RowRemoved(index);
}

void ProxyList::RemoveAllRows() {
    while (!rows_.empty())
        RemoveRow(Count() - 1);
}

bool ProxyList::LoadProxyList(const std::string& path) {
    std::vector<ProxyEntry> rows;
    bool readable = ReadProxyListFile(path, rows);
    TakeRows(std::move(rows));
    return readable;
}

void ProxyList::TakeRows(std::vector<ProxyEntry> rows) {
    ClearForRows(static_cast<int>(rows.size()));
    for (const ProxyEntry& entry : rows)
        AppendRow(entry);
}

void ProxyList::ClearForRows(int count) {
    RemoveAllRows();
    if (observer_)
        observer_->RowsComing(count);
}

bool ReadProxyListFile(const std::string& path, std::vector<ProxyEntry>& rows) {
    rows.clear();
    std::string bytes;
    if (!base::ReadWholeFile(path, bytes))
        return !base::FileExists(path);
    rows = ParseProxyListFile(bytes);
    return true;
}

bool ProxyList::SaveProxyList(const std::string& path, std::string* error) const {
    return base::ReplaceWholeFile(path, FormatProxyListFile(rows_), error);
}

std::vector<ProxyEntry> ParseProxyListFile(const std::string& bytes) {
    std::string text = base::FromTextMode(bytes);
    std::vector<ProxyEntry> rows;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (IsBlank(line))
            continue;
        // The text is read here, once; a password someone wrote into the
        // file is not taken into the list.
        ProxyLine proxy(line);
        rows.push_back({proxy.Proxy(), proxy.Country(), NotTestedToday, NoSpeed});
        rows.back().proxy.password.clear();
    }
    return rows;
}

std::string FormatProxyListFile(const std::vector<ProxyEntry>& rows) {
    std::string text;
    for (const ProxyEntry& row : rows)
        text += Cell(row.Address()) + "->" + Cell(row.country) + "\n";
    return base::ToTextMode(text);
}
