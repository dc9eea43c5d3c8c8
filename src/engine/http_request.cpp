#include "engine/http_request.h"

#include <cctype>

namespace {

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

// Headers that belong to one connection, and the conditional ones: the
// upstream proxy must always answer in full, on a connection it then closes.
// "Transfer-Encoding" stays: the body goes on exactly as the browser framed
// it, and without that header a chunked body would be read as a new request.
bool IsDroppedHeader(const std::string& name) {
    static const char* const Dropped[] = {
        "Proxy-Connection",  "Keep-Alive", "TE",
        "Trailer",           "Upgrade",    "If-Match",
        "If-Modified-Since", "If-Range",   "If-Unmodified-Since",
        "If-None-Match",
    };
    for (const char* dropped : Dropped) {
        if (EqualsIgnoringCase(name, dropped))
            return true;
    }
    return false;
}

// Splits "name: value"; the value starts after the colon and any spaces or
// tabs that follow it. False for a line without a colon.
bool SplitHeaderLine(const std::string& line, HeaderField& field) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || line.find_first_of("\r\n") != std::string::npos)
        return false;
    field.name = line.substr(0, colon);
    size_t start = colon + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    field.value = line.substr(start);
    return true;
}

// The part of an absolute target between "//" and the next "/".
std::string AuthorityOf(const std::string& target) {
    size_t slashes = target.find("//");
    if (slashes == std::string::npos)
        return target;  // a CONNECT target is all authority
    size_t start = slashes + 2;
    size_t end = target.find('/', start);
    return target.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string PathOf(const std::string& target) {
    if (!target.empty() && target[0] == '/')
        return target;  // already in origin form
    size_t slashes = target.find("//");
    size_t from = slashes == std::string::npos ? 1 : slashes + 2;
    size_t slash = target.find('/', from);
    return slash == std::string::npos ? "/" : target.substr(slash);
}

}  // namespace

size_t FindHeadEnd(const std::string& received) {
    size_t blank = received.find("\r\n\r\n");
    return blank == std::string::npos ? std::string::npos : blank + 4;
}

void SplitHostAndPort(const std::string& text, int defaultPort, std::string& host, int& port) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) {
        host = text;
        port = defaultPort;
        return;
    }
    host = text.substr(0, colon);
    // Leading digits only; anything that is not a TCP port number counts as
    // no port at all rather than wrapping into some other port.
    long number = 0;
    size_t i = colon + 1;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        number = number * 10 + (text[i] - '0');
        if (number > 65535)
            break;
    }
    port =
        (i > colon + 1 && number >= 1 && number <= 65535) ? static_cast<int>(number) : defaultPort;
}

ParsedRequest ParseRequest(const std::string& received) {
    ParsedRequest request;
    std::string requestLine;
    bool haveRequestLine = false;
    bool haveHost = false;
    size_t position = 0;
    for (;;) {
        size_t end = received.find("\r\n", position);
        if (end == std::string::npos || end == position)
            break;
        std::string line = received.substr(position, end - position);
        position = end + 2;
        if (!haveRequestLine) {
            requestLine = line;
            haveRequestLine = true;
            continue;
        }
        HeaderField field;
        // Not a header line, or one with a bare line break inside that some
        // server would take for a second header: passing it on could
        // smuggle a header past the rules below.
        if (!SplitHeaderLine(line, field))
            continue;
        // Header names are case-insensitive: "host" names the target as well.
        if (EqualsIgnoringCase(field.name, "Host")) {
            SplitHostAndPort(field.value, 80, request.targetHost, request.targetPort);
            haveHost = true;
        }
        request.headers.push_back(std::move(field));
    }
    request.remainder = received.substr(position);

    size_t space = requestLine.find(' ');
    request.method = requestLine.substr(0, space);
    if (space != std::string::npos) {
        std::string rest = requestLine.substr(space + 1);
        size_t second = rest.find(' ');
        request.target = rest.substr(0, second);
        if (second != std::string::npos)
            request.version = rest.substr(second + 1);
    }
    request.path = PathOf(request.target);
    // A tunnel's target names its end point; other requests fall back on the
    // absolute target only when no "Host" header came.
    if (IsTunnelRequest(request)) {
        SplitHostAndPort(request.target, 443, request.targetHost, request.targetPort);
    } else if (!haveHost && !request.target.empty() && request.target[0] != '/') {
        SplitHostAndPort(AuthorityOf(request.target), 80, request.targetHost, request.targetPort);
    }
    return request;
}

std::string RewriteRequest(const ParsedRequest& request, const UpstreamSettings& settings,
                           bool dropAcceptEncoding) {
    std::string out;
    out.reserve(request.remainder.size() + 512);
    out += request.method;
    out += ' ';
    out += settings.useProxy == 1 ? request.target : request.path;
    out += ' ';
    out += request.version;
    out += "\r\n";
    bool sawConnection = false;
    for (const HeaderField& field : request.headers) {
        if (IsDroppedHeader(field.name))
            continue;
        if (dropAcceptEncoding && EqualsIgnoringCase(field.name, "Accept-Encoding"))
            continue;
        out += field.name;
        out += ": ";
        if (EqualsIgnoringCase(field.name, "Connection")) {
            out += "close";
            sawConnection = true;
        } else {
            out += field.value;
        }
        out += "\r\n";
    }
    if (!sawConnection)
        out += "Connection: close\r\n";
    if (settings.authorizationFlag == 1)
        out += settings.authorizationLine;
    out += request.remainder;
    return out;
}

bool IsWellFormed(const ParsedRequest& request) {
    auto clean = [](const std::string& part) {
        return !part.empty() && part.find_first_of(std::string("\r\n\0 ", 4)) == std::string::npos;
    };
    return clean(request.method) && clean(request.target) &&
           request.version.compare(0, 5, "HTTP/") == 0 && clean(request.version);
}

bool IsTunnelRequest(const ParsedRequest& request) {
    return request.method == "CONNECT";
}
