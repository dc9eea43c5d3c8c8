// The proxy evaluation dialog, driven with window messages; the proxies are
// real listeners on 127.0.0.1 and the outcome is read from the real registry.
// The judge is the stand-in list service, which also answers requests in a
// proxy's absolute form: asked as a proxy, it passes the user's own address
// on, as a transparent proxy does.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "dialog_harness.h"
#include "held_port.h"
#include "list_service_win.h"
#include "net/socket.h"
#include "proxies/proxy_evaluation_dialog_res.h"
#include "proxies/proxy_evaluation_dialog_win.h"
#include "registry_test_support.h"
#include "temp_folder.h"
#include "wait_for.h"

using namespace harness;
using namespace testing_support;

namespace {

std::string Cell(HWND dialog, int row, int column) {
    char buffer[256] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendDlgItemMessageA(dialog, IDC_TASK_LIST, LVM_GETITEMTEXTA, row,
                        reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int Rows(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_TASK_LIST, LVM_GETITEMCOUNT, 0, 0));
}

int Progress(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_TEST_PROGRESS, PBM_GETPOS, 0, 0));
}

std::string Text(const char* name) {
    std::string text = "(missing)";
    ReadText(ProductRoot, ProductKey, name, text);
    return text;
}

DWORD Fail() {
    DWORD value = 0xdeadbeef;
    ReadDword(ProductRoot, ProductKey, "FAIL", value);
    return value;
}

// A proxy that accepts connections: a listener whose backlog completes them.
constexpr int ReachableProxyBacklog = 16;

class EvaluationDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteText(ProductRoot, ProductKey, "TMPResponseTime", "old time");
        WriteText(ProductRoot, ProductKey, "TMPDownloadSpeed", "old speed");
        WriteDword(ProductRoot, ProductKey, "FAIL", 7);
        std::ofstream(folder_.File("proxies.txt")) << "1.1.1.1:80->X\n";
        ASSERT_TRUE(judge_.Start(folder_.File("proxies.txt"), folder_.File("judge.port"),
                                 folder_.File("judge.log"), false));
        WriteText(ProductRoot, ProductKey, "JudgeUrl",
                  "http://127.0.0.1:" + std::to_string(judge_.Port()) +
                      "/services/whatismyip/whatismyip.asp");
    }
    void TearDown() override { WriteText(ProductRoot, ProductKey, "JudgeUrl", ""); }
    HWND Open(const std::string& host, int port) {
        dialog_.SetProxyText(host + ":" + std::to_string(port));
        return dialog_.Create();
    }
    // Presses "Start Testing" and lets the dialog take the worker's
    // messages until the test is over.
    void RunTest(HWND hwnd) {
        Click(hwnd, IDC_START_TESTING);
        EXPECT_TRUE(dialog_.Testing());
        EXPECT_TRUE(WaitFor(
            [&] {
                PumpMessages();
                return !dialog_.Testing();
            },
            std::chrono::seconds(20)));
    }

    CapturedMessages messages_;
    TempFolder folder_;
    ListService judge_;
    ProxyEvaluationDialog dialog_;
};

TEST_F(EvaluationDialogTest, DetailsLineInBothForms) {
    ProxyEvaluationDialog plain;
    plain.SetProxyText("10.1.2.3:8080");
    EXPECT_EQ(plain.DetailsText(), "Proxy Details: 10.1.2.3:8080");
    ProxyEvaluationDialog labelled;
    labelled.SetProxyText("10.1.2.3:8080", "X");
    EXPECT_EQ(labelled.DetailsText(), "Proxy Details: 10.1.2.3:8080 -> X");
    HWND hwnd = labelled.Create();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(TextOf(hwnd, IDC_PROXY_DETAILS), "Proxy Details: 10.1.2.3:8080 -> X");
}

TEST_F(EvaluationDialogTest, OpeningMarksTheProxyUntestedAndKeepsFail) {
    HWND hwnd = Open("127.0.0.1", 3128);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(Text("TMPResponseTime"), "Not Tested");
    EXPECT_EQ(Text("TMPDownloadSpeed"), "N/A");
    EXPECT_EQ(Fail(), 7u);
    EXPECT_EQ(Rows(hwnd), 0);
    EXPECT_EQ(Progress(hwnd), 0);
    HWND header =
        reinterpret_cast<HWND>(SendDlgItemMessageA(hwnd, IDC_TASK_LIST, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(hwnd, IDC_TASK_LIST, LVM_GETCOLUMNWIDTH, 0, 0), 150);
    EXPECT_EQ(SendDlgItemMessageA(hwnd, IDC_TASK_LIST, LVM_GETCOLUMNWIDTH, 1, 0), 100);
}

TEST_F(EvaluationDialogTest, DoneBeforeAnyTestLeavesNotTested) {
    HWND hwnd = Open("127.0.0.1", 3128);
    Click(hwnd, IDC_EVALUATION_DONE);
    EXPECT_EQ(dialog_.Result(), IDOK);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Text("TMPResponseTime"), "Not Tested");
    EXPECT_EQ(Text("TMPDownloadSpeed"), "N/A");
    EXPECT_EQ(Fail(), 7u);
    // So the caller knows that FAIL is an earlier test's, not this proxy's.
    EXPECT_FALSE(dialog_.Tested());
}

TEST_F(EvaluationDialogTest, TwoPressesThroughATransparentProxyGiveTwelveRows) {
    HWND hwnd = Open("127.0.0.1", judge_.Port());
    RunTest(hwnd);
    EXPECT_TRUE(dialog_.Tested());
    RunTest(hwnd);
    ASSERT_EQ(Rows(hwnd), 12);
    for (int first : {0, 6}) {
        SCOPED_TRACE(first);
        EXPECT_EQ(Cell(hwnd, first, 0), "Get proxy response time");
        EXPECT_NE(Cell(hwnd, first, 1).find(" milliseconds"), std::string::npos);
        EXPECT_EQ(Cell(hwnd, first + 1, 0), "Get proxy download speed");
        EXPECT_NE(Cell(hwnd, first + 1, 1).find(" KB/sec"), std::string::npos);
        EXPECT_EQ(Cell(hwnd, first + 2, 1), "Proxy ready");
        EXPECT_EQ(Cell(hwnd, first + 3, 1), "Transparent - sites see your IP");
        EXPECT_EQ(Cell(hwnd, first + 4, 1), "127.0.0.1");
        EXPECT_EQ(Cell(hwnd, first + 5, 1), "Not supported");
    }
    EXPECT_EQ(Progress(hwnd), 100);
    EXPECT_EQ(Text("TMPResponseTime"), Cell(hwnd, 6, 1));
    EXPECT_EQ(Text("TMPDownloadSpeed"), Cell(hwnd, 7, 1));
    EXPECT_EQ(Text("TMPAnonymity"), "Transparent");
    EXPECT_EQ(Fail(), 0u);
    EXPECT_TRUE(messages_.shown.empty());

    Click(hwnd, IDC_EVALUATION_DONE);
    EXPECT_EQ(dialog_.Result(), IDOK);
}

TEST_F(EvaluationDialogTest, RefusedSilentAndUnknownProxiesAddOneFailureRowEach) {
    HeldPort silent(ReachableProxyBacklog);  // accepts and never answers
    // Nothing listens: connections are refused at once. Taken after the
    // silent one, which the search would otherwise find again.
    int refused = FreePort();
    struct Row {
        std::string host;
        int port;
        const char* response;
    } rows[] = {{"127.0.0.1", refused, "Connection Failure"},
                {"127.0.0.1", silent.Port(), "No answer through the proxy"},
                {"no-such-host.invalid", 8080, "Connection Failure"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.response);
        ProxyEvaluationDialog dialog;
        dialog.SetProxyText(row.host + std::string(":") + std::to_string(row.port));
        HWND hwnd = dialog.Create();
        Click(hwnd, IDC_START_TESTING);
        EXPECT_TRUE(WaitFor(
            [&] {
                PumpMessages();
                return !dialog.Testing();
            },
            std::chrono::seconds(20)));
        ASSERT_EQ(Rows(hwnd), 1);
        EXPECT_EQ(Cell(hwnd, 0, 0), "Proxy server is NOT AVAILABLE");
        EXPECT_EQ(Cell(hwnd, 0, 1), row.response);
        EXPECT_EQ(Progress(hwnd), 100);
        EXPECT_EQ(Text("TMPResponseTime"), "");
        EXPECT_EQ(Text("TMPDownloadSpeed"), "N/A");
        EXPECT_EQ(Fail(), 1u);
    }
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(EvaluationDialogTest, CancelDuringATestEndsItAtOnce) {
    HeldPort silent(ReachableProxyBacklog);
    HWND hwnd = Open("127.0.0.1", silent.Port());
    Click(hwnd, IDC_START_TESTING);
    ASSERT_TRUE(dialog_.Testing());
    auto pressed = std::chrono::steady_clock::now();
    Click(hwnd, IDCANCEL);
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(1500));
    EXPECT_EQ(dialog_.Result(), IDCANCEL);
    EXPECT_FALSE(dialog_.Testing());
    EXPECT_FALSE(dialog_.Tested());
    EXPECT_EQ(Fail(), 7u);
}

TEST_F(EvaluationDialogTest, CancelAfterASuccessfulTestLeavesItsValues) {
    HWND hwnd = Open("127.0.0.1", judge_.Port());
    RunTest(hwnd);
    std::string time = Cell(hwnd, 0, 1);
    Click(hwnd, IDCANCEL);
    EXPECT_EQ(dialog_.Result(), IDCANCEL);
    EXPECT_EQ(Text("TMPResponseTime"), time);
    EXPECT_EQ(Fail(), 0u);
}

TEST_F(EvaluationDialogTest, ButtonsAreColourButtonsAndNoneIsDisabled) {
    HWND hwnd = Open("127.0.0.1", 3128);
    for (int id : {IDC_START_TESTING, IDCANCEL, IDC_EVALUATION_DONE}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(GetWindowLongPtrA(Control(hwnd, id), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
        EXPECT_TRUE(IsWindowEnabled(Control(hwnd, id)));
    }
}

TEST_F(EvaluationDialogTest, CaptionEndsWithAnEllipsis) {
    HWND hwnd = Open("127.0.0.1", 3128);
    wchar_t caption[128] = {};
    GetWindowTextW(hwnd, caption, 128);
    EXPECT_EQ(std::wstring(caption), L"Testing in Progress. Please wait a few seconds\x2026");
}

TEST(EvaluationDialogModal, DoneAnswersOK) {
    CapturedMessages messages;
    ProxyEvaluationDialog dialog;
    dialog.SetProxyText("127.0.0.1:3128");
    ModalDriver driver("Testing in Progress. Please wait a few seconds\x85",
                       [](HWND hwnd) { Click(hwnd, IDC_EVALUATION_DONE); });
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

}  // namespace
