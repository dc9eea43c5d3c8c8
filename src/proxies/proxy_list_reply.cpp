#include "proxies/proxy_list_reply.h"

#include <cstdio>

#include "base/files.h"
#include "base/text_mode.h"
#include "proxies/data_files.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

constexpr char Separator[] = "<br />";
constexpr size_t SeparatorLength = sizeof Separator - 1;
constexpr char PostMarker[] = "<supports POST>";

}  // namespace

std::string DownloadFailureText(DownloadFailure failure, int httpStatus) {
    switch (failure) {
    case DownloadFailure::None:
        return "";
    case DownloadFailure::NameNotResolved:
        return "the name of the list service does not resolve";
    case DownloadFailure::CannotConnect:
        return "the list service cannot be reached";
    case DownloadFailure::TimedOut:
        return "the list service stopped answering";
    case DownloadFailure::Cancelled:
        return "the download was given up";
    case DownloadFailure::ConnectionBroken:
        return "the connection to the list service broke off";
    case DownloadFailure::TooLarge:
        return "the list service's reply is too large";
    case DownloadFailure::NotAList:
        return "the list service's reply holds no proxy list";
    case DownloadFailure::WebPage:
        return "the list service sent a web page, not a proxy list";
    case DownloadFailure::HttpStatus:
        return "the list service failed (HTTP " + std::to_string(httpStatus) + ")";
    case DownloadFailure::FileUnreadable:
        return "the file cannot be read";
    default:
        return "the list could not be downloaded";
    }
}

bool LooksLikeWebPage(const std::string& reply) {
    size_t start = reply.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    start = reply.find_first_not_of(" \t\r\n", start);
    if (start == std::string::npos)
        return false;
    std::string head = reply.substr(start, 14);
    for (char& c : head)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const char* opening : {"<!doctype html", "<html", "<head", "<body", "<!--", "<?xml"}) {
        if (head.compare(0, std::string(opening).size(), opening) == 0)
            return true;
    }
    return false;
}

bool HoldsAList(const std::string& reply) {
    return reply.find(Separator) != std::string::npos;
}

std::vector<SelectorItem> ParseProxyListReply(const std::string& reply) {
    std::vector<SelectorItem> items;
    size_t start = 0;
    for (;;) {
        size_t end = reply.find(Separator, start);
        if (end == std::string::npos)
            break;
        std::string piece = reply.substr(start, end - start);
        start = end + SeparatorLength;
        if (piece.find("null") != std::string::npos)
            continue;
        // A marker at the very start does not count: only a proxy text that
        // carries it in its country part supports POST.
        size_t marker = piece.find(PostMarker);
        int image = marker != std::string::npos && marker > 0 ? 1 : 0;
        items.push_back({piece, image});
    }
    return items;
}

std::string ErrorLogLine(const std::tm& localTime) {
    char when[96];
    std::snprintf(when, sizeof when, "%d/%d/%d %d:%d:%d", localTime.tm_mday, localTime.tm_mon + 1,
                  localTime.tm_year + 1900, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    return std::string(when) + "\tCannot connect to server\tVG is unable to contact the proxy list";
}

bool KeepProxyListReply(bool downloaded, const std::string& reply, const std::string& dataFolder,
                        const std::string& logFolder, const std::tm& localTime,
                        std::string* error) {
    if (!reply.empty())
        return base::ReplaceWholeFile(base::JoinPath(dataFolder, ProxyListCopyFile),
                                      base::ToTextMode(reply), error);
    if (!downloaded && RegDwordValue(setting::ErrLogging).IsOn())
        base::AppendToFile(base::JoinPath(logFolder, ErrorLogFile),
                           ErrorLogLine(localTime) + "\r\n");
    return true;
}
