#include "proxies/proxy_evaluation_dialog_win.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>

#include "ui/data_exchange_win.h"
#include "proxies/proxy_evaluation_dialog_res.h"
#include "proxies/failure_witness.h"
#include "proxies/proxy_line.h"

namespace {

constexpr int TaskColumnWidth = 150;
constexpr int ResponseColumnWidth = 100;
// How long closing the dialog waits for its worker: every wait of the test
// looks at the stop flag far more often than this.
constexpr auto StopWait = std::chrono::milliseconds(1000);

}  // namespace

ProxyEvaluationDialog::ProxyEvaluationDialog() : Dialog(IDD_PROXY_EVALUATION) {
    UseDialogColors();
}

ProxyEvaluationDialog::~ProxyEvaluationDialog() {
    StopTesting();
}

void ProxyEvaluationDialog::SetProxyText(const std::string& proxyText, const std::string& label) {
    ProxyLine proxy(proxyText);
    proxyText_ = proxyText;
    detailsText_ = "Proxy Details: " + proxy.Address();
    if (!label.empty())
        detailsText_ += " -> " + label;
}

bool ProxyEvaluationDialog::OnInitDialog() {
    ui::SetFieldText(Hwnd(), IDC_PROXY_DETAILS, detailsText_);
    MarkProxyUntested();
    AddColumns();
    SendDlgItemMessageA(Hwnd(), IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageA(Hwnd(), IDC_TEST_PROGRESS, PBM_SETPOS, 0, 0);
    startButton_.Attach(IDC_START_TESTING, Hwnd());
    cancelButton_.Attach(IDCANCEL, Hwnd());
    doneButton_.Attach(IDC_EVALUATION_DONE, Hwnd());
    return true;
}

bool ProxyEvaluationDialog::OnCommand(int id, int notifyCode, HWND control) {
    if (notifyCode != BN_CLICKED)
        return false;
    if (id == IDC_START_TESTING) {
        StartTesting();
        return true;
    }
    if (id == IDC_EVALUATION_DONE) {
        StopTesting();
        detailsText_ = ui::GetFieldText(Hwnd(), IDC_PROXY_DETAILS);
        End(IDOK);
        return true;
    }
    return false;
}

void ProxyEvaluationDialog::OnCancel() {
    StopTesting();
    End(IDCANCEL);
}

void ProxyEvaluationDialog::OnDestroy() {
    StopTesting();
}

INT_PTR ProxyEvaluationDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                         bool& handled) {
    if (message == ProgressMessage) {
        handled = true;
        if (worker_)
            TaskListView(Hwnd()).SetProgress(static_cast<int>(wParam));
        return TRUE;
    }
    if (message == CheckedMessage) {
        handled = true;
        std::unique_ptr<ProxyCheck> check(reinterpret_cast<ProxyCheck*>(lParam));
        // An answer from a worker given up is no outcome of this dialog.
        if (!check || !worker_)
            return TRUE;
        worker_->thread.join();
        worker_.reset();
        TaskListView view(Hwnd());
        ShowProxyCheck(*check, view);
        tested_ = true;
        return TRUE;
    }
    return Dialog::OnMessage(message, wParam, lParam, handled);
}

void ProxyEvaluationDialog::AddColumns() {
    HWND list = GetDlgItem(Hwnd(), IDC_TASK_LIST);
    struct Column {
        const char* title;
        int width;
    };
    const Column columns[] = {{"Task Description", TaskColumnWidth},
                              {"Response", ResponseColumnWidth}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<char*>(columns[i].title);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

// A press while a test runs does nothing: its rows are still to come.
void ProxyEvaluationDialog::StartTesting() {
    if (worker_)
        return;
    auto worker = std::make_shared<Worker>();
    HWND window = Hwnd();
    ProxyJudge judge = ConfiguredJudge();
    std::string proxyText = proxyText_;
    try {
        worker->thread = std::thread([worker, window, judge, proxyText] {
            try {
                OwnAddresses own;
                // A judge that cannot be reached directly leaves the level
                // Unknown, unless the proxy shows an address of this machine.
                AskJudgeDirectly(judge, worker->stop, own);
                auto check = std::make_unique<ProxyCheck>(
                    CheckProxyLine(judge, own, proxyText, worker->stop, [&](int position) {
                        if (!worker->stop)
                            PostMessageA(window, ProgressMessage, position, 0);
                    }));
                // A failure removes the proxy only when the judge still
                // answers without it: the user's own connection may be down.
                OwnAddresses after;
                if (IsProxyFailure(*check) && !AskJudgeDirectly(judge, worker->stop, after))
                    check->outcome = CheckOutcome::JudgeUnreachable;
                if (!worker->stop &&
                    PostMessageA(window, CheckedMessage, 0, reinterpret_cast<LPARAM>(check.get())))
                    check.release();
            } catch (...) {
            }
            std::lock_guard<std::mutex> lock(worker->mutex);
            worker->done = true;
            worker->ended.notify_all();
        });
    } catch (...) {
        return;
    }
    worker_ = worker;
    TaskListView(Hwnd()).SetProgress(0);
}

void ProxyEvaluationDialog::StopTesting() {
    if (!worker_)
        return;
    worker_->stop = true;
    bool done = false;
    {
        std::unique_lock<std::mutex> lock(worker_->mutex);
        done = worker_->ended.wait_for(lock, StopWait, [this] { return worker_->done; });
    }
    if (done)
        worker_->thread.join();
    else
        worker_->thread.detach();
    worker_.reset();
}

void ProxyEvaluationDialog::TaskListView::SetProgress(int position) {
    SendDlgItemMessageA(dialog_, IDC_TEST_PROGRESS, PBM_SETPOS, position, 0);
}

int ProxyEvaluationDialog::TaskListView::RowCount() {
    return static_cast<int>(SendDlgItemMessageA(dialog_, IDC_TASK_LIST, LVM_GETITEMCOUNT, 0, 0));
}

void ProxyEvaluationDialog::TaskListView::InsertRow(int row, const std::string& task) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(task.c_str());
    SendDlgItemMessageA(dialog_, IDC_TASK_LIST, LVM_INSERTITEMA, 0,
                        reinterpret_cast<LPARAM>(&item));
}

void ProxyEvaluationDialog::TaskListView::SetResponse(int row, const std::string& response) {
    LVITEMA item{};
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(response.c_str());
    SendDlgItemMessageA(dialog_, IDC_TASK_LIST, LVM_SETITEMTEXTA, row,
                        reinterpret_cast<LPARAM>(&item));
}
