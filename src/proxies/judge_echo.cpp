// Reading what the judge saw: pure functions over the page's bytes.
#include "proxies/proxy_check.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <random>

namespace {

// Headers that only a proxy adds; their names as the judge echoes them.
const char* const ProxyHeaders[] = {
    "via:",           "forwarded:",   "x-forwarded-for:", "client-ip:",
    "x-real-ip:",     "x-proxy-id:",  "x-tinyproxy:",     "proxy-connection:",
    "forwarded-for:", "x-forwarded:", "x-client-ip:",     "proxy-agent:"};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerText(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), Lower);
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    c = Lower(c);
    return IsDigit(c) || (c >= 'a' && c <= 'f');
}

bool IsNameChar(char c) {
    c = Lower(c);
    return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-' || c == '_';
}

// The echo without its Host lines (X-Forwarded-Host too): they name the
// judge, whose address may well be the user's own (a judge on this machine),
// and say nothing of the user.
std::string WithoutHostLines(const std::string& echo) {
    std::string lower = LowerText(echo);
    std::string kept;
    size_t from = 0;
    for (;;) {
        size_t at = lower.find("host:", from);
        if (at == std::string::npos) {
            kept += echo.substr(from);
            return kept;
        }
        kept += echo.substr(from, at - from);
        size_t end = lower.find_first_of("\r\n<", at);
        if (end == std::string::npos)
            return kept;
        from = end;
    }
}

// Whether `address` stands in `text` as a whole address, not as the start
// of a longer one (127.0.0.1 is not in 127.0.0.12, nor 2001:db8::1 in
// 2001:db8::12). IPv6 text is compared regardless of case.
bool ContainsAddress(const std::string& text, const std::string& address) {
    if (address.empty())
        return false;
    bool v6 = address.find(':') != std::string::npos;
    std::string haystack = v6 ? LowerText(text) : text;
    std::string needle = v6 ? LowerText(address) : address;
    auto partOfAddress = [v6](char c) { return v6 ? IsHexDigit(c) || c == ':' : IsDigit(c); };
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        bool openBefore = at == 0 || (!partOfAddress(haystack[at - 1]) && haystack[at - 1] != '.');
        size_t after = at + needle.size();
        bool openAfter = after >= haystack.size() || !partOfAddress(haystack[after]);
        if (openAfter && after + 1 < haystack.size() && haystack[after] == '.' &&
            IsDigit(haystack[after + 1]))
            openAfter = false;
        if (openBefore && openAfter)
            return true;
    }
    return false;
}

// A dotted IPv4 address starting at `at`, or empty.
std::string DottedAt(const std::string& text, size_t at) {
    size_t i = at;
    int parts = 0;
    while (parts < 4) {
        size_t digits = 0;
        int value = 0;
        while (i < text.size() && IsDigit(text[i]) && digits < 3) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || value > 255)
            return "";
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return "";
            ++i;
        }
    }
    if (i < text.size() &&
        (IsDigit(text[i]) || (text[i] == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))))
        return "";
    return text.substr(at, i - at);
}

// An IPv6 address starting at `at` (hex digits and colons, at least two of
// them, possibly ending in a dotted IPv4 part), or empty.
std::string Ipv6At(const std::string& text, size_t at) {
    const size_t longest = 45;
    size_t i = at;
    int colons = 0;
    while (i < text.size() && i - at < longest &&
           (IsHexDigit(text[i]) || text[i] == ':' || text[i] == '.')) {
        colons += text[i] == ':';
        ++i;
    }
    if (colons < 2 || i - at >= longest || (i < text.size() && IsNameChar(text[i])))
        return "";
    return text.substr(at, i - at);
}

std::string FirstDotted(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsDigit(text[i]) || (i > 0 && (IsDigit(text[i - 1]) || text[i - 1] == '.')))
            continue;
        std::string dotted = DottedAt(text, i);
        if (!dotted.empty())
            return dotted;
    }
    return "";
}

}  // namespace

const char* AnonymityWord(Anonymity level) {
    switch (level) {
    case Anonymity::Transparent:
        return "Transparent";
    case Anonymity::Anonymous:
        return "Anonymous";
    case Anonymity::Elite:
        return "Elite";
    case Anonymity::Unknown:
        return "Unknown";
    default:
        return "";
    }
}

const char* AnonymityText(Anonymity level) {
    switch (level) {
    case Anonymity::Transparent:
        return "Transparent - sites see your IP";
    case Anonymity::Unknown:
        return "Unknown - your own IP could not be checked";
    default:
        return AnonymityWord(level);
    }
}

Anonymity AnonymityFromWord(const std::string& word) {
    for (Anonymity level :
         {Anonymity::Unknown, Anonymity::Transparent, Anonymity::Anonymous, Anonymity::Elite}) {
        if (word == AnonymityWord(level))
            return level;
    }
    return Anonymity::None;
}

bool HidesUserAddress(Anonymity level) {
    return level == Anonymity::Anonymous || level == Anonymity::Elite;
}

std::string NewJudgeMarker() {
    // 64 random bits as hex: no page holds them by chance. Should the
    // system's random source fail, the time and a counter still make a
    // marker no page can know in advance.
    uint64_t bits = 0;
    try {
        std::random_device source;
        bits = (static_cast<uint64_t>(source()) << 32) ^ source();
    } catch (...) {
        static std::atomic<uint64_t> counter{0};
        bits = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) *
                   6364136223846793005u +
               ++counter;
    }
    static const char digits[] = "0123456789abcdef";
    std::string marker = "vg";
    for (int shift = 60; shift >= 0; shift -= 4)
        marker += digits[(bits >> shift) & 0xf];
    return marker;
}

bool IsJudgeEcho(const std::string& page, const std::string& marker) {
    return !marker.empty() && page.find(marker) != std::string::npos &&
           !ReadExitAddress(page).empty();
}

std::string ReadExitAddress(const std::string& echo) {
    const char marker[] = "id=\"address\">";
    size_t at = echo.find(marker);
    if (at != std::string::npos) {
        at += std::strlen(marker);
        std::string address = DottedAt(echo, at);
        if (address.empty())
            address = Ipv6At(echo, at);
        if (!address.empty())
            return address;
    }
    return FirstDotted(WithoutHostLines(echo));
}

Anonymity GradeEcho(const OwnAddresses& own, const std::string& echo) {
    std::string seen = WithoutHostLines(echo);
    if (ContainsAddress(seen, own.seenDirectly))
        return Anonymity::Transparent;
    for (const std::string& address : own.local) {
        if (ContainsAddress(seen, address))
            return Anonymity::Transparent;
    }
    // Headers alone cannot show that the user's address was not passed on
    // under some name no list knows.
    if (own.seenDirectly.empty())
        return Anonymity::Unknown;
    std::string lower = LowerText(seen);
    for (const char* header : ProxyHeaders) {
        for (size_t at = lower.find(header); at != std::string::npos;
             at = lower.find(header, at + 1)) {
            if (at == 0 || !IsNameChar(lower[at - 1]))
                return Anonymity::Anonymous;
        }
    }
    return Anonymity::Elite;
}
