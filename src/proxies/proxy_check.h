// Testing one remote proxy for real: a request to an echoing page (the
// judge) sent through the proxy, timed to the first byte of the answer, the
// download speed measured on a fixed test object, the anonymity level read
// from what the judge saw, and whether the proxy tunnels secure pages.
// Portable and blocking: callers run it on a worker thread and may ask it to
// give up at any time through `stop`.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/proxy_address.h"

// None: not tested in this run. Unknown: tested, but the user's own address
// could not be learnt, so nothing shows whether the proxy hands it on.
enum class Anonymity { None, Unknown, Transparent, Anonymous, Elite };

// The level's word, as TMPAnonymity and the list's column hold it ("Elite",
// "Anonymous", "Transparent", "Unknown"); empty while not tested.
const char* AnonymityWord(Anonymity level);
// The evaluation dialog's response text ("Transparent - sites see your IP").
const char* AnonymityText(Anonymity level);
Anonymity AnonymityFromWord(const std::string& word);
// Whether a test showed that the proxy hides the user's address: the only
// levels that Veilgate turns to without the user choosing the proxy.
bool HidesUserAddress(Anonymity level);

// The addresses that are the user's own: the one the judge saw on a direct
// request (empty when it could not be asked) and those the machine's own
// interfaces hold.
struct OwnAddresses {
    std::string seenDirectly;
    std::vector<std::string> local;
    // The content test object as the judge served it directly, which what a
    // proxy returns for it must match; unknown when the judge has none.
    bool contentKnown = false;
    size_t contentBytes = 0;
    uint64_t contentDigest = 0;
};

// The address the judge says the request came from: its marked address
// element (IPv4 or IPv6), else the first dotted IPv4 address of the page
// that is not in a Host line. Empty when the page names none.
std::string ReadExitAddress(const std::string& echo);

// The level that what the judge saw through a proxy shows. Any of the user's
// own addresses anywhere in it is Transparent; without the directly seen one
// nothing proves the proxy hides the user, so the level is Unknown. The
// judge's own host name, echoed in its Host line, is never counted.
Anonymity GradeEcho(const OwnAddresses& own, const std::string& echo);

// The header every test request carries with a fresh random marker; a page
// counts as the judge's answer only when it echoes the marker, so that a
// port serving some other page (a router's status page) is never taken for
// a working proxy.
constexpr char JudgeMarkerHeader[] = "X-Veilgate-Check";
std::string NewJudgeMarker();
// Whether `page` is the judge's answer to the request that carried `marker`.
bool IsJudgeEcho(const std::string& page, const std::string& marker);

// Where a test asks: the judge page, and the target of the secure-pages
// check (the judge's host on the HTTPS port unless set otherwise).
struct ProxyJudge {
    std::string host;
    int port = 80;
    std::string path = "/";
    std::string secureHost;
    int securePort = 443;
};

// Our own small fixed page on the maker's server (about 1 KiB of HTML, the
// kind of page proxies that insert scripts or advertising rewrite), asked
// directly once per run and once through each proxy that answered as the
// judge: what came through must be the same bytes. A judge without it
// (answering anything but 200 directly) leaves the content unchecked.
constexpr char ContentTestPath[] = "/services/vg/proxy/contenttest.htm";
// The page's title, which tells it from a judge that answers every path
// with its echo of the request: compared through a proxy, such an echo
// differs by the proxy's own address and headers.
constexpr char ContentTestTitle[] = "Veilgate content test";
// Our own object on the maker's server, about 256 KiB, that the speed is
// measured on; a judge without it is measured on its own page.
constexpr char SpeedTestPath[] = "/services/vg/proxy/speedtest.bin";
// All the steps of one proxy's test together take at most this long.
constexpr int ProxyTestBudgetMs = 10000;

// A plain "http://host[:port][/path]" address; false for anything else.
bool ParseJudgeUrl(const std::string& url, ProxyJudge& judge);
// The pages of the JudgeUrl setting (several may stand there, tried in
// their order), or the maker's "What Is My IP?" page when none is a plain
// HTTP address. Never empty.
std::vector<ProxyJudge> ConfiguredJudges();
// The first of them.
ProxyJudge ConfiguredJudge();

// The user's own addresses: the machine's interfaces always, and the one the
// judge sees without a proxy; false when the judge cannot be reached (or does
// not answer as the judge) within the budget, `own.seenDirectly` then empty.
bool AskJudgeDirectly(const ProxyJudge& judge, const std::atomic<bool>& stop, OwnAddresses& own);
// Asks the judges in order until one answers: that one is `answered` (the
// first when none does, with false).
bool AskFirstJudgeDirectly(const std::vector<ProxyJudge>& judges, const std::atomic<bool>& stop,
                           OwnAddresses& own, ProxyJudge& answered);

enum class CheckOutcome {
    Passed,
    // Refused, silent or unknown host: no connection was made.
    NoConnection,
    // The connection opened but no answer came, or not the judge's.
    NoAnswer,
    // Given up because `stop` was set.
    Stopped,
    // The proxy asks for a user name and password that were not given (or
    // refuses those given): it may well work once they are.
    NeedsCredentials,
    // A SOCKS4 proxy that refuses site names (the 4a form): using it would
    // mean looking names up here, which Veilgate never does.
    RefusesNames,
    // The check failed and the judge did not answer a direct request after
    // it either: the user's own connection may be down, so the failure says
    // nothing of the proxy (failure_witness.h).
    JudgeUnreachable,
    // What the proxy returned for the content test object differs from what
    // the judge served directly: it rewrites or inserts content. Never used.
    AltersContent,
    // The judge's page came through, but not as the judge sends it (another
    // status than 200, the marker not exactly once, or the request line not
    // as sent): what the level would be read from cannot be trusted. Never
    // used.
    UnreliableAnswer,
};

// The word a row's "Anonymity" cell shows in place of a level for an outcome
// that makes a proxy one never used ("Alters content", "Unreliable
// answer"); empty for every other outcome.
const char* NeverUsedWord(CheckOutcome outcome);
// Whether a row's level text is one of those words.
bool IsNeverUsedWord(const std::string& word);
// Whether the outcome grades the proxy one never to be used.
bool IsNeverUsed(CheckOutcome outcome);

struct ProxyCheck {
    CheckOutcome outcome = CheckOutcome::NoConnection;
    // Milliseconds from sending the request to the first byte of the answer
    // (at least 1).
    uint32_t responseMs = 0;
    double kilobytesPerSecond = 0;
    Anonymity level = Anonymity::None;
    std::string exitAddress;
    bool secure = false;
    // The protocol the proxy was reached by: the one its address names, or
    // the first that passed for an address without a scheme.
    net::ProxyType type = net::ProxyType::Http;
};

// The bulk run's test: the same judge request, marker and grading as the
// whole test, through a proxy of any type, shortened for checking thousands:
// the connection must open within 5 s, everything ends within 10 s, and the
// speed is the judge's page's (no speed object, no tunnel check).
constexpr int QuickCheckConnectMs = 5000;
constexpr int QuickCheckBudgetMs = 10000;
ProxyCheck QuickCheckProxy(const ProxyJudge& judge, const OwnAddresses& own,
                           const net::ProxyAddress& proxy, const std::atomic<bool>& stop);

// The whole test of `proxy`, with its own credentials. `progress` (when
// given) is told positions from 20 to 100 as the steps end, on the calling
// thread.
ProxyCheck CheckProxy(const ProxyJudge& judge, const OwnAddresses& own,
                      const net::ProxyAddress& proxy, const std::atomic<bool>& stop,
                      const std::function<void(int)>& progress = {});
// The test of a proxy as the list and the settings hold it: an HTTP proxy
// there names no type (its text has no scheme), so it may be any type: it
// is tried as HTTP, then SOCKS5, then SOCKS4, one after the other, and the
// first that passes is told in ProxyCheck::type. Each further type is tried
// only when the one before got an answer that was not its protocol (or a
// quick close): a silent or dead proxy costs one test, not three, and a
// proxy never sees two protocols at once, which some take for an attack.
// A SOCKS proxy is tested as what it is.
ProxyCheck CheckProxyAsListed(const ProxyJudge& judge, const OwnAddresses& own,
                              const net::ProxyAddress& proxy, const std::atomic<bool>& stop,
                              const std::function<void(int)>& progress = {});
// The test of a proxy text a user typed ("socks5://1.2.3.4:1080",
// "1.2.3.4:3128->US"), with the password kept for it: a text that names its
// type is tested as that type only, one without a scheme as CheckProxyAsListed
// tests it.
ProxyCheck CheckProxyLine(const ProxyJudge& judge, const OwnAddresses& own,
                          const std::string& proxyText, const std::atomic<bool>& stop,
                          const std::function<void(int)>& progress = {});
