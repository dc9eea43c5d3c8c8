// Showing what a real test of one remote proxy (proxy_check.h) found: its
// rows and progress go to a view (the evaluation dialog, or a test), and its
// outcome to the caller through TMPResponseTime, TMPDownloadSpeed,
// TMPAnonymity and FAIL.
#pragma once

#include <cstdint>
#include <string>

#include "proxies/proxy_check.h"

// How long any connection to a remote proxy may take to open. A silent host
// would otherwise hold the window for as long as the system cares to wait;
// ten seconds is far beyond any proxy worth using.
constexpr int ProxyConnectTimeoutMs = 10000;

class TestRunView {
public:
    virtual ~TestRunView() = default;
    // The progress bar's position, 0 to 100.
    virtual void SetProgress(int position) = 0;
    virtual int RowCount() = 0;
    virtual void InsertRow(int row, const std::string& task) = 0;
    virtual void SetResponse(int row, const std::string& response) = 0;
};

// The texts a successful test shows and stores: "%d milliseconds" and
// "%.02f KB/sec".
std::string ResponseTimeText(uint32_t milliseconds);
std::string DownloadSpeedText(double kilobytesPerSecond);

// The end of one press of "Start Testing": appends the check's rows below
// those already there and writes the outcome to the settings. A transparent
// proxy passes (FAIL 0): its level tells the callers not to use it. FAIL is
// 1 only for a failure that counts against the proxy (IsProxyFailure); a
// check that passed has figures in TMPResponseTime, any other has none.
void ShowProxyCheck(const ProxyCheck& check, TestRunView& view);

// The proxy text as the last passed test found it: with the scheme of the
// type it was reached by (TMPProxyType) when the text named none.
std::string WithTestedType(const std::string& proxyText);

// What the evaluation dialog writes when it opens: "Not Tested", "N/A" and
// no level; FAIL keeps the outcome of the last test.
void MarkProxyUntested();
