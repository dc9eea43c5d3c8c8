#include "proxies/proxy_tester.h"

#include <chrono>
#include <cstdio>

#include "net/socket.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// The outcome is written even when the wrapper believes the store already
// holds it (a missing value reads as its default), so the caller always
// finds the value in place.
constexpr bool AlwaysWrite = true;

void MoveProgress(TestRunView* view, int position) {
    if (view)
        view->SetProgress(position);
}

}  // namespace

uint32_t MeasureResponseTime(const std::string& host, int port, TestRunView* view) {
    MoveProgress(view, 20);
    net::NetworkInit network;
    std::string address;
    // Resolving apart from the connect keeps name look-up out of the measured
    // time and tells an unknown name apart from a proxy that does not answer.
    if (!network.Ok() || !net::ResolveFirstAddress(host, ProxyConnectTimeoutMs, address))
        return 0;
    if (port < 1 || port > 65535) {
        MoveProgress(view, 100);
        return 0;
    }

    auto started = std::chrono::steady_clock::now();
    net::Socket connection = net::ConnectTcp(address, port, ProxyConnectTimeoutMs);
    auto finished = std::chrono::steady_clock::now();
    if (!connection.IsValid()) {
        MoveProgress(view, 100);
        return 0;
    }
    connection.Close();

    auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(finished - started).count();
    MoveProgress(view, 100);
    // 0 stands for failure, so an instant connection counts as 1 ms.
    return elapsed < 1 ? 1 : static_cast<uint32_t>(elapsed);
}

double EstimateDownloadSpeed(uint32_t milliseconds) {
    return 1.6171875 / static_cast<double>(milliseconds) * 1024;
}

std::string ResponseTimeText(uint32_t milliseconds) {
    return std::to_string(static_cast<int>(milliseconds)) + " milliseconds";
}

std::string DownloadSpeedText(double kilobytesPerSecond) {
    char text[64];
    std::snprintf(text, sizeof text, "%.02f KB/sec", kilobytesPerSecond);
    return text;
}

void RunProxyTest(const std::string& host, int port, TestRunView& view) {
    uint32_t milliseconds = MeasureResponseTime(host, port, &view);
    int row = view.RowCount();
    if (milliseconds == 0) {
        view.InsertRow(row, "Proxy server is NOT AVAILABLE");
        view.SetResponse(row, "Connection Failure");
        RegStringValue(setting::TMPResponseTime, "", AlwaysWrite).Set("");
        RegDwordValue(setting::FAIL, 0, AlwaysWrite).Set(1);
        return;
    }

    view.InsertRow(row, "Get proxy response time");
    std::string responseText = ResponseTimeText(milliseconds);
    RegStringValue(setting::TMPResponseTime, "", AlwaysWrite).Set(responseText);
    view.SetResponse(row, responseText);

    view.InsertRow(row + 1, "Get proxy download speed");
    view.SetProgress(100);
    std::string speedText = DownloadSpeedText(EstimateDownloadSpeed(milliseconds));
    RegStringValue(setting::TMPDownloadSpeed, "", AlwaysWrite).Set(speedText);
    view.SetResponse(row + 1, speedText);

    view.InsertRow(row + 2, "Test Completed");
    view.SetResponse(row + 2, "Proxy ready");
    RegDwordValue(setting::FAIL, 0, AlwaysWrite).Set(0);
}

void MarkProxyUntested() {
    RegStringValue(setting::TMPResponseTime, "", AlwaysWrite).Set("Not Tested");
    RegStringValue(setting::TMPDownloadSpeed, "", AlwaysWrite).Set("N/A");
}
