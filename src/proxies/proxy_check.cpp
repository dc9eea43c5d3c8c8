#include "proxies/proxy_check.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

#include "base/leading_number.h"
#include "engine/authorization.h"
#include "net/socks_client.h"
#include "net/interface_addresses.h"
#include "net/socket.h"
#include "proxies/proxy_secrets.h"
#include "settings/maker_endpoints.h"
#include "proxies/list_sources/proxy_sources.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at the stop flag.
constexpr int StopCheckMs = 50;
// What of an answer is kept for reading; the speed object is only counted.
constexpr size_t KeptAnswerBytes = 64 * 1024;
// The share of the budget each step may run until, counted from the start,
// so that a slow answer still leaves time for the steps after it.
constexpr int AnswerUntilMs = 6000;
constexpr int SpeedUntilMs = 9000;

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

int MillisecondsSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

int Remaining(Clock::time_point until) {
    return std::max(
        0,
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count()));
}

// One request over one connection, and what came back.
struct Answer {
    bool came = false;
    int status = 0;
    uint32_t firstByteMs = 0;
    uint32_t totalMs = 0;
    size_t bodyBytes = 0;
    // The head and the start of the body.
    std::string kept;
};

int StatusOf(const std::string& head) {
    // "HTTP/1.x NNN ..."
    if (head.compare(0, 5, "HTTP/") != 0)
        return 0;
    size_t space = head.find(' ');
    if (space == std::string::npos)
        return 0;
    return base::ParseLeadingInt(head.substr(space + 1, 3));
}

// Sends `request` and reads the answer until the peer closes, the stated
// length is in, `headOnly` and the head is in, or `until` passes.
Answer Exchange(const net::Socket& connection, const std::string& request, Clock::time_point until,
                const std::atomic<bool>& stop, bool headOnly) {
    Answer answer;
    int left = Remaining(until);
    if (left <= 0 || !net::SendAll(connection, request.data(), request.size(), left))
        return answer;
    auto sent = Clock::now();
    size_t headEnd = std::string::npos;
    long long stated = -1;
    char buffer[16384];
    while (!stop) {
        left = Remaining(until);
        if (left <= 0)
            break;
        int ready = net::WaitReadable(connection, std::min(left, StopCheckMs));
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        long got = net::Receive(connection, buffer, sizeof buffer);
        if (got <= 0)
            break;
        if (!answer.came) {
            answer.came = true;
            answer.firstByteMs = static_cast<uint32_t>(std::max(1, MillisecondsSince(sent)));
        }
        size_t room = KeptAnswerBytes - std::min(KeptAnswerBytes, answer.kept.size());
        answer.kept.append(buffer, std::min(room, static_cast<size_t>(got)));
        if (headEnd == std::string::npos) {
            headEnd = answer.kept.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                headEnd += 4;
                answer.bodyBytes = answer.kept.size() - headEnd;
                answer.status = StatusOf(answer.kept);
                std::string head = LowerText(answer.kept.substr(0, headEnd));
                size_t length = head.find("\r\ncontent-length:");
                if (length != std::string::npos)
                    stated = base::ParseLeadingInt(head.substr(length + 17));
                if (headOnly)
                    break;
            }
        } else {
            answer.bodyBytes += static_cast<size_t>(got);
        }
        if (stated >= 0 && answer.bodyBytes >= static_cast<size_t>(stated))
            break;
    }
    if (headEnd == std::string::npos && answer.came)
        answer.status = StatusOf(answer.kept);
    answer.totalMs = static_cast<uint32_t>(std::max(1, MillisecondsSince(sent)));
    return answer;
}

std::string Body(const Answer& answer) {
    size_t headEnd = answer.kept.find("\r\n\r\n");
    return headEnd == std::string::npos ? "" : answer.kept.substr(headEnd + 4);
}

std::string HostAndPort(const std::string& host, int port) {
    return port == 80 ? host : host + ":" + std::to_string(port);
}

// A GET of the judge's host and `path`: absolute-form for a proxy,
// origin-form straight to the judge; with the marker the judge must echo.
std::string GetRequest(const ProxyJudge& judge, const std::string& path, bool viaProxy,
                       const std::string& marker) {
    std::string hostPort = HostAndPort(judge.host, judge.port);
    std::string target = viaProxy ? "http://" + hostPort + path : path;
    return "GET " + target + " HTTP/1.0\r\nHost: " + hostPort +
           "\r\nUser-Agent: Veilgate\r\nAccept: */*\r\n" + JudgeMarkerHeader + ": " + marker +
           "\r\nConnection: close\r\n\r\n";
}

bool IsJudgeAnswer(const Answer& answer, const std::string& marker) {
    return answer.came && answer.status >= 200 && answer.status < 300 &&
           IsJudgeEcho(Body(answer), marker);
}

// A connection through a proxy on which a request for a site can be sent:
// the HTTP proxy itself, which takes requests in absolute form (with the
// proxy's credentials when it has some), or a SOCKS tunnel that already
// reaches the site, which takes them in origin form.
struct Route {
    net::Socket connection;
    bool absoluteForm = false;
    std::string authorization;  // "Proxy-Authorization: ...\r\n" or empty
    SocksFailure failure = SocksFailure::None;
};

Route OpenRoute(const net::ProxyAddress& proxy, const std::string& host, int port, int timeoutMs,
                const std::atomic<bool>& stop) {
    Route route;
    route.connection = net::ConnectTcpUnless(proxy.host, proxy.port, timeoutMs, stop);
    if (!route.connection.IsValid())
        return route;
    if (proxy.type == net::ProxyType::Http) {
        route.absoluteForm = true;
        if (!proxy.userName.empty())
            route.authorization = MakeAuthorizationLine(proxy.userName, proxy.password);
        return route;
    }
    std::string problem;
    if (!OpenSocksTunnel(route.connection, proxy, host, port, timeoutMs, &stop, route.failure,
                         problem))
        route.connection.Close();
    return route;
}

// The request with the route's authorization line before its blank line.
std::string ForRoute(const Route& route, std::string request) {
    if (!route.authorization.empty())
        request.insert(request.size() - 2, route.authorization);
    return request;
}

// The outcome of a proxy that opened no route; Passed when it did.
CheckOutcome RouteOutcome(const Route& route) {
    if (route.connection.IsValid())
        return CheckOutcome::Passed;
    switch (route.failure) {
    case SocksFailure::NeedsCredentials:
    case SocksFailure::CredentialsRefused:
        return CheckOutcome::NeedsCredentials;
    case SocksFailure::NamesRefused:
        return CheckOutcome::RefusesNames;
    case SocksFailure::None:
        return CheckOutcome::NoConnection;
    default:
        return CheckOutcome::NoAnswer;
    }
}

double KilobytesPerSecond(size_t bytes, uint32_t milliseconds) {
    return static_cast<double>(bytes) / 1024.0 / (std::max<uint32_t>(1, milliseconds) / 1000.0);
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
        bits =
            static_cast<uint64_t>(Clock::now().time_since_epoch().count()) * 6364136223846793005u +
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

bool ParseJudgeUrl(const std::string& url, ProxyJudge& judge) {
    const std::string scheme = "http://";
    if (LowerText(url.substr(0, scheme.size())) != scheme)
        return false;
    std::string rest = url.substr(scheme.size());
    size_t slash = rest.find('/');
    std::string hostPort = rest.substr(0, slash);
    ProxyJudge parsed;
    parsed.path = slash == std::string::npos ? "/" : rest.substr(slash);
    size_t colon = hostPort.find(':');
    parsed.host = hostPort.substr(0, colon);
    if (colon != std::string::npos) {
        std::string port = hostPort.substr(colon + 1);
        parsed.port = base::ParseLeadingInt(port);
        if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos ||
            parsed.port < 1 || parsed.port > 65535)
            return false;
    }
    if (parsed.host.empty() || parsed.path.find_first_of(" \r\n") != std::string::npos)
        return false;
    parsed.secureHost = parsed.host;
    judge = parsed;
    return true;
}

std::vector<ProxyJudge> ConfiguredJudges() {
    std::vector<ProxyJudge> judges;
    for (const std::string& url : SplitJudgeUrls(RegStringValue(setting::JudgeUrl, "").Get())) {
        ProxyJudge judge;
        if (ParseJudgeUrl(url, judge))
            judges.push_back(judge);
    }
    if (judges.empty()) {
        ProxyJudge judge;
        ParseJudgeUrl(maker::AddressOf(maker::WhatIsMyIpPath), judge);
        judges.push_back(judge);
    }
    return judges;
}

ProxyJudge ConfiguredJudge() {
    return ConfiguredJudges().front();
}

bool AskFirstJudgeDirectly(const std::vector<ProxyJudge>& judges, const std::atomic<bool>& stop,
                           OwnAddresses& own, ProxyJudge& answered) {
    for (const ProxyJudge& judge : judges) {
        if (stop)
            break;
        if (AskJudgeDirectly(judge, stop, own)) {
            answered = judge;
            return true;
        }
    }
    if (!judges.empty())
        answered = judges.front();
    return false;
}

bool AskJudgeDirectly(const ProxyJudge& judge, const std::atomic<bool>& stop, OwnAddresses& own) {
    own.seenDirectly.clear();
    own.local = net::InterfaceAddresses();
    net::NetworkInit network;
    auto until = Clock::now() + std::chrono::milliseconds(ProxyTestBudgetMs);
    net::Socket connection = net::ConnectTcpUnless(judge.host, judge.port, ProxyTestBudgetMs, stop);
    if (!network.Ok() || !connection.IsValid())
        return false;
    std::string marker = NewJudgeMarker();
    Answer answer =
        Exchange(connection, GetRequest(judge, judge.path, false, marker), until, stop, false);
    if (!IsJudgeAnswer(answer, marker))
        return false;
    own.seenDirectly = ReadExitAddress(Body(answer));
    return true;
}

namespace {

// The judge request through the proxy (with its credentials, through a
// SOCKS tunnel for a SOCKS proxy), and what its answer shows: the time to
// its first byte, the exit address, the level and the speed of the page.
// The route opens within `routeMs`, the answer comes by `until`. False when
// the check ends here (`check.outcome` says why); `marker` is the one the
// judge echoed.
bool AskJudgeThrough(const ProxyJudge& judge, const OwnAddresses& own,
                     const net::ProxyAddress& proxy, int routeMs, Clock::time_point until,
                     const std::atomic<bool>& stop, const std::function<void(int)>& tell,
                     ProxyCheck& check, std::string& marker) {
    net::NetworkInit network;
    Route route = OpenRoute(proxy, judge.host, judge.port,
                            std::max(1, std::min(routeMs, Remaining(until))), stop);
    if (stop) {
        check.outcome = CheckOutcome::Stopped;
        return false;
    }
    if (!network.Ok() || !route.connection.IsValid()) {
        check.outcome = RouteOutcome(route);
        return false;
    }
    tell(40);
    marker = NewJudgeMarker();
    Answer page =
        Exchange(route.connection,
                 ForRoute(route, GetRequest(judge, judge.path, route.absoluteForm, marker)), until,
                 stop, false);
    route.connection.Close();
    if (stop) {
        check.outcome = CheckOutcome::Stopped;
        return false;
    }
    if (!IsJudgeAnswer(page, marker)) {
        // Some proxies (tinyproxy) refuse wrong credentials with 401.
        bool refused = page.status == 407 || (page.status == 401 && !route.authorization.empty());
        check.outcome = refused ? CheckOutcome::NeedsCredentials : CheckOutcome::NoAnswer;
        return false;
    }
    std::string echo = Body(page);
    check.responseMs = page.firstByteMs;
    check.exitAddress = ReadExitAddress(echo);
    check.level = GradeEcho(own, echo);
    check.kilobytesPerSecond = KilobytesPerSecond(page.bodyBytes, page.totalMs);
    return true;
}

}  // namespace

ProxyCheck QuickCheckProxy(const ProxyJudge& judge, const OwnAddresses& own,
                           const net::ProxyAddress& proxy, const std::atomic<bool>& stop) {
    ProxyCheck check;
    check.type = proxy.type;
    std::string marker;
    auto until = Clock::now() + std::chrono::milliseconds(QuickCheckBudgetMs);
    if (AskJudgeThrough(
            judge, own, proxy, QuickCheckConnectMs, until, stop, [](int) {}, check, marker))
        check.outcome = CheckOutcome::Passed;
    return check;
}

ProxyCheck CheckProxyLine(const ProxyJudge& judge, const OwnAddresses& own,
                          const std::string& proxyText, const std::atomic<bool>& stop,
                          const std::function<void(int)>& progress) {
    bool named = false;
    net::ParseProxyAddress(proxyText, &named);
    net::ProxyAddress proxy = ProxyWithPassword(proxyText);
    if (named)
        return CheckProxy(judge, own, proxy, stop, progress);
    return CheckProxyAsListed(judge, own, proxy, stop, progress);
}

ProxyCheck CheckProxyAsListed(const ProxyJudge& judge, const OwnAddresses& own,
                              const net::ProxyAddress& named, const std::atomic<bool>& stop,
                              const std::function<void(int)>& progress) {
    if (named.type != net::ProxyType::Http)
        return CheckProxy(judge, own, named, stop, progress);
    net::ProxyAddress proxy = named;
    ProxyCheck first;
    for (net::ProxyType type :
         {net::ProxyType::Http, net::ProxyType::Socks5, net::ProxyType::Socks4}) {
        proxy.type = type;
        auto start = Clock::now();
        ProxyCheck check = CheckProxy(judge, own, proxy, stop, progress);
        if (type == net::ProxyType::Http)
            first = check;
        if (check.outcome == CheckOutcome::Passed || check.outcome == CheckOutcome::Stopped ||
            check.outcome == CheckOutcome::NoConnection)
            return check;
        // A SOCKS proxy's own word (a password wanted, names refused) says
        // more than the HTTP test's silence.
        if (check.outcome == CheckOutcome::NeedsCredentials ||
            check.outcome == CheckOutcome::RefusesNames)
            return check;
        // A proxy that let the answer's time run out is slow or silent, not
        // of another type.
        if (MillisecondsSince(start) >= AnswerUntilMs - StopCheckMs)
            break;
    }
    return first;
}

ProxyCheck CheckProxy(const ProxyJudge& judge, const OwnAddresses& own,
                      const net::ProxyAddress& proxy, const std::atomic<bool>& stop,
                      const std::function<void(int)>& progress) {
    auto tell = [&progress](int position) {
        if (progress)
            progress(position);
    };
    ProxyCheck check;
    check.type = proxy.type;
    auto start = Clock::now();
    auto budgetEnd = start + std::chrono::milliseconds(ProxyTestBudgetMs);
    tell(20);
    std::string marker;
    if (!AskJudgeThrough(judge, own, proxy, AnswerUntilMs,
                         start + std::chrono::milliseconds(AnswerUntilMs), stop, tell, check,
                         marker)) {
        if (check.outcome != CheckOutcome::Stopped)
            tell(100);
        return check;
    }
    tell(60);

    auto speedUntil = start + std::chrono::milliseconds(SpeedUntilMs);
    Route speedRoute =
        OpenRoute(proxy, judge.host, judge.port, std::max(1, Remaining(speedUntil)), stop);
    if (speedRoute.connection.IsValid()) {
        Answer object = Exchange(
            speedRoute.connection,
            ForRoute(speedRoute, GetRequest(judge, SpeedTestPath, speedRoute.absoluteForm, marker)),
            speedUntil, stop, false);
        // What came of the object before the time ran out still measures.
        if (object.status == 200 && object.bodyBytes > 0)
            check.kilobytesPerSecond = KilobytesPerSecond(object.bodyBytes, object.totalMs);
    }
    tell(80);

    // A SOCKS proxy carries any TCP: a tunnel that opens to the secure
    // port is all a secure page needs of it.
    Route tunnel = OpenRoute(proxy, judge.secureHost, judge.securePort,
                             std::max(1, Remaining(budgetEnd)), stop);
    if (tunnel.connection.IsValid() && !tunnel.absoluteForm) {
        check.secure = true;
    } else if (tunnel.connection.IsValid()) {
        std::string target = HostAndPort(judge.secureHost, judge.securePort);
        if (judge.securePort == 80)
            target += ":80";
        Answer connect =
            Exchange(tunnel.connection,
                     ForRoute(tunnel, "CONNECT " + target + " HTTP/1.0\r\nHost: " + target +
                                          "\r\nUser-Agent: Veilgate\r\n\r\n"),
                     budgetEnd, stop, true);
        check.secure = connect.status >= 200 && connect.status < 300;
    }
    if (stop) {
        check.outcome = CheckOutcome::Stopped;
        return check;
    }
    check.outcome = CheckOutcome::Passed;
    tell(100);
    return check;
}
