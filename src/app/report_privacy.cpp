#include "app/report_privacy.h"

#include <cstdlib>

namespace protection {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHex(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A dotted IPv4 address of four numbers up to 255.
bool IsIpv4(const std::string& text) {
    int parts = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t dot = text.find('.', at);
        std::string part = text.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos ||
            std::atoi(part.c_str()) > 255)
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        at = dot + 1;
    }
    return parts == 4;
}

// Groups of up to four hex digits between colons, eight of them or fewer
// with one "::", the last two optionally an IPv4 address.
bool IsIpv6(const std::string& text) {
    size_t gap = text.find("::");
    if (gap != std::string::npos && text.find("::", gap + 1) != std::string::npos)
        return false;
    int groups = 0;
    size_t at = 0;
    std::string rest = text;
    if (gap != std::string::npos)
        rest = text.substr(0, gap) + (gap > 0 && gap + 2 < text.size() ? ":" : "") +
               text.substr(gap + 2);
    while (!rest.empty() && at <= rest.size()) {
        size_t colon = rest.find(':', at);
        std::string group =
            rest.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
        if (colon == std::string::npos && group.find('.') != std::string::npos) {
            if (!IsIpv4(group))
                return false;
            groups += 2;
            break;
        }
        if (group.empty() || group.size() > 4)
            return false;
        for (char c : group) {
            if (!IsHex(c))
                return false;
        }
        ++groups;
        if (colon == std::string::npos)
            break;
        at = colon + 1;
    }
    return gap != std::string::npos ? groups < 8 : groups == 8;
}

bool IsLoopback(const std::string& address) {
    return address.compare(0, 4, "127.") == 0 || address == "::1";
}

bool IsAddressChar(char c) {
    return IsHex(c) || c == ':' || c == '.';
}

bool IsWordChar(char c) {
    return IsAddressChar(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

}  // namespace

std::string WithoutAddresses(const std::string& text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        // A proxy's user name: between "://" and "@".
        if (text.compare(at, 3, "://") == 0) {
            size_t user = at + 3;
            size_t end = user;
            while (end < text.size() && text[end] != '@' && text[end] != '/' && text[end] != ' ' &&
                   text[end] != '\r' && text[end] != '\n')
                ++end;
            out += "://";
            at = user;
            if (end < text.size() && text[end] == '@' && end > user) {
                out += HiddenUserName;
                at = end;
            }
            continue;
        }
        // An address starts a word: "abc1.2" is none.
        bool starts = IsAddressChar(text[at]) && (at == 0 || !IsWordChar(text[at - 1]));
        if (!starts) {
            out += text[at++];
            continue;
        }
        size_t end = at;
        while (end < text.size() && IsAddressChar(text[end]))
            ++end;
        std::string run = text.substr(at, end - at);
        // A sentence's full stop, and a port after an IPv4 address, are no
        // part of the address.
        std::string tail;
        while (!run.empty() && (run.back() == '.' || run.back() == ':')) {
            tail.insert(tail.begin(), run.back());
            run.pop_back();
        }
        size_t colon = run.find(':');
        if (colon != std::string::npos && IsIpv4(run.substr(0, colon)) &&
            run.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
            tail = run.substr(colon) + tail;
            run.erase(colon);
        }
        bool wordGoesOn = end < text.size() && IsWordChar(text[end]);
        bool address =
            !wordGoesOn && (IsIpv4(run) || (run.find(':') != std::string::npos && IsIpv6(run)));
        out += address && !IsLoopback(run) ? HiddenAddress : run;
        out += tail;
        at = end;
    }
    return out;
}

}  // namespace protection
