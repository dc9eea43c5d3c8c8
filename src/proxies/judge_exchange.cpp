#include "proxies/judge_exchange.h"

#include <algorithm>

#include "base/leading_number.h"
#include "base/text_compare.h"
#include "engine/authorization.h"

namespace {

// What of an answer is kept for reading; the speed object is only counted.
constexpr size_t KeptAnswerBytes = 64 * 1024;

int StatusOf(const std::string& head) {
    // "HTTP/1.x NNN ..."
    if (head.compare(0, 5, "HTTP/") != 0)
        return 0;
    size_t space = head.find(' ');
    if (space == std::string::npos)
        return 0;
    return base::ParseLeadingInt(head.substr(space + 1, 3));
}

void AddToDigest(uint64_t& digest, const char* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        digest ^= static_cast<unsigned char>(data[i]);
        digest *= 1099511628211u;
    }
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The Content-Length the head states, or -1. The status line is never one.
long long StatedLength(const std::string& head) {
    const std::string name = "content-length:";
    for (size_t line = head.find("\r\n"); line != std::string::npos;
         line = head.find("\r\n", line + 2)) {
        if (base::StartsWithIgnoringCase(head.substr(line + 2, name.size()), name))
            return base::ParseLeadingInt(head.substr(line + 2 + name.size()));
    }
    return -1;
}

}  // namespace

bool AnswerReader::Take(const char* data, size_t length, uint32_t elapsedMs) {
    if (!answer_.came) {
        answer_.came = true;
        answer_.firstByteMs = std::max<uint32_t>(1, elapsedMs);
    }
    size_t before = answer_.kept.size();
    size_t room = KeptAnswerBytes - std::min(KeptAnswerBytes, before);
    answer_.kept.append(data, std::min(room, length));
    if (headEnd_ == std::string::npos) {
        headEnd_ = answer_.kept.find("\r\n\r\n");
        if (headEnd_ != std::string::npos) {
            headEnd_ += 4;
            // The head ended within this piece; the rest of it is body, kept
            // or not.
            size_t bodyStart = headEnd_ - before;
            answer_.bodyBytes = length - bodyStart;
            AddToDigest(answer_.bodyDigest, data + bodyStart, length - bodyStart);
            answer_.status = StatusOf(answer_.kept);
            stated_ = StatedLength(answer_.kept.substr(0, headEnd_));
            if (headOnly_)
                return true;
        }
    } else {
        answer_.bodyBytes += length;
        AddToDigest(answer_.bodyDigest, data, length);
    }
    answer_.complete = stated_ >= 0 && answer_.bodyBytes >= static_cast<size_t>(stated_);
    return answer_.complete;
}

void AnswerReader::Finish(uint32_t elapsedMs) {
    if (headEnd_ == std::string::npos && answer_.came)
        answer_.status = StatusOf(answer_.kept);
    answer_.totalMs = std::max<uint32_t>(1, elapsedMs);
}

std::string HostAndPort(const std::string& host, int port) {
    return port == 80 ? host : host + ":" + std::to_string(port);
}

std::string JudgeGetRequest(const ProxyJudge& judge, const std::string& path, bool viaProxy,
                            const std::string& marker) {
    std::string hostPort = HostAndPort(judge.host, judge.port);
    std::string target = viaProxy ? "http://" + hostPort + path : path;
    return "GET " + target + " HTTP/1.0\r\nHost: " + hostPort +
           "\r\nUser-Agent: Veilgate\r\nAccept: */*\r\n" + JudgeMarkerHeader + ": " + marker +
           "\r\nConnection: close\r\n\r\n";
}

RequestForm RequestFormFor(const net::ProxyAddress& proxy) {
    RequestForm form;
    form.absoluteForm = proxy.type == net::ProxyType::Http;
    if (form.absoluteForm && !proxy.userName.empty())
        form.authorization = MakeAuthorizationLine(proxy.userName, proxy.password);
    return form;
}

std::string WithAuthorization(const RequestForm& form, std::string request) {
    if (!form.authorization.empty())
        request.insert(request.size() - 2, form.authorization);
    return request;
}

std::string JudgeRequestThrough(const RequestForm& form, const ProxyJudge& judge,
                                const std::string& path, const std::string& marker) {
    return WithAuthorization(form, JudgeGetRequest(judge, path, form.absoluteForm, marker));
}

std::string AnswerBody(const JudgeAnswer& answer) {
    size_t headEnd = answer.kept.find("\r\n\r\n");
    return headEnd == std::string::npos ? "" : answer.kept.substr(headEnd + 4);
}

bool IsJudgeAnswer(const JudgeAnswer& answer, const std::string& marker) {
    return answer.came && answer.status >= 200 && answer.status < 300 &&
           IsJudgeEcho(AnswerBody(answer), marker);
}

bool IsWellFormedEcho(const JudgeAnswer& answer, const std::string& marker,
                      const std::string& path) {
    std::string page = AnswerBody(answer);
    if (answer.status != 200 || marker.empty() || CountOf(page, marker) != 1)
        return false;
    const std::string echoed = "id=\"request\">";
    size_t at = page.find(echoed);
    if (at == std::string::npos)
        return true;
    std::string line = page.substr(at + echoed.size());
    line = line.substr(0, line.find_first_of("<\r\n"));
    size_t version = line.rfind(" HTTP/");
    if (line.compare(0, 4, "GET ") != 0 || version == std::string::npos || version < 4)
        return false;
    std::string target = line.substr(4, version - 4);
    if (base::StartsWithIgnoringCase(target, "http://")) {
        size_t slash = target.find('/', 7);
        target = slash == std::string::npos ? "" : target.substr(slash);
    }
    return target == path;
}

bool AltersContent(const OwnAddresses& own, const JudgeAnswer& object) {
    if (!own.contentKnown || object.status != 200 ||
        (!object.complete && object.bodyBytes < own.contentBytes))
        return false;
    return object.bodyBytes != own.contentBytes || object.bodyDigest != own.contentDigest;
}

bool IsContentTestObject(const JudgeAnswer& object, const std::string& marker) {
    std::string body = AnswerBody(object);
    return object.status == 200 && object.complete &&
           body.find(ContentTestTitle) != std::string::npos &&
           (marker.empty() || body.find(marker) == std::string::npos);
}

double KilobytesPerSecond(size_t bytes, uint32_t milliseconds) {
    return static_cast<double>(bytes) / 1024.0 / (std::max<uint32_t>(1, milliseconds) / 1000.0);
}

bool ReadAnswerThrough(const JudgeAnswer& page, const std::string& marker, const std::string& path,
                       bool sentCredentials, const OwnAddresses& own, ProxyCheck& check) {
    if (!IsJudgeAnswer(page, marker)) {
        // Some proxies (tinyproxy) refuse wrong credentials with 401.
        bool refused = page.status == 407 || (page.status == 401 && sentCredentials);
        check.outcome = refused ? CheckOutcome::NeedsCredentials : CheckOutcome::NoAnswer;
        return false;
    }
    if (!IsWellFormedEcho(page, marker, path)) {
        check.outcome = CheckOutcome::UnreliableAnswer;
        return false;
    }
    std::string echo = AnswerBody(page);
    check.responseMs = page.firstByteMs;
    check.exitAddress = ReadExitAddress(echo);
    check.level = GradeEcho(own, echo);
    check.kilobytesPerSecond = KilobytesPerSecond(page.bodyBytes, page.totalMs);
    return true;
}
