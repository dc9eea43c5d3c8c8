#include "proxies/proxy_route.h"

#include <algorithm>
#include <chrono>

namespace {

// How often a wait looks at the stop flag.
constexpr int StopCheckMs = 50;

}  // namespace

int64_t SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int RemainingMs(int64_t untilMs) {
    return static_cast<int>(std::max<int64_t>(0, untilMs - SteadyNowMs()));
}

Route OpenRoute(const net::ProxyAddress& proxy, const std::string& host, int port, int timeoutMs,
                const std::atomic<bool>& stop) {
    Route route;
    route.connection = net::ConnectTcpUnless(proxy.host, proxy.port, timeoutMs, stop);
    if (!route.connection.IsValid())
        return route;
    route.form = RequestFormFor(proxy);
    if (route.form.absoluteForm)
        return route;
    std::string problem;
    if (!OpenSocksTunnel(route.connection, proxy, host, port, timeoutMs, &stop, route.failure,
                         problem))
        route.connection.Close();
    return route;
}

CheckOutcome RouteFailureOutcome(SocksFailure failure) {
    switch (failure) {
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

JudgeAnswer Exchange(const net::Socket& connection, const std::string& request, int64_t untilMs,
                     const std::atomic<bool>& stop, bool headOnly) {
    AnswerReader reader(headOnly);
    int left = RemainingMs(untilMs);
    if (left <= 0 || !net::SendAll(connection, request.data(), request.size(), left))
        return reader.Answer();
    int64_t sent = SteadyNowMs();
    auto since = [sent] {
        return static_cast<uint32_t>(std::max<int64_t>(0, SteadyNowMs() - sent));
    };
    char buffer[16384];
    while (!stop) {
        left = RemainingMs(untilMs);
        if (left <= 0)
            break;
        int ready = net::WaitReadable(connection, std::min(left, StopCheckMs));
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        long got = net::Receive(connection, buffer, sizeof buffer);
        if (got <= 0 || reader.Take(buffer, static_cast<size_t>(got), since()))
            break;
    }
    reader.Finish(since());
    return reader.Answer();
}
