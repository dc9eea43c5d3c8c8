#include "engine/http_request.h"

#include <cctype>

#include "base/text_compare.h"

namespace {

using base::EqualsIgnoringCase;

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

bool IsAbsoluteForm(const ParsedRequest& request) {
    return !request.target.empty() && request.target[0] != '/' && request.method != "CONNECT";
}

// Keeps the first reason: it is the one the browser is told.
void SetFault(ParsedRequest& request, const char* why) {
    if (request.fault.empty())
        request.fault = why;
}

// Digits only; a second Content-Length must say the same, or the servers on
// the way could each pick a different one.
void ReadContentLength(const std::string& value, ParsedRequest& request) {
    long long length = 0;
    // At most 15 digits, so that the number can never overflow.
    bool digits = !value.empty() && value.size() <= 15;
    for (size_t i = 0; digits && i < value.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(value[i])))
            digits = false;
        else
            length = length * 10 + (value[i] - '0');
    }
    if (!digits || (request.contentLength >= 0 && request.contentLength != length)) {
        SetFault(request, "the request's length is not valid");
        return;
    }
    request.contentLength = length;
}

// The names a "Connection" header lists, which belong to this hop alone.
// The framing of the body and the target's host are never among them: a
// request without them would end somewhere else at the server.
std::vector<std::string> NamedByConnection(const std::vector<HeaderField>& headers) {
    std::vector<std::string> names;
    for (const HeaderField& field : headers) {
        if (!EqualsIgnoringCase(field.name, "Connection"))
            continue;
        std::string token;
        for (char c : field.value + ",") {
            if (c != ',') {
                token += c;
                continue;
            }
            size_t first = token.find_first_not_of(" \t");
            if (first != std::string::npos)
                names.push_back(token.substr(first, token.find_last_not_of(" \t") - first + 1));
            token.clear();
        }
    }
    return names;
}

bool IsNamedIn(const std::vector<std::string>& named, const std::string& name) {
    if (EqualsIgnoringCase(name, "Host") || EqualsIgnoringCase(name, "Content-Length") ||
        EqualsIgnoringCase(name, "Transfer-Encoding") || EqualsIgnoringCase(name, "Connection"))
        return false;
    for (const std::string& n : named) {
        if (n.size() == name.size() && EqualsIgnoringCase(name, n.c_str()))
            return true;
    }
    return false;
}

}  // namespace

size_t FindHeadEnd(const std::string& received) {
    size_t blank = received.find("\r\n\r\n");
    return blank == std::string::npos ? std::string::npos : blank + 4;
}

bool HeaderNameIs(const std::string& name, const char* wanted) {
    return EqualsIgnoringCase(name, wanted);
}

bool SplitHostAndPort(const std::string& text, int defaultPort, std::string& host, int& port) {
    size_t colon = text.find(':');
    host = colon == std::string::npos || colon == 0 ? text : text.substr(0, colon);
    port = defaultPort;
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return true;
    long number = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        number = number * 10 + (text[i] - '0');
        if (number > 65535)
            return false;
    }
    if (number < 1)
        return false;
    port = static_cast<int>(number);
    return true;
}

ParsedRequest ParseRequest(const std::string& received) {
    ParsedRequest request;
    std::string requestLine;
    bool haveRequestLine = false;
    int hostFields = 0;
    std::string hostValue;
    bool sawTransferEncoding = false;
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
        if (line[0] == ' ' || line[0] == '\t')
            SetFault(request, "a header line continues the one before it");
        if (line.find('\0') != std::string::npos)
            SetFault(request, "a header holds a zero byte");
        HeaderField field;
        // Not a header line, or one with a bare line break inside that some
        // server would take for a second header: passing it on could
        // smuggle a header past the rules below.
        if (!SplitHeaderLine(line, field))
            continue;
        if (EqualsIgnoringCase(field.name, "Host")) {
            ++hostFields;
            hostValue = field.value;
        } else if (EqualsIgnoringCase(field.name, "Content-Length")) {
            ReadContentLength(field.value, request);
        } else if (EqualsIgnoringCase(field.name, "Transfer-Encoding")) {
            sawTransferEncoding = true;
            // Only a chunked body has an end this engine (and every server)
            // finds in the same place.
            if (!EqualsIgnoringCase(field.value, "chunked") || request.chunked)
                SetFault(request, "the request's transfer coding is not supported");
            request.chunked = true;
        }
        request.headers.push_back(std::move(field));
    }
    request.remainder = received.substr(position);
    if (hostFields > 1)
        SetFault(request, "the request names more than one host");
    if (sawTransferEncoding && request.contentLength >= 0)
        SetFault(request, "the request has both a length and a transfer coding");

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
    // The target decides where the request goes; "Host" only when the
    // target is a bare path. Every port given must be a real one.
    std::string ignoredHost;
    int ignoredPort = 0;
    bool portsValid = hostFields == 0 || SplitHostAndPort(hostValue, 80, ignoredHost, ignoredPort);
    if (IsTunnelRequest(request))
        portsValid =
            SplitHostAndPort(request.target, 443, request.targetHost, request.targetPort) &&
            portsValid;
    else if (IsAbsoluteForm(request))
        portsValid = SplitHostAndPort(AuthorityOf(request.target), 80, request.targetHost,
                                      request.targetPort) &&
                     portsValid;
    else if (hostFields > 0)
        SplitHostAndPort(hostValue, 80, request.targetHost, request.targetPort);
    if (!portsValid)
        SetFault(request, "the port is not between 1 and 65535");
    return request;
}

std::string RewriteRequest(const ParsedRequest& request, const UpstreamSettings& settings,
                           bool dropAcceptEncoding) {
    std::string out;
    out.reserve(request.remainder.size() + 512);
    // The target's host names the server in origin form; a target that
    // could break the header line (never one that IsWellFormed passes)
    // leaves the browser's own "Host" as it came.
    std::string authority = AuthorityOf(request.target);
    bool absoluteForm = SendsToHttpProxy(settings);
    bool originForm = !absoluteForm && IsAbsoluteForm(request) &&
                      authority.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
    out += request.method;
    out += ' ';
    out += absoluteForm ? request.target : request.path;
    out += ' ';
    out += request.version;
    out += "\r\n";
    std::vector<std::string> named = NamedByConnection(request.headers);
    bool sawConnection = false;
    bool sawHost = false;
    for (const HeaderField& field : request.headers) {
        if (IsDroppedHeader(field.name) || IsNamedIn(named, field.name))
            continue;
        if (dropAcceptEncoding && EqualsIgnoringCase(field.name, "Accept-Encoding"))
            continue;
        out += field.name;
        out += ": ";
        if (EqualsIgnoringCase(field.name, "Connection")) {
            out += "close";
            sawConnection = true;
        } else if (originForm && EqualsIgnoringCase(field.name, "Host")) {
            out += authority;
            sawHost = true;
        } else {
            out += field.value;
        }
        out += "\r\n";
    }
    if (originForm && !sawHost)
        out += "Host: " + authority + "\r\n";
    if (!sawConnection)
        out += "Connection: close\r\n";
    if (absoluteForm && settings.authorizationFlag == 1)
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
