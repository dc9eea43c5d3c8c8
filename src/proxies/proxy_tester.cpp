#include "proxies/proxy_tester.h"

#include <cstdio>

#include "net/socks_client.h"
#include "proxies/failure_witness.h"
#include "proxies/proxy_line.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// The outcome is written even when the wrapper believes the store already
// holds it (a missing value reads as its default), so the caller always
// finds the value in place.
constexpr bool AlwaysWrite = true;

const char* FailureText(CheckOutcome outcome) {
    switch (outcome) {
    case CheckOutcome::NoAnswer:
        return "No answer through the proxy";
    case CheckOutcome::NeedsCredentials:
        return SocksFailureText(SocksFailure::NeedsCredentials);
    case CheckOutcome::RefusesNames:
        return SocksFailureText(SocksFailure::NamesRefused);
    case CheckOutcome::JudgeUnreachable:
        return "Test page unreachable, also without the proxy";
    case CheckOutcome::AltersContent:
    case CheckOutcome::UnreliableAnswer:
        return NeverUsedWord(outcome);
    default:
        return "Connection Failure";
    }
}

}  // namespace

std::string ResponseTimeText(uint32_t milliseconds) {
    return std::to_string(static_cast<int>(milliseconds)) + " milliseconds";
}

std::string DownloadSpeedText(double kilobytesPerSecond) {
    char text[64];
    std::snprintf(text, sizeof text, "%.02f KB/sec", kilobytesPerSecond);
    return text;
}

void ShowProxyCheck(const ProxyCheck& check, TestRunView& view) {
    int row = view.RowCount();
    if (check.outcome != CheckOutcome::Passed) {
        view.InsertRow(row, "Proxy server is NOT AVAILABLE");
        view.SetResponse(row, FailureText(check.outcome));
        RegStringValue(setting::TMPResponseTime, "", AlwaysWrite).Set("");
        RegStringValue(setting::TMPAnonymity, "", AlwaysWrite).Set("");
        RegStringValue(setting::TMPProxyType, "", AlwaysWrite).Set("");
        // Only a failure that counts against the proxy fails it: one that
        // wants a password, or that the user's own connection may have
        // caused, leaves it untested (no figures) and its row in place.
        RegDwordValue(setting::FAIL, 0, AlwaysWrite).Set(IsProxyFailure(check) ? 1 : 0);
        view.SetProgress(100);
        return;
    }
    std::string responseText = ResponseTimeText(check.responseMs);
    std::string speedText = DownloadSpeedText(check.kilobytesPerSecond);
    const std::string rows[][2] = {
        {"Get proxy response time", responseText},
        {"Get proxy download speed", speedText},
        {"Test Completed", "Proxy ready"},
        {"Check anonymity", AnonymityText(check.level)},
        {"Address sites see", check.exitAddress},
        {"Check secure pages", check.secure ? "Supported" : "Not supported"},
    };
    for (const auto& cells : rows) {
        view.InsertRow(row, cells[0]);
        view.SetResponse(row++, cells[1]);
    }
    RegStringValue(setting::TMPResponseTime, "", AlwaysWrite).Set(responseText);
    RegStringValue(setting::TMPDownloadSpeed, "", AlwaysWrite).Set(speedText);
    RegStringValue(setting::TMPAnonymity, "", AlwaysWrite).Set(AnonymityWord(check.level));
    RegStringValue(setting::TMPProxyType, "", AlwaysWrite).Set(net::ProxySchemeName(check.type));
    RegDwordValue(setting::FAIL, 0, AlwaysWrite).Set(0);
    view.SetProgress(100);
}

std::string WithTestedType(const std::string& proxyText) {
    net::ProxyType type = net::ProxyType::Http;
    net::ProxyTypeFromScheme(RegStringValue(setting::TMPProxyType).Get(), type);
    return WithFoundType(proxyText, type);
}

void MarkProxyUntested() {
    RegStringValue(setting::TMPResponseTime, "", AlwaysWrite).Set("Not Tested");
    RegStringValue(setting::TMPDownloadSpeed, "", AlwaysWrite).Set("N/A");
    RegStringValue(setting::TMPAnonymity, "", AlwaysWrite).Set("");
    RegStringValue(setting::TMPProxyType, "", AlwaysWrite).Set("");
}
