// The engine's own short answers to the browser, for the cases where there is
// no upstream answer to relay.
#pragma once

#include <string>
#include <vector>

// A complete response that closes the connection: status line, headers and a
// small HTML page holding `message` (escaped).
std::string MakeErrorResponse(int status, const std::string& reasonPhrase,
                              const std::string& message);

// "502 Bad Gateway" naming what could not be reached ("the proxy
// 10.0.0.1:3128") and why ("connection refused").
std::string MakeBadGatewayResponse(const std::string& what, const std::string& reason);

// "502 Bad Gateway" for a site that `proxy` answered it could not reach
// ("the site example.org:443", "the proxy socks5://10.0.0.1:1080", why).
std::string MakeSiteUnreachableResponse(const std::string& site, const std::string& proxy,
                                        const std::string& reason);

// One upstream that a request could not reach, and why.
struct FailedAttempt {
    std::string what;  // "the proxy 10.0.0.1:3128"
    std::string reason;
};

// Said after the proxy that failed when there was no other to turn to.
constexpr char NoCandidatesAdvice[] =
    "Test your proxies so that Veilgate can replace one that stops answering.";

// "502 Bad Gateway" naming each upstream tried, in the order tried, and then
// `advice` when given.
std::string MakeBadGatewayResponse(const std::vector<FailedAttempt>& attempts,
                                   const std::string& advice = "");
