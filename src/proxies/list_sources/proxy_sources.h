// The sources of the proxy selector: the maker's list first, always there
// (it can be unticked, not removed), then the lists the user adds, each an
// http:// or https:// address or a local file, with the type of its proxies
// whose lines name none. They are stored in the user's key as one text, a
// source a line: "1" or "0" for ticked, TAB, the default type's scheme, TAB,
// the address ("maker" for the maker's list).
#pragma once

#include <string>
#include <vector>

#include "net/proxy_address.h"

struct ProxySource {
    // Empty: the maker's list.
    std::string location;
    bool ticked = true;
    net::ProxyType defaultType = net::ProxyType::Http;

    bool IsMakers() const { return location.empty(); }
    bool IsWebAddress() const;
};

// The stored text read back: the maker's list first whatever the text says,
// lines that are not sources passed over, every address once.
std::vector<ProxySource> ReadProxySources(const std::string& stored);
std::string StoredProxySources(const std::vector<ProxySource>& sources);

std::vector<ProxySource> LoadProxySources();
void SaveProxySources(const std::vector<ProxySource>& sources);

// Whether a typed address can be a source: an http:// or https:// address
// with a host, or a file path; else false with a sentence saying why.
bool CheckSourceLocation(const std::string& location, std::string& problem);

// How messages name a source: "the maker's list", a web address's host, a
// file's name.
std::string SourceName(const ProxySource& source);

// The judge pages of the JudgeUrl setting: several may stand there,
// separated by blanks or line ends, and are tried in that order.
std::vector<std::string> SplitJudgeUrls(const std::string& setting);
std::string JoinJudgeUrls(const std::vector<std::string>& urls);
