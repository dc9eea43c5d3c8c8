#include "engine/error_response.h"

namespace {

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

}  // namespace

std::string MakeErrorResponse(int status, const std::string& reasonPhrase,
                              const std::string& message) {
    std::string title = std::to_string(status) + " " + reasonPhrase;
    std::string body = "<html><head><title>" + title + "</title></head><body><h1>" + title +
                       "</h1><p>" + EscapeHtml(message) + "</p></body></html>\n";
    return "HTTP/1.1 " + title +
           "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

namespace {

std::string CouldNotReach(const std::string& what, const std::string& reason) {
    return "Veilgate could not reach " + what + ": " + reason + ".";
}

}  // namespace

std::string MakeBadGatewayResponse(const std::string& what, const std::string& reason) {
    return MakeErrorResponse(502, "Bad Gateway", CouldNotReach(what, reason));
}

std::string MakeSiteUnreachableResponse(const std::string& site, const std::string& proxy,
                                        const std::string& reason) {
    return MakeBadGatewayResponse(site + " through " + proxy, reason);
}

std::string MakeBadGatewayResponse(const std::vector<FailedAttempt>& attempts,
                                   const std::string& advice) {
    std::string message;
    if (attempts.size() == 1) {
        message = CouldNotReach(attempts[0].what, attempts[0].reason);
    } else {
        std::string tried;
        for (const FailedAttempt& attempt : attempts)
            tried += (tried.empty() ? "" : "; ") + attempt.what + ": " + attempt.reason;
        message = "Veilgate could not reach any of the proxies it tried: " + tried + ".";
    }
    return MakeErrorResponse(502, "Bad Gateway", advice.empty() ? message : message + " " + advice);
}
