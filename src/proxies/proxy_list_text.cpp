#include "proxies/proxy_list_text.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "base/leading_number.h"
#include "proxies/proxy_list_reply.h"

namespace {

using net::ProxyType;
using Json = nlohmann::json;

// A country text longer than this is not one.
constexpr size_t MaxCountryLength = 48;
// Longer hosts and credentials are not looked for.
constexpr size_t MaxHostLength = 255;
constexpr size_t MaxCredentialsLength = 128;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(const std::string& text) {
    std::string lower;
    for (char c : text)
        lower += Lower(c);
    return lower;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// The type a list names with a word: "http", "https" (an HTTP proxy that
// takes CONNECT), "socks4", "socks4a", "socks5", "socks5h".
bool TypeWord(const std::string& word, ProxyType& type) {
    bool hasScheme = false;
    net::ProxyAddress probe = net::ParseProxyAddress(Lowered(word) + "://", &hasScheme);
    type = probe.type;
    return hasScheme;
}

bool AnonymityWord(const std::string& word) {
    static const char* const words[] = {"elite",
                                        "anonymous",
                                        "transparent",
                                        "high",
                                        "elite proxy",
                                        "anonymous proxy",
                                        "high anonymous",
                                        "high anonymity",
                                        "noa",
                                        "anm",
                                        "hia",
                                        "anon",
                                        "yes",
                                        "no"};
    std::string lower = Lowered(word);
    for (const char* known : words) {
        if (lower == known)
            return true;
    }
    return false;
}

// A country, or its code: letters (any beyond ASCII among them) with blanks,
// dots, dashes, apostrophes or brackets between them ("DE", "Germany",
// "Korea (South)", "T\xC3\xBCrkiye").
bool LooksLikeCountry(const std::string& field) {
    if (field.size() > MaxCountryLength)
        return false;
    int letters = 0;
    for (char c : field) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      static_cast<unsigned char>(c) >= 0x80;
        if (letter)
            ++letters;
        else if (c != ' ' && c != '.' && c != '-' && c != '\'' && c != '(' && c != ')')
            return false;
    }
    return letters >= 2 && !AnonymityWord(field);
}

std::vector<std::string> Fields(const std::string& text, const std::string& separators) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : text) {
        if (separators.find(c) != std::string::npos) {
            field = Trimmed(field);
            if (!field.empty())
                fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    field = Trimmed(field);
    if (!field.empty())
        fields.push_back(field);
    return fields;
}

// The address with its type (when named), as the one proxy-address rule reads
// it; false when it is no proxy a connection could be made to.
bool ReadAddress(const std::string& text, net::ProxyAddress& proxy, bool& named) {
    // `text` is an address alone: the check would take a "->" in it (a
    // JSON host "1.2.3.4:8888->DE") for a country's start, and the address
    // read would not be the one checked.
    if (text.find("->") != std::string::npos)
        return false;
    std::string problem;
    if (!net::CheckProxyText(text, problem))
        return false;
    proxy = net::ParseProxyAddress(text, &named);
    return true;
}

std::string WithScheme(ProxyType type, const std::string& rest) {
    return std::string(net::ProxySchemeName(type)) + "://" + rest;
}

ListedProxy Listed(const net::ProxyAddress& proxy, const std::string& country) {
    ListedProxy listed;
    listed.proxy = proxy;
    listed.text = net::FormatProxyAddress(proxy, net::Secrets::UserName);
    if (!country.empty())
        listed.text += "->" + country;
    return listed;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

bool IsHostChar(char c) {
    return IsAsciiLetter(c) || IsDigitChar(c) || c == '.' || c == '-' || c == '_';
}

// A host as lists write one: an IPv6 address in brackets, a dotted IPv4
// address, or a name with a letter in it, which outside the line's start
// must also hold a dot ("2155ms" or a time of day is no host).
bool LooksLikeHost(const std::string& host, bool atLineStart) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        std::string inside = host.substr(1, host.size() - 2);
        return inside.find(':') != std::string::npos &&
               inside.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos;
    }
    bool letter = false;
    int dots = 0;
    for (char c : host) {
        letter = letter || IsAsciiLetter(c);
        dots += c == '.';
    }
    if (letter)
        return atLineStart || dots > 0;
    if (dots != 3)
        return false;
    size_t part = 0;
    for (char c : host + ".") {
        if (c != '.')
            ++part;
        else if (part == 0 || part > 3)
            return false;
        else
            part = 0;
    }
    return true;
}

// Where the address `[scheme://][user:password@]host:port` whose port
// follows the colon at `colon` starts; false when the text before that colon
// is no such address.
// Each walk back is bounded, so that a line of any length is read in a time
// in proportion to it.
bool AddressStart(const std::string& line, size_t colon, size_t& start) {
    size_t host = colon;
    size_t limit = colon > MaxHostLength ? colon - MaxHostLength : 0;
    if (host > 0 && line[host - 1] == ']') {
        while (host > limit && line[host - 1] != '[')
            --host;
        if (host == 0 || line[--host] != '[')
            return false;
    } else {
        while (host > limit && IsHostChar(line[host - 1]))
            --host;
    }
    start = host;
    if (start > 0 && line[start - 1] == '@') {
        // The credentials run back to a blank or to the scheme's "//".
        size_t user = start - 1;
        limit = user > MaxCredentialsLength ? user - MaxCredentialsLength : 0;
        while (user > limit && !IsBlank(line[user - 1]) && line[user - 1] != '/')
            --user;
        start = user;
    }
    bool schemed = start >= 3 && line.compare(start - 3, 3, "://") == 0;
    if (schemed) {
        size_t scheme = start - 3;
        while (scheme > 0 && start - scheme < 16 &&
               (IsAsciiLetter(line[scheme - 1]) || IsDigitChar(line[scheme - 1])))
            --scheme;
        start = scheme;
    }
    return host < colon && LooksLikeHost(line.substr(host, colon - host), host == 0 || schemed);
}

// The first address in the line, wherever it stands: [begin, end) ends after
// its port.
bool FindAddress(const std::string& line, size_t& begin, size_t& end) {
    for (size_t at = 0; at < line.size(); ++at) {
        if (line[at] == '[') {
            // An IPv6 host's colons are no port's.
            size_t close = line.find(']', at);
            if (close != std::string::npos)
                at = close;
            continue;
        }
        if (line[at] != ':')
            continue;
        size_t port = at + 1;
        while (port < line.size() && port - at <= 6 && IsDigitChar(line[port]))
            ++port;
        // "->" after the port is the selector's own "address->country".
        bool ends = port == line.size() || line.compare(port, 2, "->") == 0 ||
                    !(IsHostChar(line[port]) || line[port] == '@');
        if (port == at + 1 || port - at > 6 || !ends || !AddressStart(line, at, begin))
            continue;
        std::string problem;
        if (!net::CheckProxyText(line.substr(begin, port - begin), problem))
            continue;
        end = port;
        return true;
    }
    return false;
}

// The line's fields after its address. Fields split by blanks are words of
// one another (a country of two words); others stand whole.
std::vector<std::string> FieldsAfter(std::string rest, bool& byBlanks) {
    if (rest.compare(0, 2, "->") == 0)
        rest.replace(0, 2, "|");
    byBlanks = rest.find_first_of(",;\t|") == std::string::npos;
    return Fields(rest, byBlanks ? " :" : ",;\t|:");
}

// One line: the first address in it, wherever it stands, then any fields
// after it. A field that names a type gives an address without a scheme its
// type; fields that look like a country are its country. A line without an
// address but with a host and a port in columns of their own (CSV) is read
// too.
bool ReadLine(const std::string& line, ProxyType defaultType, ListedProxy& listed) {
    std::string address;
    std::vector<std::string> fields;
    bool byBlanks = true;
    size_t begin = 0;
    size_t end = 0;
    if (FindAddress(line, begin, end)) {
        address = line.substr(begin, end - begin);
        std::string rest = line.substr(end);
        // host:port:user:password: four fields are an address and
        // credentials, three an address and a country.
        size_t credentialsEnd = rest.find_first_of(" \t|,;");
        std::string credentials = rest.substr(0, credentialsEnd);
        if (address.find_first_of("@/") == std::string::npos && credentials.size() > 2 &&
            credentials[0] == ':' && std::count(credentials.begin(), credentials.end(), ':') == 2) {
            size_t split = credentials.find(':', 1);
            address = credentials.substr(1, split - 1) + ":" + credentials.substr(split + 1) + "@" +
                      address;
            rest = rest.substr(credentials.size());
        }
        fields = FieldsAfter(rest, byBlanks);
    } else {
        std::string separators = line.find_first_of(",;\t") != std::string::npos ? ",;\t" : " ";
        fields = Fields(line, separators);
        byBlanks = separators == " ";
        // "address port" in columns of their own, as CSV files give them.
        if (fields.size() < 2 || fields[0].find(':') != std::string::npos ||
            !base::IsAllDigits(fields[1]) || !LooksLikeHost(fields[0], true))
            return false;
        address = fields[0] + ":" + fields[1];
        fields.erase(fields.begin(), fields.begin() + 2);
    }

    ProxyType type = defaultType;
    bool typeNamed = false;
    std::string country;
    bool countryOpen = true;
    for (const std::string& field : fields) {
        ProxyType fieldType;
        if (!typeNamed && TypeWord(field, fieldType)) {
            type = fieldType;
            typeNamed = true;
            countryOpen = !country.empty() ? false : countryOpen;
        } else if (countryOpen && LooksLikeCountry(field) &&
                   country.size() + field.size() < MaxCountryLength) {
            country += (country.empty() ? "" : " ") + field;
            countryOpen = byBlanks;
        } else if (!country.empty()) {
            countryOpen = false;
        }
    }

    std::string text =
        address.find("://") == std::string::npos ? WithScheme(type, address) : address;
    bool named = false;
    net::ProxyAddress proxy;
    if (!ReadAddress(text, proxy, named) || !named)
        return false;
    listed = Listed(proxy, country);
    return true;
}

std::string JsonText(const Json& object, const char* name) {
    auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get<std::string>() : "";
}

// "port": 8080 or "port": "8080".
int JsonPort(const Json& object) {
    auto found = object.find("port");
    if (found == object.end())
        return 0;
    if (found->is_number_unsigned()) {
        auto port = found->get<unsigned long long>();
        return port <= 65535 ? static_cast<int>(port) : 0;
    }
    if (found->is_string()) {
        std::string text = found->get<std::string>();
        return base::IsAllDigits(text) && text.size() <= 5 ? base::ParseLeadingInt(text) : 0;
    }
    return 0;
}

// The type words of "protocol", "type" or "protocols" (one word or a list).
std::vector<std::string> JsonTypeWords(const Json& object) {
    std::vector<std::string> words;
    for (const char* name : {"protocol", "type", "protocols"}) {
        auto found = object.find(name);
        if (found == object.end())
            continue;
        if (found->is_string())
            words.push_back(found->get<std::string>());
        if (found->is_array()) {
            for (const Json& item : *found) {
                if (item.is_string())
                    words.push_back(item.get<std::string>());
            }
        }
        if (!words.empty())
            break;
    }
    return words;
}

// One object: a proxy for each type it names (the default type without
// one); false when it names no usable proxy.
bool ReadObject(const Json& object, ProxyType defaultType, ProxyUnion& found,
                ParsedProxyList& list) {
    if (!object.is_object())
        return false;
    std::string host = JsonText(object, "ip");
    if (host.empty())
        host = JsonText(object, "host");
    if (host.find(':') != std::string::npos && host[0] != '[')
        host = "[" + host + "]";
    int port = JsonPort(object);
    std::string country = JsonText(object, "country");
    if (country.empty())
        country = JsonText(object, "country_code");
    if (!LooksLikeCountry(country))
        country.clear();

    std::vector<std::string> words = JsonTypeWords(object);
    std::vector<ProxyType> types;
    for (const std::string& word : words) {
        ProxyType type;
        if (TypeWord(word, type))
            types.push_back(type);
    }
    if (words.empty())
        types.push_back(defaultType);

    bool any = false;
    for (ProxyType type : types) {
        net::ProxyAddress proxy;
        bool named = false;
        if (!ReadAddress(WithScheme(type, host + ":" + std::to_string(port)), proxy, named))
            continue;
        any = true;
        if (!found.Add(Listed(proxy, country)) && !found.Cut())
            ++list.duplicates;
    }
    return any;
}

// What one array of a JSON list gave.
struct JsonItems {
    bool seen = false;
    bool isArray = false;
    ProxyUnion found;
    size_t skipped = 0;
    size_t duplicates = 0;
};

// A JSON array of objects, or an object holding one under "data" or
// "proxies"; false when the text is no such JSON, so it is read as lines.
// Each item is read as the parser completes it and then dropped: a list of
// 32 MiB held whole as a tree took ten times that.
bool ReadJson(const std::string& bytes, ProxyType defaultType, ProxyUnion& found,
              ParsedProxyList& list) {
    size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || (bytes[first] != '[' && bytes[first] != '{'))
        return false;
    bool topIsArray = bytes[first] == '[';
    JsonItems top, data, proxies;
    JsonItems* current = topIsArray ? &top : nullptr;
    int itemDepth = topIsArray ? 1 : 2;
    auto take = [&](JsonItems& items, const Json& item) {
        if (items.found.Cut())
            return;
        ProxyUnion& into = items.found;
        ParsedProxyList counts;
        if (!ReadObject(item, defaultType, into, counts))
            ++items.skipped;
        items.duplicates += counts.duplicates;
    };
    using Event = Json::parse_event_t;
    auto onEvent = [&](int depth, Event event, Json& parsed) {
        if (!topIsArray && depth == 1 && event == Event::key) {
            const std::string& name = parsed.get_ref<const std::string&>();
            current = name == "data" ? &data : name == "proxies" ? &proxies : nullptr;
            if (current)
                current->seen = true;
            return true;
        }
        if (!topIsArray && depth == 1 && event == Event::array_start && current)
            current->isArray = true;
        bool itemDone =
            event == Event::object_end || event == Event::array_end || event == Event::value;
        if (depth == itemDepth && itemDone && current) {
            take(*current, parsed);
            return false;
        }
        // Whatever else the document holds is not needed either.
        return depth == 0 || !itemDone || depth > itemDepth;
    };
    // The library's own checks, without exceptions: a text that is not JSON
    // comes back discarded.
    Json document = Json::parse(bytes, onEvent, false);
    if (document.is_discarded())
        return false;
    JsonItems* items = &top;
    if (!topIsArray) {
        items = data.seen ? &data : &proxies;
        if (!items->seen || !items->isArray)
            return false;
    }
    found = std::move(items->found);
    list.skipped += items->skipped;
    list.duplicates += items->duplicates;
    return true;
}

void ReadLines(const std::string& bytes, ProxyType defaultType, ProxyUnion& found,
               ParsedProxyList& list) {
    size_t start = 0;
    // A byte-order mark is no part of the first line.
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    while (start < bytes.size() && !found.Cut()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = Trimmed(bytes.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        ListedProxy listed;
        if (!ReadLine(line, defaultType, listed))
            ++list.skipped;
        else if (!found.Add(listed) && !found.Cut())
            ++list.duplicates;
    }
}

// The maker's reply exactly as it has always been read: each piece before a
// "<br />" is an item as it stands, apart from those naming "null".
void ReadMakersReply(const std::string& bytes, ProxyUnion& found, ParsedProxyList& list) {
    for (const SelectorItem& item : ParseProxyListReply(bytes)) {
        ListedProxy listed;
        listed.proxy = net::ParseProxyAddress(Trimmed(item.text));
        listed.text = item.text;
        listed.image = item.image;
        if (!found.Add(listed)) {
            if (found.Cut())
                break;
            ++list.duplicates;
        }
    }
}

}  // namespace

void ProxyUnion::Reserve(size_t count) {
    count = std::min(count, limit_);
    proxies_.reserve(count);
    keys_.reserve(count);
}

bool ProxyUnion::Add(const ListedProxy& listed) {
    std::string key = std::to_string(static_cast<int>(listed.proxy.type)) + " " +
                      Lowered(listed.proxy.host) + " " + std::to_string(listed.proxy.port);
    if (keys_.count(key) > 0)
        return false;
    if (proxies_.size() >= limit_) {
        cut_ = true;
        return false;
    }
    keys_.insert(key);
    proxies_.push_back(listed);
    return true;
}

ParsedProxyList ParseProxyListText(const std::string& bytes, ProxyType defaultType) {
    ParsedProxyList list;
    ProxyUnion found;
    if (HoldsAList(bytes))
        ReadMakersReply(bytes, found, list);
    else if (!ReadJson(bytes, defaultType, found, list))
        ReadLines(bytes, defaultType, found, list);
    list.cut = found.Cut();
    list.proxies = found.Take();
    // A list is kept for the rest of the run: without the room it grew
    // into, a list of 100,000 takes half as much.
    list.proxies.shrink_to_fit();
    return list;
}
