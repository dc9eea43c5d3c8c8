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
    // Whether the body reached the length its head stated.
    bool complete = false;
    // FNV-1a (64 bits) of every body byte, kept or only counted.
    uint64_t bodyDigest = 14695981039346656037u;
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
// Whether a judge's answer came as the judge sends it: status 200, the marker
// exactly once, and the request line it echoes (when it echoes one) the
// GET of `path` that was sent, in origin or absolute form; the version may
// differ, as proxies forward in their own. Headers a proxy added to the
// answer do not matter; those added to the request are what the level reads.
bool IsWellFormedEcho(const JudgeAnswer& answer, const std::string& marker,
                      const std::string& path);
// Whether what came through a proxy for the content test object shows that
// it alters content: a 200 whose body, once whole (its stated length, or at
// least the direct length), is not the object served directly. An answer cut
// short by the time, another status, or an object never served directly
// shows nothing.
bool AltersContent(const OwnAddresses& own, const JudgeAnswer& object);
double KilobytesPerSecond(size_t bytes, uint32_t milliseconds);
// Whether a direct answer for ContentTestPath is our fixed page, whole: a
// page that echoes the request (it holds the marker) is not.
bool IsContentTestObject(const JudgeAnswer& object, const std::string& marker);

// What the judge's answer through a proxy shows, into `check`: the time to
// its first byte, the exit address, the level and the page's speed. False
// (with `check.outcome` saying why) when it is not the judge's answer;
// `sentCredentials` tells a 401 refusing them from any other page.
// A judge's page that is not well formed (IsWellFormedEcho for `path`) is an
// unreliable answer.
bool ReadAnswerThrough(const JudgeAnswer& page, const std::string& marker, const std::string& path,
                       bool sentCredentials, const OwnAddresses& own, ProxyCheck& check);
