// A stand-in for the maker's web server, for running and testing the program
// without the outside world. Serves, on a loopback port:
//   /services/vg/proxy/sortedproxylist.txt  the proxy list from a file
//   /services/vg/proxy/proxygenerator.asp   a small page, read and dropped
//   /services/whatismyip/whatismyip.asp     the caller's address and the
//                                           forwarding headers it arrived with,
//                                           then every header as received
//   /services/vg/proxy/speedtest.bin        256 KiB that proxy tests time
//   /services/vg/proxy/contenttest.htm      a small fixed page that proxy
//                                           tests compare
//   /products/veilgate/poll.htm             the poll page
//   /lists/plain.txt                        the same proxies as public lists
//   /lists/schemes.txt                      give them: "host:port country"
//   /lists/proxies.json                     lines, "scheme://host:port"
//                                           lines, a JSON array of objects
//   /lists/NAME                             a file named with --list
//   /status/NNN                             an error page with status NNN
//   /signin                                 a network portal's sign-in page,
//                                           as it stands in for any address
//   /                                       a home page linking them
//
// Usage: list_service --proxies FILE [--port N] [--address A] [--port-file F]
//                     [--log F] [--raw-list] [--list NAME=FILE]...
// --port 0 (the default) takes a free port; the port is printed and, with
// --port-file, written to that file once the service listens. --log appends
// one line per request: method, path and user agent. --raw-list serves the
// file byte for byte as the list reply, for trying out odd replies. A file
// named with --list is served byte for byte as /lists/NAME.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "base/leading_number.h"
#include "net/socket.h"

namespace {

constexpr size_t MaxRequestHead = 16 * 1024;
constexpr int RequestTimeoutMs = 5000;

struct Options {
    std::string proxiesFile;
    std::string address = "127.0.0.1";
    int port = 0;
    std::string portFile;
    std::string logFile;
    bool rawList = false;
    std::vector<std::pair<std::string, std::string>> lists;  // name, file
};

struct Request {
    std::string line;  // the request line as received
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
};

bool ReadOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--raw-list") {
            options.rawList = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        std::string value = argv[++i];
        if (name == "--proxies")
            options.proxiesFile = value;
        else if (name == "--port")
            options.port = base::ParseLeadingInt(value);
        else if (name == "--address")
            options.address = value;
        else if (name == "--port-file")
            options.portFile = value;
        else if (name == "--log")
            options.logFile = value;
        else if (name == "--list" && value.find('=') != std::string::npos)
            options.lists.emplace_back(value.substr(0, value.find('=')),
                                       value.substr(value.find('=') + 1));
        else
            return false;
    }
    return !options.proxiesFile.empty();
}

std::string ReadFile(const std::string& path, bool& ok) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    ok = static_cast<bool>(file);
    return content.str();
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string HtmlEscape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '&':
            escaped += "&amp;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// One proxy line of the --proxies file (host:port->country; blank lines
// are skipped).
struct FileProxy {
    std::string line;
    std::string address;  // as the file has it, a scheme and all
    std::string country;
};

std::vector<FileProxy> FileProxies(const std::string& proxiesFile) {
    bool ok = false;
    std::istringstream lines(ReadFile(proxiesFile, ok));
    std::vector<FileProxy> proxies;
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        size_t arrow = line.find("->");
        proxies.push_back({line, line.substr(0, arrow),
                           arrow == std::string::npos ? "" : line.substr(arrow + 2)});
    }
    return proxies;
}

// The list reply: each proxy line of the file followed by "<br />".
std::string ProxyListReply(const std::string& proxiesFile) {
    std::string reply;
    for (const FileProxy& proxy : FileProxies(proxiesFile))
        reply += proxy.line + "<br />";
    return reply;
}

// The file's proxies as public lists publish them.
std::string PublicList(const std::string& proxiesFile, const std::string& name) {
    std::string list = name == "proxies.json" ? "[" : "# Proxies, one a line\n";
    for (const FileProxy& proxy : FileProxies(proxiesFile)) {
        size_t scheme = proxy.address.find("://");
        std::string type = scheme == std::string::npos ? "http" : proxy.address.substr(0, scheme);
        std::string bare =
            scheme == std::string::npos ? proxy.address : proxy.address.substr(scheme + 3);
        size_t colon = bare.rfind(':');
        std::string country = proxy.country.substr(0, proxy.country.find(" <"));
        if (name == "plain.txt")
            list += bare + " " + country + "\n";
        else if (name == "schemes.txt")
            list += type + "://" + bare + "\n";
        else
            list += std::string(list.size() > 1 ? "," : "") + "{\"ip\":\"" + bare.substr(0, colon) +
                    "\",\"port\":" + bare.substr(colon + 1) + ",\"protocol\":\"" + type +
                    "\",\"country\":\"" + country + "\"}";
    }
    return name == "proxies.json" ? list + "]" : list;
}

bool ListFile(const Options& options, const std::string& path, std::string& body) {
    const std::string prefix = "/lists/";
    if (path.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::string name = path.substr(prefix.size());
    for (const auto& list : options.lists) {
        bool ok = false;
        if (list.first == name) {
            body = ReadFile(list.second, ok);
            return ok;
        }
    }
    if (name != "plain.txt" && name != "schemes.txt" && name != "proxies.json")
        return false;
    body = PublicList(options.proxiesFile, name);
    return true;
}

std::string ListReply(const Options& options) {
    if (!options.rawList)
        return ProxyListReply(options.proxiesFile);
    bool ok = false;
    return ReadFile(options.proxiesFile, ok);
}

bool ReadRequestHead(const net::Socket& client, std::string& head) {
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
        if (head.size() > MaxRequestHead || net::WaitReadable(client, RequestTimeoutMs) != 1)
            return false;
        long received = net::Receive(client, buffer, sizeof buffer);
        if (received <= 0)
            return false;
        head.append(buffer, static_cast<size_t>(received));
    }
    return true;
}

Request ParseRequest(const std::string& head) {
    Request request;
    std::istringstream lines(head);
    std::string line;
    std::getline(lines, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    request.line = line;
    std::istringstream first(line);
    first >> request.method >> request.path;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t colon = line.find(':');
        if (line.empty() || colon == std::string::npos)
            continue;
        size_t value = line.find_first_not_of(' ', colon + 1);
        request.headers.emplace_back(line.substr(0, colon),
                                     value == std::string::npos ? "" : line.substr(value));
    }
    // An absolute-form target (sent through a proxy) names the same path.
    if (request.path.compare(0, 7, "http://") == 0) {
        size_t slash = request.path.find('/', 7);
        request.path = slash == std::string::npos ? "/" : request.path.substr(slash);
    }
    size_t query = request.path.find('?');
    if (query != std::string::npos)
        request.path.erase(query);
    return request;
}

std::string Header(const Request& request, const std::string& name) {
    for (const auto& header : request.headers)
        if (Lower(header.first) == Lower(name))
            return header.second;
    return "";
}

std::string PeerAddress(const net::Socket& client) {
    sockaddr_in peer{};
#ifdef _WIN32
    int length = sizeof peer;
#else
    socklen_t length = sizeof peer;
#endif
    char text[INET_ADDRSTRLEN] = "unknown";
    if (getpeername(client.Get(), reinterpret_cast<sockaddr*>(&peer), &length) == 0)
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return text;
}

std::string Page(const std::string& title, const std::string& body) {
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>" + body +
           "</body></html>\n";
}

std::string WhatIsMyIpPage(const Request& request, const std::string& peer) {
    static const char* forwarding[] = {"X-Forwarded-For", "Via",       "Forwarded",
                                       "Client-IP",       "X-Real-IP", "Proxy-Connection"};
    std::string body = "<p>Your IP address is <b id=\"address\">" + HtmlEscape(peer) + "</b></p>";
    body += "<p>Your request: <code id=\"request\">" + HtmlEscape(request.line) + "</code></p>";
    body += "<h2>Forwarding headers</h2><table>";
    bool any = false;
    for (const char* name : forwarding) {
        std::string value = Header(request, name);
        if (value.empty())
            continue;
        body += "<tr><td>" + std::string(name) + "</td><td>" + HtmlEscape(value) + "</td></tr>";
        any = true;
    }
    body += "</table>";
    if (!any)
        body += "<p id=\"none\">None: the request carried no forwarding headers.</p>";
    body += "<h2>All request headers</h2><pre>";
    for (const auto& header : request.headers)
        body += HtmlEscape(header.first + ": " + header.second) + "\n";
    body += "</pre>";
    return Page("What Is My IP?", body);
}

// A small fixed page that what proxies return for it is compared with.
std::string ContentTestPage() {
    std::string rows;
    for (int row = 1; row <= 16; ++row)
        rows += "<tr><td>" + std::to_string(row) + "</td><td>" + std::to_string(row * row * 7919) +
                "</td></tr>\n";
    return Page("Veilgate content test", "<table>\n" + rows + "</table>");
}

// Bytes that no proxy on the way can make smaller by compressing them well.
std::string SpeedTestObject() {
    std::string object(256 * 1024, '\0');
    uint32_t state = 2463534242u;
    for (char& byte : object) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state & 0xff);
    }
    return object;
}

void SendResponse(net::Socket& client, int status, const char* type, const std::string& body) {
    const char* reason = status == 200   ? "OK"
                         : status == 404 ? "Not Found"
                         : status == 400 ? "Bad Request"
                                         : "Error";
    std::string head = "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\n" +
                       "Content-Type: " + type + "\r\n" +
                       "Content-Length: " + std::to_string(body.size()) + "\r\n" +
                       "Cache-Control: no-cache\r\nConnection: close\r\n\r\n";
    net::SendAll(client, head + body);
    client.ShutdownSend();
}

void Serve(net::Socket& client, const Options& options) {
    std::string head;
    if (!ReadRequestHead(client, head)) {
        SendResponse(client, 400, "text/plain", "Bad request\n");
        return;
    }
    Request request = ParseRequest(head);
    if (!options.logFile.empty()) {
        std::ofstream log(options.logFile, std::ios::app);
        log << request.method << " " << request.path << " " << Header(request, "User-Agent")
            << "\n";
    }
    std::string list;
    if (request.path == "/services/vg/proxy/sortedproxylist.txt")
        SendResponse(client, 200, "text/plain", ListReply(options));
    else if (ListFile(options, request.path, list))
        SendResponse(client, 200, "text/plain", list);
    else if (request.path == "/services/vg/proxy/proxygenerator.asp")
        SendResponse(client, 200, "text/html", Page("Proxy generator", "<p>Request noted.</p>"));
    else if (request.path == "/services/whatismyip/whatismyip.asp")
        SendResponse(client, 200, "text/html", WhatIsMyIpPage(request, PeerAddress(client)));
    else if (request.path == "/services/vg/proxy/contenttest.htm")
        SendResponse(client, 200, "text/html", ContentTestPage());
    else if (request.path == "/services/vg/proxy/speedtest.bin")
        SendResponse(client, 200, "application/octet-stream", SpeedTestObject());
    else if (request.path.compare(0, 8, "/status/") == 0)
        SendResponse(client, std::atoi(request.path.c_str() + 8), "text/html",
                     Page("Error", "<p>The server cannot answer that.</p>"));
    else if (request.path == "/signin")
        SendResponse(client, 200, "text/html",
                     Page("Sign in to the network",
                          "<form>Name<br /><input name=\"n\"><br />Password<br /><input "
                          "name=\"p\" type=\"password\"><br /></form>"));
    else if (request.path == "/products/veilgate/poll.htm")
        SendResponse(client, 200, "text/html",
                     Page("Veilgate poll",
                          "<p>Thank you for trying Veilgate. Why did you "
                          "remove it?</p><ul><li>Too slow</li><li>Hard to "
                          "use</li><li>Something else</li></ul>"));
    else if (request.path == "/")
        SendResponse(client, 200, "text/html",
                     Page("Veilgate",
                          "<ul><li><a href=\"/services/vg/proxy/sortedproxylist.txt\">Proxy "
                          "list</a></li><li><a href=\"/services/whatismyip/whatismyip.asp\">What "
                          "Is My IP?</a></li><li><a href=\"/products/veilgate/poll.htm\">Poll</a>"
                          "</li><li><a href=\"/lists/plain.txt\">host:port list</a></li><li><a "
                          "href=\"/lists/schemes.txt\">scheme:// list</a></li><li><a "
                          "href=\"/lists/proxies.json\">JSON list</a></li></ul>"));
    else
        SendResponse(client, 404, "text/plain", "Not found\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ReadOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: list_service --proxies FILE [--port N] [--address A] "
                     "[--port-file F] [--log F] [--raw-list] [--list NAME=FILE]...\n");
        return 2;
    }
    bool readable = false;
    ReadFile(options.proxiesFile, readable);
    if (!readable) {
        std::fprintf(stderr, "list_service: cannot read %s\n", options.proxiesFile.c_str());
        return 1;
    }
    net::NetworkInit network;
    net::Socket listener = net::ListenTcp(options.address, options.port, 16);
    if (!network.Ok() || !listener.IsValid()) {
        std::fprintf(stderr, "list_service: cannot listen on %s:%d\n", options.address.c_str(),
                     options.port);
        return 1;
    }
    int port = net::LocalPortOf(listener);
    if (!options.portFile.empty()) {
        // Written whole under another name first, so a reader never sees half.
        std::string partial = options.portFile + ".part";
        std::ofstream(partial) << port << "\n";
        std::remove(options.portFile.c_str());
        std::rename(partial.c_str(), options.portFile.c_str());
    }
    std::printf("list_service listening on %s:%d\n", options.address.c_str(), port);
    std::fflush(stdout);

    for (;;) {
        net::Socket client = net::AcceptConnection(listener);
        if (!client.IsValid()) {
            // Out of descriptors, say: rest a moment rather than spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        // One client at a time: one that stops reading must not stall the rest.
        net::SetSendTimeout(client, 10000);
        Serve(client, options);
    }
}
