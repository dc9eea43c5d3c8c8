// The requests to the maker's proxy-list service, through WinINet on a direct
// connection (never through the browsers' proxy, which may be this program's
// own engine) and with time-outs, so a silent server costs seconds, not
// minutes: the list download and the generator request.
#pragma once

#include <mutex>
#include <string>

#include "base/scoped_win.h"
#include "proxies/proxy_list_reply.h"

// Each step of a request (connect, send, every read) gives up after this.
constexpr unsigned long RequestTimeoutMs = 15000;

// Lets another thread cut a request short: closing the request handle that
// a blocked WinINet call works on makes that call return with an error. The
// request owns the handle until it ends; Cancel closes it at most once.
class RequestCanceller {
public:
    RequestCanceller() = default;
    RequestCanceller(const RequestCanceller&) = delete;
    RequestCanceller& operator=(const RequestCanceller&) = delete;
    ~RequestCanceller() { Release(); }

    // From any thread; a request not yet begun will not begin.
    void Cancel();
    bool Cancelled();

    // For the request itself: takes the handle (false, and the handle
    // closed, when already cancelled), and gives it back closed.
    bool Adopt(void* request);
    void Release();

private:
    std::mutex mutex_;
    void* request_ = nullptr;
    bool cancelled_ = false;
};

// The body of the list reply with every line feed written as CR LF; false,
// with `reply` empty and `failure` saying why, when any step fails or the
// status is not 2xx (DownloadFailure::HttpStatus; `httpStatus`, when given,
// gets the status whenever one came). Shows nothing.
bool DownloadProxyList(std::string& reply, DownloadFailure* failure = nullptr,
                       RequestCanceller* canceller = nullptr, int* httpStatus = nullptr);

// Fetches the generator page to its end and drops it: 1 when it was read
// through, 0 on any failure.
int ProxyGeneratorRequest(RequestCanceller* canceller = nullptr);
// Runs ProxyGeneratorRequest on a thread of its own. Nothing needs to wait for
// it; the handle is there for those who want to (invalid when no thread).
base::ScopedHandle StartProxyGeneratorRequest();

// The download as the start-up and "Refresh List" run it: downloads the list,
// keeps a non-empty reply in "proxylist.txt" in the data folder and logs a
// failed download beside the program when ErrLogging is 1. `reply` is the
// text to fill the selector with. False only when "proxylist.txt" could not
// be written; `error` then names it and the caller stops there. `failure`
// says why a download failed (DownloadFailure::None when it did not).
bool DownloadAndKeepProxyList(std::string& reply, std::string* error = nullptr,
                              DownloadFailure* failure = nullptr,
                              RequestCanceller* canceller = nullptr, int* httpStatus = nullptr);

// The list of a source of the user's: an http:// or https:// address
// (`webAddress`) or a file, its bytes as they came, at most 32 MiB. False,
// with `body` empty and `failure` saying why, when it cannot be had (a web
// address that answers other than 2xx among them, as DownloadProxyList).
bool DownloadListSource(const std::string& location, bool webAddress, std::string& body,
                        DownloadFailure* failure = nullptr, RequestCanceller* canceller = nullptr,
                        int* httpStatus = nullptr);
