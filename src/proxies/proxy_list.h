// The already tested proxies: ordered rows of a proxy, three texts and a level, shown as the main
// window's report list and kept in "MyProxies.txt" (address "->" country per
// line, CR LF line ends, nothing else). The list is never sorted; addresses
// may repeat.
#pragma once

#include <string>
#include <vector>

#include "net/proxy_address.h"

// A proxy's address as a row shows it and "MyProxies.txt" keeps it: the
// scheme of a SOCKS proxy and the user name, then host ":" port; never the
// password.
std::string RowAddressOf(const net::ProxyAddress& proxy);

struct ProxyEntry {
    // "Proxy IP and Port": the proxy, never with its password (that is kept
    // apart, proxy_secrets.h).
    net::ProxyAddress proxy;
    std::string country;        // "Country", may carry "<supports POST>"
    std::string responseTime;   // "Response Time"
    std::string downloadSpeed;  // "Download Speed"
    // "Anonymity": the level's word from a test in this run (see
    // AnonymityWord), or the word of a proxy never to be used (see
    // NeverUsedWord); empty until then, and never saved.
    std::string anonymity = "";
    // "Exit IP": the address the test page saw through the proxy in a test
    // of this run; not saved either.
    std::string exitAddress = "";

    // RowAddressOf the proxy.
    std::string Address() const { return RowAddressOf(proxy); }
};

constexpr char NotTestedToday[] = "Not Tested Today";
constexpr char NoSpeed[] = "N/A";

// What a list view needs to stay a mirror of the list.
class ProxyListObserver {
public:
    virtual ~ProxyListObserver() = default;
    virtual void RowInserted(int index, const ProxyEntry& entry) = 0;
    virtual void RowRemoved(int index) = 0;
    // A file's `count` rows are about to be appended one by one, so that
    // the view can make room for them at once.
    virtual void RowsComing(int count) {}
};

class ProxyList {
public:
    int Count() const { return static_cast<int>(rows_.size()); }
    const ProxyEntry& Row(int index) const { return rows_[static_cast<size_t>(index)]; }
    const std::vector<ProxyEntry>& Rows() const { return rows_; }

    // The index of the first row of the same proxy (type, host, port and
    // user name, as its address reads), or -1.
    int FindProxyRow(const net::ProxyAddress& proxy) const;
    // Replaces the first row of the same proxy in its place, or appends the
    // row after the last one.
    void PutProxyRow(const net::ProxyAddress& proxy, const std::string& country,
                     const std::string& responseTime, const std::string& downloadSpeed,
                     const std::string& anonymity = "");
    void AppendRow(const ProxyEntry& entry);
    // Puts the row at `index` (0 to Count()), the rows from there moving down.
    void InsertRowAt(int index, const ProxyEntry& entry);
    // New test figures for the row at `index`, in its place.
    void SetRowTimes(int index, const std::string& responseTime, const std::string& downloadSpeed,
                     const std::string& anonymity = "", const std::string& exitAddress = "");
    // The row at `index` replaced by `entry`, in its place.
    void ReplaceRow(int index, const ProxyEntry& entry);
    void RemoveRow(int index);
    void RemoveAllRows();

    // Replaces the rows with those of the file at `path` (ReadProxyListFile);
    // a missing or unreadable file gives an empty list.
    bool LoadProxyList(const std::string& path);
    // Replaces the rows with `rows`, the view told once how many come.
    void TakeRows(std::vector<ProxyEntry> rows);
    // Removes every row, the view told that `count` rows are to be appended.
    void ClearForRows(int count);
    // Writes every row to `path`, replacing the file only once the whole text
    // is written. On failure the file and the rows are as they were, and
    // `error` names the file.
    bool SaveProxyList(const std::string& path, std::string* error = nullptr) const;

    // The view to keep informed; may be null.
    void SetObserver(ProxyListObserver* observer) { observer_ = observer; }

private:
    void InsertRow(int index, const ProxyEntry& entry);

    std::vector<ProxyEntry> rows_;
    ProxyListObserver* observer_ = nullptr;
};

// The rows of a "MyProxies.txt" file's bytes, each "Not Tested Today" and
// "N/A". Every line is taken, the last one even without a line end; blank
// lines are skipped.
std::vector<ProxyEntry> ParseProxyListFile(const std::string& bytes);
// The rows of the file at `path`, for a worker to read: a missing file is
// an empty list. False when the file is there but cannot be read (held by
// another program, no access): saving over it would lose its rows.
bool ReadProxyListFile(const std::string& path, std::vector<ProxyEntry>& rows);
// The bytes of "MyProxies.txt" for the rows.
std::string FormatProxyListFile(const std::vector<ProxyEntry>& rows);
