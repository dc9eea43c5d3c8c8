#include "proxies/proxy_check.h"

#include <algorithm>

#include "base/leading_number.h"
#include "base/text_compare.h"
#include "net/interface_addresses.h"
#include "net/socket.h"
#include "proxies/judge_exchange.h"
#include "proxies/list_sources/proxy_sources.h"
#include "proxies/proxy_route.h"
#include "proxies/proxy_secrets.h"
#include "settings/maker_endpoints.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// How often a wait looks at the stop flag.
constexpr int StopCheckMs = 50;
// The share of the budget each step may run until, counted from the start,
// so that a slow answer still leaves time for the steps after it.
constexpr int AnswerUntilMs = 6000;
constexpr int ContentUntilMs = 7500;
constexpr int SpeedUntilMs = 9000;

}  // namespace

const char* NeverUsedWord(CheckOutcome outcome) {
    switch (outcome) {
    case CheckOutcome::AltersContent:
        return "Alters content";
    case CheckOutcome::UnreliableAnswer:
        return "Unreliable answer";
    default:
        return "";
    }
}

bool IsNeverUsed(CheckOutcome outcome) {
    return NeverUsedWord(outcome)[0] != '\0';
}

bool IsNeverUsedWord(const std::string& word) {
    return word == NeverUsedWord(CheckOutcome::AltersContent) ||
           word == NeverUsedWord(CheckOutcome::UnreliableAnswer);
}

bool ParseJudgeUrl(const std::string& url, ProxyJudge& judge) {
    const std::string scheme = "http://";
    if (!base::StartsWithIgnoringCase(url, scheme))
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
    int64_t until = SteadyNowMs() + ProxyTestBudgetMs;
    net::Socket connection = net::ConnectTcpUnless(judge.host, judge.port, ProxyTestBudgetMs, stop);
    if (!network.Ok() || !connection.IsValid())
        return false;
    std::string marker = NewJudgeMarker();
    JudgeAnswer answer =
        Exchange(connection, JudgeGetRequest(judge, judge.path, false, marker), until, stop, false);
    if (!IsJudgeAnswer(answer, marker))
        return false;
    own.seenDirectly = ReadExitAddress(AnswerBody(answer));
    // The content test object once per run: a later direct request (a
    // failure's witness) finds it known already.
    if (!own.contentKnown) {
        net::Socket again =
            net::ConnectTcpUnless(judge.host, judge.port, std::max(1, RemainingMs(until)), stop);
        JudgeAnswer object =
            again.IsValid()
                ? Exchange(again, JudgeGetRequest(judge, ContentTestPath, false, marker), until,
                           stop, false)
                : JudgeAnswer();
        own.contentKnown = IsContentTestObject(object, marker);
        own.contentBytes = object.bodyBytes;
        own.contentDigest = object.bodyDigest;
    }
    return true;
}

namespace {

// The judge request through the proxy (with its credentials, through a
// SOCKS tunnel for a SOCKS proxy), and what its answer shows: the time to
// its first byte, the exit address, the level and the speed of the page.
// The route opens within `routeMs`, the answer comes by `untilMs`. False when
// the check ends here (`check.outcome` says why); `marker` is the one the
// judge echoed.
bool AskJudgeThrough(const ProxyJudge& judge, const OwnAddresses& own,
                     const net::ProxyAddress& proxy, int routeMs, int64_t untilMs,
                     const std::atomic<bool>& stop, const std::function<void(int)>& tell,
                     ProxyCheck& check, std::string& marker) {
    net::NetworkInit network;
    Route route = OpenRoute(proxy, judge.host, judge.port,
                            std::max(1, std::min(routeMs, RemainingMs(untilMs))), stop);
    if (stop) {
        check.outcome = CheckOutcome::Stopped;
        return false;
    }
    if (!network.Ok() || !route.connection.IsValid()) {
        check.outcome = RouteFailureOutcome(route.failure);
        return false;
    }
    tell(40);
    marker = NewJudgeMarker();
    JudgeAnswer page =
        Exchange(route.connection, JudgeRequestThrough(route.form, judge, judge.path, marker),
                 untilMs, stop, false);
    route.connection.Close();
    if (stop) {
        check.outcome = CheckOutcome::Stopped;
        return false;
    }
    return ReadAnswerThrough(page, marker, judge.path, !route.form.authorization.empty(), own,
                             check);
}

// The content test object through the proxy, compared with what the judge
// served directly; false (the outcome AltersContent) when it differs. A proxy
// that does not deliver it in time is not judged by it.
bool KeepsContent(const ProxyJudge& judge, const OwnAddresses& own, const net::ProxyAddress& proxy,
                  const std::string& marker, int64_t untilMs, const std::atomic<bool>& stop,
                  ProxyCheck& check) {
    if (!own.contentKnown)
        return true;
    Route route = OpenRoute(proxy, judge.host, judge.port, std::max(1, RemainingMs(untilMs)), stop);
    if (!route.connection.IsValid())
        return true;
    JudgeAnswer object =
        Exchange(route.connection, JudgeRequestThrough(route.form, judge, ContentTestPath, marker),
                 untilMs, stop, false);
    if (stop || !AltersContent(own, object))
        return true;
    check.outcome = CheckOutcome::AltersContent;
    return false;
}

// The speed measured on our own test object, when the judge has it; what
// came of it before the time ran out still measures.
void MeasureSpeed(const ProxyJudge& judge, const net::ProxyAddress& proxy,
                  const std::string& marker, int64_t untilMs, const std::atomic<bool>& stop,
                  ProxyCheck& check) {
    Route route = OpenRoute(proxy, judge.host, judge.port, std::max(1, RemainingMs(untilMs)), stop);
    if (!route.connection.IsValid())
        return;
    JudgeAnswer object =
        Exchange(route.connection, JudgeRequestThrough(route.form, judge, SpeedTestPath, marker),
                 untilMs, stop, false);
    if (object.status == 200 && object.bodyBytes > 0)
        check.kilobytesPerSecond = KilobytesPerSecond(object.bodyBytes, object.totalMs);
}

// Whether the proxy tunnels to the secure port.
bool TunnelsSecurePages(const ProxyJudge& judge, const net::ProxyAddress& proxy, int64_t untilMs,
                        const std::atomic<bool>& stop) {
    Route tunnel = OpenRoute(proxy, judge.secureHost, judge.securePort,
                             std::max(1, RemainingMs(untilMs)), stop);
    if (!tunnel.connection.IsValid())
        return false;
    // A SOCKS proxy carries any TCP: a tunnel that opens to the secure
    // port is all a secure page needs of it.
    if (!tunnel.form.absoluteForm)
        return true;
    std::string target = HostAndPort(judge.secureHost, judge.securePort);
    if (judge.securePort == 80)
        target += ":80";
    JudgeAnswer connect = Exchange(
        tunnel.connection,
        WithAuthorization(tunnel.form, "CONNECT " + target + " HTTP/1.0\r\nHost: " + target +
                                           "\r\nUser-Agent: Veilgate\r\n\r\n"),
        untilMs, stop, true);
    return connect.status >= 200 && connect.status < 300;
}

}  // namespace

ProxyCheck QuickCheckProxy(const ProxyJudge& judge, const OwnAddresses& own,
                           const net::ProxyAddress& proxy, const std::atomic<bool>& stop) {
    ProxyCheck check;
    check.type = proxy.type;
    std::string marker;
    int64_t until = SteadyNowMs() + QuickCheckBudgetMs;
    if (AskJudgeThrough(
            judge, own, proxy, QuickCheckConnectMs, until, stop, [](int) {}, check, marker) &&
        KeepsContent(judge, own, proxy, marker, until, stop, check))
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
        int64_t start = SteadyNowMs();
        ProxyCheck check = CheckProxy(judge, own, proxy, stop, progress);
        if (type == net::ProxyType::Http)
            first = check;
        if (check.outcome == CheckOutcome::Passed || check.outcome == CheckOutcome::Stopped ||
            check.outcome == CheckOutcome::NoConnection)
            return check;
        // A SOCKS proxy's own word (a password wanted, names refused) says
        // more than the HTTP test's silence.
        if (check.outcome == CheckOutcome::NeedsCredentials ||
            check.outcome == CheckOutcome::RefusesNames || IsNeverUsed(check.outcome))
            return check;
        // A proxy that let the answer's time run out is slow or silent, not
        // of another type.
        if (SteadyNowMs() - start >= AnswerUntilMs - StopCheckMs)
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
    int64_t start = SteadyNowMs();
    tell(20);
    std::string marker;
    if (!AskJudgeThrough(judge, own, proxy, AnswerUntilMs, start + AnswerUntilMs, stop, tell, check,
                         marker)) {
        if (check.outcome != CheckOutcome::Stopped)
            tell(100);
        return check;
    }
    if (!KeepsContent(judge, own, proxy, marker, start + ContentUntilMs, stop, check)) {
        tell(100);
        return check;
    }
    tell(60);
    MeasureSpeed(judge, proxy, marker, start + SpeedUntilMs, stop, check);
    tell(80);
    check.secure = TunnelsSecurePages(judge, proxy, start + ProxyTestBudgetMs, stop);
    if (stop) {
        check.outcome = CheckOutcome::Stopped;
        return check;
    }
    check.outcome = CheckOutcome::Passed;
    tell(100);
    return check;
}
