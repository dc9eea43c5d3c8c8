// The checks behind "Add New Proxy" and the port test, with real sockets on
// 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/local_port_test.h"
#include "app/proxy_address_rule.h"
#include "engine/local_proxy_server.h"
#include "fixed_engine_status.h"
#include "held_port.h"
#include "net/socket.h"

namespace {

using testing_support::FreePort;
using testing_support::HeldPort;

TEST(ProxyAddressRule, NeedsAColonAfterTheFirstCharacter) {
    EXPECT_TRUE(IsAcceptableProxyText("12.12.12.12:80"));
    EXPECT_TRUE(IsAcceptableProxyText("a:"));
    EXPECT_TRUE(IsAcceptableProxyText("host:port:extra"));
    EXPECT_FALSE(IsAcceptableProxyText(""));
    EXPECT_FALSE(IsAcceptableProxyText(":80"));
    EXPECT_TRUE(IsAcceptableProxyText(":8:0"));  // a colon after the first character
    EXPECT_FALSE(IsAcceptableProxyText(":"));
    EXPECT_FALSE(IsAcceptableProxyText("12.12.12.12"));
}

TEST(LocalPortTest, EmptyTextAsksForAPort) {
    PortTestReport report = TestLocalPort("", nullptr);
    EXPECT_EQ(report.text, "Please specify a port number");
    EXPECT_EQ(report.caption, "Veilgate");
    EXPECT_FALSE(report.clearPortText);
}

TEST(LocalPortTest, RangeEdgesAreRefusedAndTheFieldEmptied) {
    for (const char* text : {"1024", "65000", "0", "abc", "99999"}) {
        SCOPED_TRACE(text);
        PortTestReport report = TestLocalPort(text, nullptr);
        EXPECT_EQ(report.text, "Please specify a port value within 1024 ... 65000 interval");
        EXPECT_EQ(report.caption, "Veilgate");
        EXPECT_TRUE(report.clearPortText);
    }
}

TEST(LocalPortTest, OnlyATakenPortIsCalledInUse) {
    struct Case {
        net::ListenFailure failure;
        const char* text;
        const char* caption;
    } cases[] = {
        {net::ListenFailure::None, "Proxy Port is Available and can be used by Veilgate",
         "Success"},
        {net::ListenFailure::NotBound, "Port 4242 is already in use. Please choose another port.",
         "Warning"},
        {net::ListenFailure::NoSocket, "Unable to connect to create socket", "Error"},
    };
    for (const Case& c : cases) {
        PortTestReport report = ReportForListen(4242, c.failure);
        EXPECT_EQ(report.text, c.text);
        EXPECT_EQ(report.caption, c.caption);
        EXPECT_FALSE(report.clearPortText);
    }
}

TEST(LocalPortTest, InsideTheRangeThePortIsTried) {
    // Held here (or by some other program): either way the port is taken,
    // and the answer says so instead of refusing the number.
    for (int port : {1025, 64999}) {
        SCOPED_TRACE(port);
        net::NetworkInit network;
        net::Socket holder = net::ListenTcp("127.0.0.1", port, 1);
        PortTestReport report = TestLocalPort(std::to_string(port), nullptr);
        EXPECT_FALSE(report.clearPortText);
        EXPECT_EQ(report.caption, "Warning");
        EXPECT_EQ(report.text, "Port " + std::to_string(port) +
                                   " is already in use. Please choose another port.");
    }
}

TEST(LocalPortTest, FreePortIsAvailableAndATakenOneIsNot) {
    int freePort;
    {
        HeldPort held;
        ASSERT_NE(held.Port(), 0);
        PortTestReport taken = TestLocalPort(std::to_string(held.Port()), nullptr);
        EXPECT_EQ(taken.caption, "Warning");
        EXPECT_EQ(taken.text, "Port " + std::to_string(held.Port()) +
                                  " is already in use. Please choose another port.");
        EXPECT_FALSE(taken.clearPortText);
        freePort = held.Port();
    }
    PortTestReport available = TestLocalPort(std::to_string(freePort), nullptr);
    EXPECT_EQ(available.text, "Proxy Port is Available and can be used by Veilgate");
    EXPECT_EQ(available.caption, "Success");
}

TEST(LocalPortTest, OurOwnEngineOnThePortCountsAsAvailable) {
    HeldPort held;
    ASSERT_NE(held.Port(), 0);
    FixedEngineStatus ours(held.Port());
    EXPECT_EQ(TestLocalPort(std::to_string(held.Port()), &ours).caption, "Success");
    FixedEngineStatus elsewhere(held.Port() + 1);
    EXPECT_EQ(TestLocalPort(std::to_string(held.Port()), &elsewhere).caption, "Warning");
}

TEST(LocalPortTest, TheStatusOfARealEngine) {
    LocalProxyServer server;
    LocalProxyServerStatus status(server);
    EXPECT_EQ(status.ListeningPort(), 0);
    int port = FreePort();
    ASSERT_TRUE(server.Start(port, 1, net::ProxyAddress("127.0.0.1", 3128)));
    for (int i = 0; i < 200 && !server.IsRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(server.IsRunning());
    EXPECT_EQ(status.ListeningPort(), port);
    EXPECT_EQ(TestLocalPort(std::to_string(port), &status).caption, "Success");
    EXPECT_EQ(TestLocalPort(std::to_string(port), nullptr).caption, "Warning");
    // Paused, the port is still the engine's own.
    server.Pause();
    EXPECT_EQ(status.ListeningPort(), port);
    server.Stop();
    EXPECT_EQ(status.ListeningPort(), 0);
}

}  // namespace
