#include "proxies/proxy_list_download_win.h"

#include <windows.h>
#include <wininet.h>

#include <ctime>

#include "base/files.h"
#include "base/text_mode.h"
#include "proxies/data_files.h"
#include "proxies/proxy_list_reply.h"
#include "settings/maker_endpoints.h"

namespace {

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { InternetCloseHandle(h); }
};
using ScopedInternetHandle = base::ScopedWin<InternetHandleTraits>;

constexpr char Agent[] = "Veilgate";
constexpr DWORD ReadPiece = 4095;
// A list of a few hundred proxies is a few kilobytes; a server that sends
// without end must not be able to fill the memory of the program.
constexpr size_t MaxBodyBytes = 4 * 1024 * 1024;
// The user's sources may hold the most proxies a list may give (about 20
// bytes a line, a few times that in JSON).
constexpr size_t MaxSourceBytes = 32 * 1024 * 1024;

// A list service must not see the browser's cookies or set its own, a list
// must not land in the cache that the cleaner empties nor come from it, and
// no dialog may open on a worker.
constexpr DWORD RequestFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES |
                               INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                               INTERNET_FLAG_NO_UI;

void SetTimeouts(HINTERNET internet) {
    DWORD timeout = RequestTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(internet, option, &timeout, sizeof timeout);
}

DownloadFailure FailureOf(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return DownloadFailure::NameNotResolved;
    case ERROR_INTERNET_CANNOT_CONNECT:
        return DownloadFailure::CannotConnect;
    case ERROR_INTERNET_TIMEOUT:
        return DownloadFailure::TimedOut;
    case ERROR_INTERNET_OPERATION_CANCELLED:
        return DownloadFailure::Cancelled;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
        return DownloadFailure::ConnectionBroken;
    default:
        return DownloadFailure::Other;
    }
}

// GET of an http:// (or, for the user's sources, https://) address; `body`
// gets every byte of the reply body, up to `maxBytes`.
DownloadFailure HttpGet(const std::string& url, std::string& body, RequestCanceller& canceller,
                        int* httpStatus, size_t maxBytes = MaxBodyBytes,
                        bool secureAllowed = false) {
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    char path[INTERNET_MAX_PATH_LENGTH + 1] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    // No buffer and a length not zero: the query comes back as a pointer
    // into the address itself.
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts))
        return DownloadFailure::Other;
    bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && !(secure && secureAllowed))
        return DownloadFailure::Other;
    // The path with its query: the cracked path alone stops before "?".
    std::string object = path;
    if (parts.dwExtraInfoLength > 0 && parts.lpszExtraInfo)
        object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    ScopedInternetHandle internet(
        InternetOpenA(Agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!internet)
        return FailureOf(GetLastError());
    SetTimeouts(internet.Get());
    ScopedInternetHandle connection(InternetConnectA(internet.Get(), host, parts.nPort, nullptr,
                                                     nullptr, INTERNET_SERVICE_HTTP,
                                                     INTERNET_FLAG_KEEP_CONNECTION, 0));
    if (!connection)
        return FailureOf(GetLastError());
    HINTERNET request =
        HttpOpenRequestA(connection.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr,
                         RequestFlags | (secure ? INTERNET_FLAG_SECURE : 0), 0);
    if (!request)
        return FailureOf(GetLastError());
    // From here on the canceller owns the request handle and closes it,
    // either when asked to from another thread or when this request ends.
    if (!canceller.Adopt(request))
        return DownloadFailure::Cancelled;
    struct Release {
        RequestCanceller& canceller;
        ~Release() { canceller.Release(); }
    } release{canceller};
    // Set on every handle: a handle does not take every time-out from the
    // one it was opened from in every WinINet (Wine's among them).
    SetTimeouts(connection.Get());
    SetTimeouts(request);
    auto failed = [&canceller] {
        DWORD error = GetLastError();
        return canceller.Cancelled() ? DownloadFailure::Cancelled : FailureOf(error);
    };
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0))
        return failed();

    // An error page, a redirect not followed or a portal's page in place of
    // the list is no list, whatever its body holds.
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr))
        return failed();
    if (httpStatus)
        *httpStatus = static_cast<int>(status);
    if (status < 200 || status > 299)
        return DownloadFailure::HttpStatus;

    char piece[ReadPiece];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, piece, sizeof piece, &read))
            return failed();
        if (read == 0)
            return canceller.Cancelled() ? DownloadFailure::Cancelled : DownloadFailure::None;
        if (body.size() + read > maxBytes)
            return DownloadFailure::TooLarge;
        body.append(piece, read);
    }
}

std::tm LocalTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::tm local{};
    local.tm_mday = now.wDay;
    local.tm_mon = now.wMonth - 1;
    local.tm_year = now.wYear - 1900;
    local.tm_hour = now.wHour;
    local.tm_min = now.wMinute;
    local.tm_sec = now.wSecond;
    return local;
}

DWORD WINAPI GeneratorRequestThread(LPVOID) {
    try {
        ProxyGeneratorRequest();
    } catch (...) {
    }
    return 0;
}

}  // namespace

void RequestCanceller::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    if (request_) {
        InternetCloseHandle(static_cast<HINTERNET>(request_));
        request_ = nullptr;
    }
}

bool RequestCanceller::Cancelled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

bool RequestCanceller::Adopt(void* request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) {
        InternetCloseHandle(static_cast<HINTERNET>(request));
        return false;
    }
    request_ = request;
    return true;
}

void RequestCanceller::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (request_) {
        InternetCloseHandle(static_cast<HINTERNET>(request_));
        request_ = nullptr;
    }
}

bool DownloadProxyList(std::string& reply, DownloadFailure* failure, RequestCanceller* canceller,
                       int* httpStatus) {
    reply.clear();
    RequestCanceller own;
    std::string body;
    DownloadFailure why = HttpGet(maker::AddressOf(maker::ProxyListPath), body,
                                  canceller ? *canceller : own, httpStatus);
    if (failure)
        *failure = why;
    if (why != DownloadFailure::None)
        return false;
    reply = base::ToTextMode(body);
    return true;
}

int ProxyGeneratorRequest(RequestCanceller* canceller) {
    RequestCanceller own;
    std::string body;
    return HttpGet(maker::AddressOf(maker::ProxyGeneratorPath), body, canceller ? *canceller : own,
                   nullptr) == DownloadFailure::None
               ? 1
               : 0;
}

base::ScopedHandle StartProxyGeneratorRequest() {
    return base::ScopedHandle(
        CreateThread(nullptr, 0, GeneratorRequestThread, nullptr, 0, nullptr));
}

bool DownloadAndKeepProxyList(std::string& reply, std::string* error, DownloadFailure* failure,
                              RequestCanceller* canceller, int* httpStatus) {
    bool downloaded = DownloadProxyList(reply, failure, canceller, httpStatus);
    std::string folder = DataFolder();
    return KeepProxyListReply(downloaded, reply, folder, folder, LocalTimeNow(), error);
}

bool DownloadListSource(const std::string& location, bool webAddress, std::string& body,
                        DownloadFailure* failure, RequestCanceller* canceller, int* httpStatus) {
    body.clear();
    DownloadFailure why = DownloadFailure::None;
    if (webAddress) {
        RequestCanceller own;
        why =
            HttpGet(location, body, canceller ? *canceller : own, httpStatus, MaxSourceBytes, true);
    } else if (bool tooLarge = false;
               !base::ReadFileUpTo(location, MaxSourceBytes, body, tooLarge)) {
        why = tooLarge ? DownloadFailure::TooLarge : DownloadFailure::FileUnreadable;
    }
    if (why != DownloadFailure::None)
        body.clear();
    if (failure)
        *failure = why;
    return why == DownloadFailure::None;
}
