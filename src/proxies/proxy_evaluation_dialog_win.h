// The window in which one proxy is tested. The caller sets the proxy, runs
// the dialog modally, and after "Done" (IDOK) reads the outcome that the test
// left in TMPResponseTime, TMPDownloadSpeed and FAIL.
#pragma once

#include <string>

#include "ui/color_button_win.h"
#include "ui/dialog_win.h"
#include "proxies/proxy_tester.h"

class ProxyEvaluationDialog : public ui::Dialog {
public:
    ProxyEvaluationDialog();

    // Details line "Proxy Details: host:port".
    void SetProxy(const std::string& host, int port);
    // Details line "Proxy Details: host:port -> label" (the label is the
    // proxy's country text from the list).
    void SetProxy(const std::string& host, int port, const std::string& label);

    const std::string& Host() const { return host_; }
    int Port() const { return port_; }
    const std::string& DetailsText() const { return detailsText_; }
    // Whether "Start Testing" ran in this dialog: without that, the hand-over
    // values still hold what an earlier test left, not this proxy's outcome.
    bool Tested() const { return tested_; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;

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

    void AddColumns();
    void StartTesting();

    std::string host_;
    int port_ = 0;
    std::string detailsText_;
    bool tested_ = false;
    ui::ColorButton startButton_;
    ui::ColorButton cancelButton_;
    ui::ColorButton doneButton_;
};
