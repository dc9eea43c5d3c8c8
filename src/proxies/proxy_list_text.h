// Every proxy list a source may send, read by one tolerant parser: the maker's
// reply ("<br />" after each proxy line), one proxy per line in the forms that
// public lists use, and JSON arrays of objects. What it does not recognise it
// counts and passes over; nothing in a list is ever fatal.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "net/proxy_address.h"

// A source that sends more proxies than this is cut there: the selector and
// the checks stay usable and memory stays bounded whatever a list holds.
constexpr size_t MaxListedProxies = 100000;

// One proxy a list offered.
struct ListedProxy {
    net::ProxyAddress proxy;
    // The selector's text: the maker's piece as it stood, or the address
    // (with the user name, never the password) and "->" and the country.
    std::string text;
    // 1: the maker's list marks it "<supports POST>".
    int image = 0;
};

struct ParsedProxyList {
    std::vector<ListedProxy> proxies;
    // Lines or objects that named no proxy (comments and blank lines are not
    // counted), and proxies that came again.
    size_t skipped = 0;
    size_t duplicates = 0;
    // More than MaxListedProxies came; those after the limit are dropped.
    bool cut = false;
};

// Reads one source's bytes. `defaultType` is the type of the proxies whose
// line or object names none.
ParsedProxyList ParseProxyListText(const std::string& bytes,
                                   net::ProxyType defaultType = net::ProxyType::Http);

// Proxies without repeats, in the order they came: one proxy is one type,
// host (letters in any case) and port, whatever its credentials or country.
class ProxyUnion {
public:
    explicit ProxyUnion(size_t limit = MaxListedProxies) : limit_(limit) {}

    // False when the proxy was there already or the limit is reached
    // (Cut() then says so).
    bool Add(const ListedProxy& proxy);
    bool Cut() const { return cut_; }
    // Room for `count` proxies (at most the limit), made at once.
    void Reserve(size_t count);
    const std::vector<ListedProxy>& Proxies() const { return proxies_; }
    std::vector<ListedProxy> Take() { return std::move(proxies_); }

private:
    size_t limit_;
    bool cut_ = false;
    std::unordered_set<std::string> keys_;
    std::vector<ListedProxy> proxies_;
};
