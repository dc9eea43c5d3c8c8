// Parsing a browser's request and the request that goes on from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/authorization.h"
#include "engine/http_request.h"
#include "engine/request_body.h"
#include "engine/response_head.h"

namespace {

UpstreamSettings ViaProxy() {
    return MakeUpstreamSettings(1, net::ProxyAddress("10.1.2.3", 3128));
}

UpstreamSettings Direct() {
    return MakeUpstreamSettings(0, net::ProxyAddress());
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

TEST(RequestRewrite, PathAndHostInDirectMode) {
    // In origin form the target's host is the one the server is told.
    struct Case {
        const char* target;
        const char* path;
        const char* host;
    } cases[] = {
        {"http://www.example.com", "/", "www.example.com"},
        {"http://www.example.com:81", "/", "www.example.com:81"},
        {"http://www.example.com/", "/", "www.example.com"},
        {"/already/origin/form", "/already/origin/form", "h"},
        {"/", "/", "h"},
    };
    for (const Case& c : cases) {
        std::string received = std::string("GET ") + c.target + " HTTP/1.0\r\nHost: h\r\n\r\n";
        EXPECT_EQ(std::string("GET ") + c.path + " HTTP/1.0\r\nHost: " + c.host +
                      "\r\nConnection: close\r\n\r\n",
                  Rewrite(received, Direct()))
            << c.target;
    }
    EXPECT_EQ("GET /x HTTP/1.0\r\nHost: a:81\r\nConnection: close\r\n\r\n",
              Rewrite("GET http://a:81/x HTTP/1.0\r\n\r\n", Direct()));
}

TEST(RequestRewrite, HeadersNamedByConnectionAreDropped) {
    // The body's framing stays whatever the browser named: without it the
    // server would read the body as another request.
    EXPECT_EQ(
        "POST http://h/ HTTP/1.1\r\nHost: h\r\nConnection: close\r\nX-Kept: 2\r\n"
        "Content-Length: 1\r\n\r\nb",
        Rewrite("POST http://h/ HTTP/1.1\r\nHost: h\r\n"
                "Connection: x-hop ,Keep-Alive, content-length,host\r\nX-Hop: 1\r\n"
                "X-Kept: 2\r\nContent-Length: 1\r\n\r\nb",
                ViaProxy()));
}

TEST(RequestRewrite, AmbiguousHeadsAreRefused) {
    using namespace std::string_literals;  // "..."s keeps a zero byte inside
    const std::string refused[] = {
        "GET / HTTP/1.1\r\nHost: h\r\nX-A: 1\r\n folded\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: h\r\nX-A: 1\r\n\tfolded\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: h\r\nX-A: a\0b\r\n\r\n"s,
        "GET / HTTP/1.1\r\nHost: a\r\nhost: b\r\n\r\n",
        "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n"
        "Transfer-Encoding: chunked\r\n\r\n",
        "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n",
        "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: +5\r\n\r\n",
        "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 22222111111111111111\r\n\r\n",
        "POST / HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: h:99999\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: h:0\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: h:12ab\r\n\r\n",
        "GET http://h:0/ HTTP/1.1\r\nHost: h\r\n\r\n",
        "GET http://h/ HTTP/1.1\r\nHost: h:65536\r\n\r\n",
        "CONNECT h:70000 HTTP/1.1\r\n\r\n",
    };
    for (const std::string& head : refused)
        EXPECT_NE("", ParseRequest(head).fault) << head;
    for (const char* head :
         {"GET / HTTP/1.1\r\nHost: h:65535\r\n\r\n", "GET http://h:1/ HTTP/1.1\r\n\r\n",
          "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\ncontent-length: 5\r\n\r\n",
          "POST / HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: Chunked\r\n\r\n",
          "GET / HTTP/1.1\r\nHost: h:\r\n\r\n"})
        EXPECT_EQ("", ParseRequest(head).fault) << head;
}

TEST(RequestRewrite, ConnectionForcedToCloseInPlace) {
    EXPECT_EQ("GET http://h/ HTTP/1.1\r\nHost: h\r\nConnection: close\r\nAccept: */*\r\n\r\n",
              Rewrite("GET http://h/ HTTP/1.1\r\nHost: h\r\nConnection: keep-alive\r\n"
                      "Accept: */*\r\n\r\n",
                      ViaProxy()));
    // Any case of the name is the same header.
    EXPECT_EQ("GET / HTTP/1.1\r\nconnection: close\r\n\r\n",
              Rewrite("GET / HTTP/1.1\r\nconnection: Upgrade\r\n\r\n", ViaProxy()));
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

TEST(RequestRewrite, TargetHostFromTheAbsoluteTargetElseTheHostHeader) {
    struct Case {
        const char *target, *header, *host;
        int port;
    } cases[] = {
        {"/", "Host: www.example.com", "www.example.com", 80},
        {"/", "host: lower.example.com:8080", "lower.example.com", 8080},
        {"/", "HOST:nospace.example.com", "nospace.example.com", 80},
        {"/", "Host: h:", "h", 80},
        {"/", "Host: :8080", ":8080", 80},
        {"/", "Host: 10.0.0.7:3128", "10.0.0.7", 3128},
        {"http://a.example:81/x", "Host: b.example:82", "a.example", 81},
        {"http://abs.example.com:81/x", "", "abs.example.com", 81},
        {"/x", "", "", 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.header);
        ParsedRequest request = ParseRequest(std::string("GET ") + c.target + " HTTP/1.1\r\n" +
                                             c.header + (*c.header ? "\r\n" : "") + "\r\n");
        EXPECT_EQ("", request.fault);
        EXPECT_EQ(c.host, request.targetHost);
        EXPECT_EQ(c.port, request.targetPort);
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
              Rewrite("GET / HTTP/1.1\r\nA: 1\r\nGET /smuggled HTTP/1.1\r\n"
                      "X: a\nTransfer-Encoding: chunked\r\n\r\n",
                      ViaProxy()));
}

TEST(RequestRewrite, AuthorizationLineAfterConnection) {
    UpstreamSettings settings = MakeUpstreamSettings(
        1, net::ProxyAddress("10.1.2.3", 3128, net::ProxyType::Http, "user", "pw"));
    ASSERT_EQ(1, settings.authorizationFlag);
    EXPECT_EQ(
        "GET http://h/ HTTP/1.1\r\nHost: h\r\nConnection: close\r\n"
        "Proxy-Authorization: Basic dXNlcjpwdw==\r\n\r\n",
        Rewrite("GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n", settings));
    // No line without credentials, nor in direct mode.
    EXPECT_EQ(std::string::npos,
              Rewrite("GET / HTTP/1.1\r\n\r\n",
                      MakeUpstreamSettings(
                          0, net::ProxyAddress("", 0, net::ProxyType::Http, "user", "pw")))
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
        EXPECT_FALSE(IsWellFormed(request)) << c.received;
    }
    EXPECT_EQ(std::string::npos, FindHeadEnd("GET / HTTP/1.1\r\nHost: h\r\n"));

    EXPECT_TRUE(IsWellFormed(ParseRequest("GET http://h/ HTTP/1.1\r\n\r\n")));
    EXPECT_TRUE(IsWellFormed(ParseRequest("CONNECT h:443 HTTP/1.0\r\n\r\n")));
    for (const char* bad : {"GET / FTP/1.0\r\n\r\n", "GET /x\nHost:y HTTP/1.1\r\n\r\n",
                            "GET / HTTP/1.1 extra\r\n\r\n"})
        EXPECT_FALSE(IsWellFormed(ParseRequest(bad))) << bad;
}

TEST(RequestBody, EndsWhereItsFramingSays) {
    // Each case is fed in pieces; what is taken must be the body alone.
    struct Case {
        const char* head;
        std::vector<std::string> pieces;
        size_t body;
    } cases[] = {
        {"Content-Length: 5\r\n", {"hel", "loGET / HTTP/1.1\r\n"}, 5},
        {"Content-Length: 0\r\n", {"GET /"}, 0},
        {"", {"GET /next HTTP/1.1\r\n"}, 0},
        {"Transfer-Encoding: chunked\r\n", {"5\r\nhel", "lo\r\n0\r\n\r\nGET /"}, 15},
        {"Transfer-Encoding: chunked\r\n", {"A;ext=1\r\n0123456789\r\n0\r\nX-T: 1\r\n\r\nGET"}, 34},
        {"Transfer-Encoding: chunked\r\n", {"zz\r\n"}, 1},  // not a chunk: stops at once
    };
    for (const Case& c : cases) {
        ParsedRequest request =
            ParseRequest(std::string("POST / HTTP/1.1\r\nHost: h\r\n") + c.head + "\r\n");
        RequestBodyEnd end(request);
        size_t taken = 0;
        for (const std::string& piece : c.pieces)
            taken += end.Take(piece.data(), piece.size());
        EXPECT_EQ(c.body, taken) << c.head << c.pieces[0];
        EXPECT_TRUE(end.Ended()) << c.head << c.pieces[0];
    }
}

TEST(ResponseHead, MarkedToCloseWhateverTheServerSaid) {
    struct Case {
        std::vector<std::string> pieces;
        const char* sent;
    } cases[] = {
        {{"HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nKeep-Alive: timeout=5\r\n"
          "Content-Length: 2\r\n\r\nok"},
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n"
         "Proxy-Connection: close\r\n\r\nok"},
        {{"HTTP/1.1 200 OK\r\nProxy-Connection: keep-alive\r\n fold\r\nA: 1\r", "\n\r\nbody"},
         "HTTP/1.1 200 OK\r\nA: 1\r\nConnection: close\r\nProxy-Connection: close\r\n\r\nbody"},
        {{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n"},
         "HTTP/1.1 100 Continue\r\nConnection: close\r\nProxy-Connection: close\r\n\r\n"
         "HTTP/1.1 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\n\r\n"},
        {{"HTTP/1.1 200 OK\r\nKEEP-ALIVE: 5\r\nConnection\r\nConnections: 2\r\n\r\n"},
         "HTTP/1.1 200 OK\r\nConnections: 2\r\nConnection: close\r\nProxy-Connection: "
         "close\r\n\r\n"},
        {{"<html>no head"}, "<html>no head"},
        {{"HTTP/1.0 200 OK\r\nCut"}, "HTTP/1.0 200 OK\r\nCut"},  // the server closed early
    };
    for (const Case& c : cases) {
        ResponseHeadMarker marker;
        std::string out;
        for (const std::string& piece : c.pieces)
            marker.Feed(piece.data(), piece.size(), out);
        marker.Finish(out);
        EXPECT_EQ(c.sent, out);
    }
}

}  // namespace
