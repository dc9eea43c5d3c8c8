// The judge's request and its answer as bytes: what a check sends, how the
// answer is read as it comes in, and what a complete answer shows. Pure, so
// that the blocking test and the bulk run's event loop read answers alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/proxy_address.h"
#include "proxies/proxy_check.h"

// One request over one connection, and what came back.
struct JudgeAnswer {
    bool came = false;
    int status = 0;
    uint32_t firstByteMs = 0;
    uint32_t totalMs = 0;
    size_t bodyBytes = 0;
    // The head and the start of the body.
    std::string kept;
};

// Reads an answer from the pieces the connection gives, keeping its head and
// the start of its body; the rest (a speed object) is only counted.
class AnswerReader {
public:
    // `headOnly`: complete once the head is in (a CONNECT's answer).
    explicit AnswerReader(bool headOnly) : headOnly_(headOnly) {}
    // Takes the next piece, `elapsedMs` after the request went; true once
    // the stated length (or with headOnly the head) is in.
    bool Take(const char* data, size_t length, uint32_t elapsedMs);
    // Ends the answer (the peer closed or the time ran out) `elapsedMs`
    // after the request went.
    void Finish(uint32_t elapsedMs);
    const JudgeAnswer& Answer() const { return answer_; }

private:
    bool headOnly_;
    JudgeAnswer answer_;
    size_t headEnd_ = std::string::npos;
    long long stated_ = -1;
};

// "host" for port 80, else "host:port".
std::string HostAndPort(const std::string& host, int port);
// A GET of the judge's host and `path`: absolute-form for a proxy,
// origin-form straight to the judge; with the marker the judge must echo.
std::string JudgeGetRequest(const ProxyJudge& judge, const std::string& path, bool viaProxy,
                            const std::string& marker);
// How requests go through a proxy: an HTTP proxy takes them in absolute
// form, with the proxy's credentials when it has some; a SOCKS tunnel
// reaches the site already and takes them in origin form.
struct RequestForm {
    bool absoluteForm = false;
    std::string authorization;  // "Proxy-Authorization: ...\r\n" or empty
};
RequestForm RequestFormFor(const net::ProxyAddress& proxy);
// The request with the form's authorization line before its blank line.
std::string WithAuthorization(const RequestForm& form, std::string request);
// JudgeGetRequest in the form the proxy takes.
std::string JudgeRequestThrough(const RequestForm& form, const ProxyJudge& judge,
                                const std::string& path, const std::string& marker);

std::string AnswerBody(const JudgeAnswer& answer);
bool IsJudgeAnswer(const JudgeAnswer& answer, const std::string& marker);
double KilobytesPerSecond(size_t bytes, uint32_t milliseconds);

// What the judge's answer through a proxy shows, into `check`: the time to
// its first byte, the exit address, the level and the page's speed. False
// (with `check.outcome` saying why) when it is not the judge's answer;
// `sentCredentials` tells a 401 refusing them from any other page.
bool ReadAnswerThrough(const JudgeAnswer& page, const std::string& marker, bool sentCredentials,
                       const OwnAddresses& own, ProxyCheck& check);
