// The proxy tester against real loopback sockets, with its outcome read back
// from the settings store.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/socket.h"
#include "proxies/proxy_tester.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// Keeps what a dialog would show: the rows, their responses, and every
// position the progress bar was moved to.
class RecordingView : public TestRunView {
public:
    void SetProgress(int position) override { progress.push_back(position); }
    int RowCount() override { return static_cast<int>(tasks.size()); }
    void InsertRow(int row, const std::string& task) override {
        ASSERT_EQ(row, RowCount()) << "rows are only ever appended";
        tasks.push_back(task);
        responses.push_back("");
    }
    void SetResponse(int row, const std::string& response) override {
        ASSERT_LT(row, RowCount());
        responses[row] = response;
    }

    std::vector<int> progress;
    std::vector<std::string> tasks;
    std::vector<std::string> responses;
};

std::string SpeedText(double speed) {
    return DownloadSpeedText(speed);
}

std::string StoredText(const char* path) {
    return RegStringValue(path, "<missing>", true).Get();
}
uint32_t StoredFail() {
    return RegDwordValue(setting::FAIL, 99, true).Get();
}

class ProxyTesterTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(network_.Ok());
        listener_ = net::ListenTcp("127.0.0.1", 0, 16);
        ASSERT_TRUE(listener_.IsValid());
        openPort_ = net::LocalPortOf(listener_);
        net::Socket probe = net::ListenTcp("127.0.0.1", 0, 1);
        closedPort_ = net::LocalPortOf(probe);
    }

    net::NetworkInit network_;
    net::Socket listener_;
    int openPort_ = 0;
    int closedPort_ = 0;  // was free a moment ago; nothing listens there
};

TEST(EstimateDownloadSpeedTest, IsSixteenFiftySixOverTheMillisecondsInFixedTexts) {
    EXPECT_EQ("1656.00 KB/sec", SpeedText(EstimateDownloadSpeed(1)));
    EXPECT_EQ("16.56 KB/sec", SpeedText(EstimateDownloadSpeed(100)));
    EXPECT_EQ("8.28 KB/sec", SpeedText(EstimateDownloadSpeed(200)));
    EXPECT_EQ("7.05 KB/sec", SpeedText(EstimateDownloadSpeed(235)));
    EXPECT_EQ("1.00 KB/sec", SpeedText(EstimateDownloadSpeed(1656)));
    EXPECT_EQ("0.01 KB/sec", SpeedText(EstimateDownloadSpeed(165600)));
    EXPECT_EQ("1 milliseconds", ResponseTimeText(1));
    EXPECT_EQ("200 milliseconds", ResponseTimeText(200));
    // The count is unsigned: a huge time is a tiny speed, never a negative one.
    EXPECT_GT(EstimateDownloadSpeed(4000000000u), 0.0);
}

TEST_F(ProxyTesterTest, ListeningProxyGivesATimeOfAtLeastOneMillisecond) {
    RecordingView view;
    uint32_t milliseconds = MeasureResponseTime("127.0.0.1", openPort_, &view);
    EXPECT_GE(milliseconds, 1u);
    EXPECT_LT(milliseconds, 10000u);
    EXPECT_EQ((std::vector<int>{20, 100}), view.progress);
    // Works without a view too, and by name.
    EXPECT_GE(MeasureResponseTime("localhost", openPort_, nullptr), 1u);
}

TEST_F(ProxyTesterTest, RefusedConnectionGivesZeroAndFullProgress) {
    RecordingView view;
    EXPECT_EQ(0u, MeasureResponseTime("127.0.0.1", closedPort_, &view));
    EXPECT_EQ((std::vector<int>{20, 100}), view.progress);
}

TEST_F(ProxyTesterTest, UnknownHostGivesZeroAndLeavesProgressAtTwenty) {
    RecordingView view;
    EXPECT_EQ(0u, MeasureResponseTime("no-such-host.invalid", openPort_, &view));
    EXPECT_EQ(std::vector<int>{20}, view.progress);

    RecordingView emptyHost;
    EXPECT_EQ(0u, MeasureResponseTime("", openPort_, &emptyHost));
    EXPECT_EQ(std::vector<int>{20}, emptyHost.progress);
}

TEST_F(ProxyTesterTest, PortOutsideTheTcpRangeIsAFailedConnection) {
    for (int port : {0, -1, 65536, openPort_ + 65536}) {
        RecordingView view;
        EXPECT_EQ(0u, MeasureResponseTime("127.0.0.1", port, &view)) << port;
        EXPECT_EQ((std::vector<int>{20, 100}), view.progress) << port;
    }
}

TEST_F(ProxyTesterTest, SuccessfulRunAddsThreeRowsAndStoresTheOutcome) {
    RegDwordValue(setting::FAIL, 0, true).Set(1);
    RecordingView view;
    RunProxyTest("127.0.0.1", openPort_, view);

    ASSERT_EQ(3u, view.tasks.size());
    EXPECT_EQ("Get proxy response time", view.tasks[0]);
    EXPECT_EQ("Get proxy download speed", view.tasks[1]);
    EXPECT_EQ("Test Completed", view.tasks[2]);
    EXPECT_EQ("Proxy ready", view.responses[2]);

    // The texts shown are the texts stored, and the speed is derived from
    // the time shown.
    int milliseconds = 0;
    char unit[32] = {};
    ASSERT_EQ(2, std::sscanf(view.responses[0].c_str(), "%d %31s", &milliseconds, unit));
    EXPECT_EQ(std::to_string(milliseconds) + " milliseconds", view.responses[0]);
    EXPECT_GE(milliseconds, 1);
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.2f KB/sec", 1656.0 / milliseconds);
    EXPECT_EQ(speed, view.responses[1]);
    EXPECT_EQ(view.responses[0], StoredText(setting::TMPResponseTime));
    EXPECT_EQ(view.responses[1], StoredText(setting::TMPDownloadSpeed));
    EXPECT_EQ(0u, StoredFail());
    EXPECT_EQ(100, view.progress.back());
}

TEST_F(ProxyTesterTest, SecondPressAppendsBelowTheFirst) {
    RecordingView view;
    RunProxyTest("127.0.0.1", openPort_, view);
    RunProxyTest("127.0.0.1", openPort_, view);
    ASSERT_EQ(6u, view.tasks.size());
    EXPECT_EQ("Get proxy response time", view.tasks[3]);
    EXPECT_EQ("Test Completed", view.tasks[5]);
}

TEST_F(ProxyTesterTest, FailedRunAddsOneRowAndKeepsTheEarlierSpeed) {
    RecordingView view;
    RunProxyTest("127.0.0.1", openPort_, view);
    std::string earlierSpeed = StoredText(setting::TMPDownloadSpeed);
    ASSERT_NE("<missing>", earlierSpeed);

    RunProxyTest("127.0.0.1", closedPort_, view);
    ASSERT_EQ(4u, view.tasks.size());
    EXPECT_EQ("Proxy server is NOT AVAILABLE", view.tasks[3]);
    EXPECT_EQ("Connection Failure", view.responses[3]);
    EXPECT_EQ("", StoredText(setting::TMPResponseTime));
    EXPECT_EQ(earlierSpeed, StoredText(setting::TMPDownloadSpeed));
    EXPECT_EQ(1u, StoredFail());
}

TEST_F(ProxyTesterTest, UnknownHostIsTheSameFailureRow) {
    MarkProxyUntested();
    RecordingView view;
    RunProxyTest("no-such-host.invalid", 80, view);
    ASSERT_EQ(1u, view.tasks.size());
    EXPECT_EQ("Proxy server is NOT AVAILABLE", view.tasks[0]);
    EXPECT_EQ("Connection Failure", view.responses[0]);
    EXPECT_EQ(std::vector<int>{20}, view.progress);
    EXPECT_EQ("", StoredText(setting::TMPResponseTime));
    EXPECT_EQ("N/A", StoredText(setting::TMPDownloadSpeed));
    EXPECT_EQ(1u, StoredFail());
}

TEST_F(ProxyTesterTest, MarkProxyUntestedLeavesFailAlone) {
    RegDwordValue(setting::FAIL, 0, true).Set(1);
    RegStringValue(setting::TMPResponseTime, "", true).Set("235 milliseconds");
    MarkProxyUntested();
    EXPECT_EQ("Not Tested", StoredText(setting::TMPResponseTime));
    EXPECT_EQ("N/A", StoredText(setting::TMPDownloadSpeed));
    EXPECT_EQ(1u, StoredFail());
}

}  // namespace
