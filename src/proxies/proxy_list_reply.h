// The proxy-list service's reply and what is kept of it: the selector's items,
// the copy in "proxylist.txt", and the error-log line of a failed download.
#pragma once

#include <ctime>
#include <string>
#include <vector>

// One item of the proxy selector: the text as it stood between two
// separators, and the image that marks it (1: the proxy supports POST).
struct SelectorItem {
    std::string text;
    int image = 0;
};

// The items of a reply: every piece before a "<br />" that does not contain
// "null", in reply order. Text after the last separator is not an item.
std::vector<SelectorItem> ParseProxyListReply(const std::string& reply);

// Why a download brought no list.
enum class DownloadFailure {
    None,
    NameNotResolved,
    CannotConnect,
    TimedOut,
    Cancelled,
    ConnectionBroken,
    TooLarge,
    NotAList,
    // A reply that is a web page (a sign-in page of a network's portal, say)
    // and names no proxy.
    WebPage,
    // The server answered with a status other than 2xx.
    HttpStatus,
    FileUnreadable,
    Other
};

// The reason as the user is told it: "the list service ...";
// `httpStatus` is the status of a HttpStatus failure ("the list service
// failed (HTTP 404)").
std::string DownloadFailureText(DownloadFailure failure, int httpStatus = 0);
// Whether a reply reads as a web page: it starts, past blanks and a
// byte-order mark, with an HTML document's first tag or comment.
bool LooksLikeWebPage(const std::string& reply);
// Whether a downloaded reply is a list: it holds at least one separator (an
// error page does not; a list whose proxies are all "null" does).
bool HoldsAList(const std::string& reply);

// "%d/%d/%d %d:%d:%d" of day, month, year, hour, minute and second, then TAB
// "Cannot connect to server" TAB "VG is unable to contact the proxy list".
std::string ErrorLogLine(const std::tm& localTime);

constexpr char ErrorLogFile[] = "errorlog.txt";

// What is kept after a download: a non-empty reply is written to
// "proxylist.txt" in `dataFolder` (line feeds as CR LF, so the reply's own
// CR LF pairs end up as CR CR LF); an empty one leaves that file alone. Only
// a download that failed (`downloaded` false) appends the error-log line to
// the log in `logFolder`, when ErrLogging is 1: a server that answers with
// nothing did answer. False only when "proxylist.txt" could not be written;
// `error` names it.
bool KeepProxyListReply(bool downloaded, const std::string& reply, const std::string& dataFolder,
                        const std::string& logFolder, const std::tm& localTime,
                        std::string* error = nullptr);
