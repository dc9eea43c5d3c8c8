#include "proxies/list_sources/proxy_sources.h"

#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

constexpr char MakersWord[] = "maker";

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool HasControlCharacter(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    }
    return false;
}

}  // namespace

bool ProxySource::IsWebAddress() const {
    return StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://");
}

std::vector<ProxySource> ReadProxySources(const std::string& stored) {
    std::vector<ProxySource> sources(1);
    for (std::string line : Split(stored, '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields = Split(line, '\t');
        if (fields.size() != 3 || (fields[0] != "0" && fields[0] != "1"))
            continue;
        bool named = false;
        ProxySource source;
        source.ticked = fields[0] == "1";
        source.defaultType = net::ParseProxyAddress(fields[1] + "://", &named).type;
        source.location = fields[2] == MakersWord ? "" : fields[2];
        std::string problem;
        if (!named || (!source.IsMakers() && !CheckSourceLocation(source.location, problem)))
            continue;
        if (source.IsMakers()) {
            sources[0] = source;
            continue;
        }
        bool known = false;
        for (const ProxySource& earlier : sources)
            known = known || earlier.location == source.location;
        if (!known)
            sources.push_back(source);
    }
    return sources;
}

std::string StoredProxySources(const std::vector<ProxySource>& sources) {
    std::string stored;
    for (const ProxySource& source : sources) {
        stored += source.ticked ? "1\t" : "0\t";
        stored += net::ProxySchemeName(source.defaultType);
        stored += "\t" + (source.IsMakers() ? std::string(MakersWord) : source.location) + "\n";
    }
    return stored;
}

std::vector<ProxySource> LoadProxySources() {
    return ReadProxySources(RegStringValue(setting::ProxySources, "").Get());
}

void SaveProxySources(const std::vector<ProxySource>& sources) {
    RegStringValue(setting::ProxySources, "").Set(StoredProxySources(sources));
}

bool CheckSourceLocation(const std::string& location, std::string& problem) {
    if (location.empty() || location == MakersWord) {
        problem = "Type the address of a proxy list (http:// or https://) or choose a file.";
        return false;
    }
    if (HasControlCharacter(location)) {
        problem = "The list's address holds a character no address has.";
        return false;
    }
    size_t scheme = location.find("://");
    if (scheme == std::string::npos)
        return true;  // a file
    ProxySource probe;
    probe.location = location;
    std::string rest = location.substr(scheme + 3);
    if (!probe.IsWebAddress()) {
        problem = "Veilgate downloads lists only from http:// and https:// addresses.";
        return false;
    }
    if (rest.empty() || rest[0] == '/' || rest[0] == ':' || rest.find(' ') != std::string::npos) {
        problem =
            "The list's address has no server name: for example https://example.org/list.txt.";
        return false;
    }
    return true;
}

std::string SourceName(const ProxySource& source) {
    if (source.IsMakers())
        return "the maker's list";
    if (source.IsWebAddress()) {
        std::string rest = source.location.substr(source.location.find("://") + 3);
        return rest.substr(0, rest.find_first_of("/?#"));
    }
    size_t slash = source.location.find_last_of("\\/");
    return slash == std::string::npos ? source.location : source.location.substr(slash + 1);
}

std::vector<std::string> SplitJudgeUrls(const std::string& setting) {
    std::vector<std::string> urls;
    std::string url;
    for (char c : setting + " ") {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!url.empty())
                urls.push_back(url);
            url.clear();
        } else {
            url += c;
        }
    }
    return urls;
}

std::string JoinJudgeUrls(const std::vector<std::string>& urls) {
    std::string joined;
    for (const std::string& url : urls)
        joined += (joined.empty() ? "" : " ") + url;
    return joined;
}
