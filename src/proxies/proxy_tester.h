// Testing one remote proxy: how long a TCP connection to it takes to open,
// and the download speed figure derived from that. A test run reports its
// rows and progress to a view (the evaluation dialog, or a test) and hands
// its outcome to the caller through TMPResponseTime, TMPDownloadSpeed and FAIL.
#pragma once

#include <cstdint>
#include <string>

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

// Milliseconds the connection took to open (at least 1), or 0 when it could
// not be made. Moves the view's progress to 20, then to 100 unless the host
// does not resolve. The view may be null.
uint32_t MeasureResponseTime(const std::string& host, int port, TestRunView* view);

// Kilobytes per second for a response time: 1656 / milliseconds.
double EstimateDownloadSpeed(uint32_t milliseconds);

// The texts a successful test shows and stores: "%d milliseconds" and
// "%.02f KB/sec".
std::string ResponseTimeText(uint32_t milliseconds);
std::string DownloadSpeedText(double kilobytesPerSecond);

// One press of "Start Testing": appends the run's rows below those already
// there and writes the outcome to the settings.
void RunProxyTest(const std::string& host, int port, TestRunView& view);

// What the evaluation dialog writes when it opens: "Not Tested" and "N/A";
// FAIL keeps the outcome of the last test.
void MarkProxyUntested();
