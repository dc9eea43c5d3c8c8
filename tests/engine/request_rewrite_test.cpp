// Parsing a browser's request and the request that goes on from it.
#include <gtest/gtest.h>

#include <string>

#include "engine/authorization.h"
#include "engine/http_request.h"

namespace {

UpstreamSettings ViaProxy() {
    return MakeUpstreamSettings(1, "10.1.2.3", 3128, "", "");
}

UpstreamSettings Direct() {
    return MakeUpstreamSettings(0, "", 0, "", "");
}

std::string Rewrite(const std::string& received, const UpstreamSettings& settings,
                    bool dropAcceptEncoding = false) {
    return RewriteRequest(ParseRequest(received), settings, dropAcceptEncoding);
}

TEST(RequestRewrite, AbsoluteTargetWithPortAndQuery) {
    const std::string received =
        "GET http://www.example.com:8081/a/b.html?x=1&y=http://z/ HTTP/1.1\r\n"
        "Host: www.example.com:8081\r\n"
        "User-Agent: test\r\n\r\n";
    ParsedRequest request = ParseRequest(received);
    EXPECT_EQ("GET", request.method);
    EXPECT_EQ("HTTP/1.1", request.version);
    EXPECT_EQ("www.example.com", request.targetHost);
    EXPECT_EQ(8081, request.targetPort);
    EXPECT_EQ("/a/b.html?x=1&y=http://z/", request.path);

    EXPECT_EQ(
        "GET http://www.example.com:8081/a/b.html?x=1&y=http://z/ HTTP/1.1\r\n"
        "Host: www.example.com:8081\r\nUser-Agent: test\r\nConnection: close\r\n\r\n",
        Rewrite(received, ViaProxy()));
    EXPECT_EQ(
        "GET /a/b.html?x=1&y=http://z/ HTTP/1.1\r\n"
        "Host: www.example.com:8081\r\nUser-Agent: test\r\nConnection: close\r\n\r\n",
        Rewrite(received, Direct()));
}

TEST(RequestRewrite, PathInDirectMode) {
    struct Case {
        const char* target;
        const char* path;
    } cases[] = {
        {"http://www.example.com", "/"},
        {"http://www.example.com:81", "/"},
        {"http://www.example.com/", "/"},
        {"/already/origin/form", "/already/origin/form"},
        {"/", "/"},
    };
    for (const Case& c : cases) {
        std::string received = std::string("GET ") + c.target + " HTTP/1.0\r\nHost: h\r\n\r\n";
        EXPECT_EQ(
            std::string("GET ") + c.path + " HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n",
            Rewrite(received, Direct()))
            << c.target;
    }
}

TEST(RequestRewrite, ConnectionForcedToCloseInPlace) {
    std::string out = Rewrite(
        "GET http://h/ HTTP/1.1\r\nHost: h\r\nConnection: keep-alive\r\n"
        "Accept: */*\r\n\r\n",
        ViaProxy());
    EXPECT_EQ("GET http://h/ HTTP/1.1\r\nHost: h\r\nConnection: close\r\nAccept: */*\r\n\r\n", out);
    // Any case of the name is the same header.
    out = Rewrite("GET / HTTP/1.1\r\nconnection: Upgrade\r\n\r\n", ViaProxy());
    EXPECT_EQ("GET / HTTP/1.1\r\nconnection: close\r\n\r\n", out);
}

TEST(RequestRewrite, HopByHopAndConditionalHeadersDropped) {
    const std::string received =
        "GET http://h/p HTTP/1.1\r\n"
        "Host: h\r\n"
        "Proxy-Connection: keep-alive\r\n"
        "Cookie: a=1\r\n"
        "keep-alive: 300\r\n"
        "TE: trailers\r\n"
        "Trailer: X\r\n"
        "Upgrade: websocket\r\n"
        "If-Match: \"e\"\r\n"
        "If-Modified-Since: Sat, 29 Oct 1994 19:43:31 GMT\r\n"
        "IF-RANGE: \"e\"\r\n"
        "If-Unmodified-Since: Sat, 29 Oct 1994 19:43:31 GMT\r\n"
        "If-None-Match: \"e\"\r\n"
        "Referer: http://r/\r\n"
        "Accept-Encoding: gzip\r\n"
        "\r\n";
    EXPECT_EQ(
        "GET http://h/p HTTP/1.1\r\nHost: h\r\nCookie: a=1\r\nReferer: http://r/\r\n"
        "Accept-Encoding: gzip\r\nConnection: close\r\n\r\n",
        Rewrite(received, ViaProxy()));
    // With a filter switch on the page must come back uncompressed.
    EXPECT_EQ(
        "GET http://h/p HTTP/1.1\r\nHost: h\r\nCookie: a=1\r\nReferer: http://r/\r\n"
        "Connection: close\r\n\r\n",
        Rewrite(received, ViaProxy(), true));
}

TEST(RequestRewrite, ChunkedRequestBodyKeepsItsFraming) {
    const std::string received =
        "POST http://h/u HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n"
        "5\r\nhello\r\n0\r\n\r\n";
    EXPECT_EQ(
        "POST http://h/u HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n"
        "Connection: close\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
        Rewrite(received, ViaProxy()));
}

TEST(RequestRewrite, HostHeaderVariants) {
    struct Case {
        const char* header;
        const char* host;
        int port;
    } cases[] = {
        {"Host: www.example.com", "www.example.com", 80},
        {"host: lower.example.com:8080", "lower.example.com", 8080},
        {"HOST:nospace.example.com", "nospace.example.com", 80},
        {"Host: h:99999", "h", 80},
        {"Host: h:", "h", 80},
        {"Host: h:12ab", "h", 12},
        {"Host: :8080", ":8080", 80},
        {"Host: 10.0.0.7:3128", "10.0.0.7", 3128},
    };
    for (const Case& c : cases) {
        ParsedRequest request =
            ParseRequest(std::string("GET / HTTP/1.1\r\n") + c.header + "\r\n\r\n");
        EXPECT_EQ(c.host, request.targetHost) << c.header;
        EXPECT_EQ(c.port, request.targetPort) << c.header;
    }
    // A lower-case name is passed on as it came.
    EXPECT_EQ("GET / HTTP/1.1\r\nhost: lower\r\nConnection: close\r\n\r\n",
              Rewrite("GET / HTTP/1.1\r\nhost: lower\r\n\r\n", ViaProxy()));
}

TEST(RequestRewrite, ValueWithoutSpaceAfterColonKeepsEveryCharacter) {
    EXPECT_EQ(
        "GET / HTTP/1.1\r\nAccept: text/html\r\nX-Tab: v\r\nX-Empty: \r\nConnection: close\r\n\r\n",
        Rewrite("GET / HTTP/1.1\r\nAccept:text/html\r\nX-Tab:\tv\r\nX-Empty:\r\n\r\n", ViaProxy()));
}

TEST(RequestRewrite, LinesWithoutColonAreNotPassedOn) {
    EXPECT_EQ("GET / HTTP/1.1\r\nA: 1\r\nConnection: close\r\n\r\n",
              Rewrite("GET / HTTP/1.1\r\nA: 1\r\n folded\r\nGET /smuggled HTTP/1.1\r\n"
                      "X: a\nTransfer-Encoding: chunked\r\n\r\n",
                      ViaProxy()));
}

TEST(RequestRewrite, AuthorizationLineAfterConnection) {
    UpstreamSettings settings = MakeUpstreamSettings(1, "10.1.2.3", 3128, "user", "pw");
    ASSERT_EQ(1, settings.authorizationFlag);
    EXPECT_EQ(
        "GET http://h/ HTTP/1.1\r\nHost: h\r\nConnection: close\r\n"
        "Proxy-Authorization: Basic dXNlcjpwdw==\r\n\r\n",
        Rewrite("GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n", settings));
    // No line without credentials, nor in direct mode.
    EXPECT_EQ(std::string::npos,
              Rewrite("GET / HTTP/1.1\r\n\r\n", MakeUpstreamSettings(0, "", 0, "user", "pw"))
                  .find("Proxy-Authorization"));
}

TEST(RequestRewrite, BodyInTheSameReadFollowsTheHead) {
    std::string body("a\0b\r\n\r\nc", 8);  // binary, with a blank line of its own
    std::string received =
        "POST http://h/form HTTP/1.1\r\nHost: h\r\nContent-Length: 8\r\n\r\n" + body;
    EXPECT_EQ(received.size(), FindHeadEnd(received) + body.size());
    EXPECT_EQ(
        "POST http://h/form HTTP/1.1\r\nHost: h\r\nContent-Length: 8\r\n"
        "Connection: close\r\n\r\n" +
            body,
        Rewrite(received, ViaProxy()));
}

TEST(RequestRewrite, ConnectTargetNamesTheTunnelEnd) {
    ParsedRequest request =
        ParseRequest("CONNECT secure.example.com:8443 HTTP/1.1\r\nHost: other:1\r\n\r\n");
    EXPECT_TRUE(IsTunnelRequest(request));
    EXPECT_EQ("secure.example.com", request.targetHost);
    EXPECT_EQ(8443, request.targetPort);
    request = ParseRequest("CONNECT secure.example.com HTTP/1.1\r\n\r\n");
    EXPECT_EQ(443, request.targetPort);
    EXPECT_EQ("CONNECT secure.example.com HTTP/1.1\r\nConnection: close\r\n\r\n",
              RewriteRequest(request, ViaProxy(), true));
}

TEST(RequestRewrite, NoHostHeaderFallsBackOnTheAbsoluteTarget) {
    ParsedRequest request = ParseRequest("GET http://abs.example.com:81/x HTTP/1.0\r\n\r\n");
    EXPECT_EQ("abs.example.com", request.targetHost);
    EXPECT_EQ(81, request.targetPort);
    request = ParseRequest("GET /x HTTP/1.0\r\n\r\n");
    EXPECT_EQ("", request.targetHost);
    EXPECT_EQ(80, request.targetPort);
}

TEST(RequestRewrite, MalformedRequestLines) {
    struct Case {
        const char* received;
        const char* method;
        const char* target;
        const char* version;
    } cases[] = {
        {"\r\n\r\n", "", "", ""},
        {"GET\r\n\r\n", "GET", "", ""},
        {"GET /\r\n\r\n", "GET", "/", ""},
        {"GET  HTTP/1.1\r\n\r\n", "GET", "", "HTTP/1.1"},
    };
    for (const Case& c : cases) {
        ParsedRequest request = ParseRequest(c.received);
        EXPECT_EQ(c.method, request.method) << c.received;
        EXPECT_EQ(c.target, request.target) << c.received;
        EXPECT_EQ(c.version, request.version) << c.received;
    }
    EXPECT_EQ(std::string::npos, FindHeadEnd("GET / HTTP/1.1\r\nHost: h\r\n"));

    EXPECT_TRUE(IsWellFormed(ParseRequest("GET http://h/ HTTP/1.1\r\n\r\n")));
    EXPECT_TRUE(IsWellFormed(ParseRequest("CONNECT h:443 HTTP/1.0\r\n\r\n")));
    for (const char* bad : {"\r\n\r\n", "GET\r\n\r\n", "GET /\r\n\r\n", "GET  HTTP/1.1\r\n\r\n",
                            "GET / FTP/1.0\r\n\r\n", "GET /x\nHost:y HTTP/1.1\r\n\r\n",
                            "GET / HTTP/1.1 extra\r\n\r\n"})
        EXPECT_FALSE(IsWellFormed(ParseRequest(bad))) << bad;
}

}  // namespace
