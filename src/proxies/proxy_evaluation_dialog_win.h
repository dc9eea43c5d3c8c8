// The window in which one proxy is tested. The caller sets the proxy, runs
// the dialog modally, and after "Done" (IDOK) reads the outcome that the test
// left in TMPResponseTime, TMPDownloadSpeed, TMPAnonymity and FAIL. The test
// runs on a worker thread, so the dialog keeps answering; "Cancel Testing"
// and closing the dialog give the test up at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ui/color_button_win.h"
#include "ui/dialog_win.h"
#include "proxies/proxy_tester.h"

class ProxyEvaluationDialog : public ui::Dialog {
public:
    // wParam: the progress bar's position.
    static constexpr UINT ProgressMessage = WM_APP + 20;
    // lParam: the ProxyCheck, which the receiver takes.
    static constexpr UINT CheckedMessage = WM_APP + 21;

    ProxyEvaluationDialog();
    ~ProxyEvaluationDialog() override;

    // Details line "Proxy Details: host:port -> label" for a proxy text of
    // any type ("socks5://1.2.3.4:1080"): its address as the list shows it,
    // and the label (the proxy's country text from the list) when not
    // empty. A text without a scheme is tested for each type in turn.
    void SetProxyText(const std::string& proxyText, const std::string& label = "");
    const std::string& DetailsText() const { return detailsText_; }
    // Whether "Start Testing" ran in this dialog: without that, the hand-over
    // values still hold what an earlier test left, not this proxy's outcome.
    bool Tested() const { return tested_; }
    bool Testing() const { return worker_ != nullptr; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;
    void OnCancel() override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // The test run's rows and progress, shown in this dialog's controls.
    class TaskListView : public TestRunView {
    public:
        explicit TaskListView(HWND dialog) : dialog_(dialog) {}
        void SetProgress(int position) override;
        int RowCount() override;
        void InsertRow(int row, const std::string& task) override;
        void SetResponse(int row, const std::string& response) override;

    private:
        HWND dialog_;
    };

    // What the dialog and its worker share; the worker keeps it alive, so
    // one left to end on its own still has its flag.
    struct Worker {
        std::atomic<bool> stop{false};
        std::thread thread;
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };

    void AddColumns();
    void StartTesting();
    // Asks the worker to give up and waits a little for it; one held by a
    // name look-up is left to end on its own (it posts to no window then).
    void StopTesting();

    std::string proxyText_;  // what is tested
    std::string detailsText_;
    bool tested_ = false;
    std::shared_ptr<Worker> worker_;
    ui::ColorButton startButton_;
    ui::ColorButton cancelButton_;
    ui::ColorButton doneButton_;
};
