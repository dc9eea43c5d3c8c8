// What the workers and the engine's threads post to the window, handed to
// the logic on the window's own thread.
#include "app/main_window_win.h"

#include "app/main_window_parts_win.h"
#include "app/main_window_res.h"
#include "privacy/privacy_runtime_win.h"
#include "session/failover.h"
#include "ui/message_box.h"

bool MainWindow::OnWorkMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WindowBackgroundWork::ListDownloadedMessage: {
        std::unique_ptr<ListDownload> outcome = WindowBackgroundWork::TakeListDownload(lParam);
        if (outcome && listRefresh_)
            listRefresh_->OnDownloaded(std::move(*outcome));
        return true;
    }
    case WindowBackgroundWork::ListMergedMessage: {
        std::unique_ptr<ListMerged> merged = WindowBackgroundWork::TakeListMerged(lParam);
        if (merged && listRefresh_)
            listRefresh_->OnMerged(std::move(*merged));
        return true;
    }
    case WindowBackgroundWork::ListLoadedMessage: {
        std::unique_ptr<ListLoaded> loaded = WindowBackgroundWork::TakeListLoaded(lParam);
        if (loaded && activation_)
            OnListLoaded(std::move(*loaded));
        return true;
    }
    case TraceCleanerWork::CleanReportMessage: {
        std::unique_ptr<std::string> report = TraceCleanerWork::TakeCleanReport(lParam);
        if (report)
            ui::ShowMessage(Hwnd(), *report, "Veilgate");
        return true;
    }
    case main_window::ListRowsMessage:
        if (activation_)
            TakeListRowsStep();
        return true;
    case main_window::ListSaveFailedMessage: {
        std::unique_ptr<std::string> error(reinterpret_cast<std::string*>(lParam));
        if (activation_ && !ending_)
            activation_->OnListSaveFailed(*error);
        return true;
    }
    case main_window::TellIfUnwatchedMessage:
        selfWatch_.TellIfUnwatched();
        return true;
    case main_window::FailedOverMessage: {
        std::unique_ptr<main_window::EngineSwitch> change(
            reinterpret_cast<main_window::EngineSwitch*>(lParam));
        if (activation_)
            OnFailedOver(*activation_, *this, change->from, change->to);
        return true;
    }
    case WindowBackgroundWork::RunResultsMessage:
        TakeRunResults();
        return true;
    case WindowBackgroundWork::RotationTestedMessage: {
        std::unique_ptr<ProxyTestResult> result = WindowBackgroundWork::TakeProxyTestResult(lParam);
        if (result && rotation_)
            rotation_->OnTested(*result);
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::TakeRunResults() {
    if (!work_ || !listCommands_ || !startUpCheck_ || !findWorking_)
        return;
    // The list is not redrawn for each row a batch removes or adds: under
    // Wine each change repainted it and its scroll bar, and a batch of 256
    // held the window for seconds. It is drawn again before anything that
    // may tell the user, and after the batch.
    HWND list = Item(IDC_TESTED_PROXIES);
    bool paused = false;
    auto pause = [&] {
        if (!paused)
            SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        paused = true;
    };
    auto resume = [&] {
        if (paused) {
            SendMessageA(list, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(list, nullptr, TRUE);
        }
        paused = false;
    };
    for (const RunResult& result : work_->TakeRunResults()) {
        bool ends = result.kind == RunResult::Kind::ProxyTestsEnded ||
                    result.kind == RunResult::Kind::BulkCheckEnded;
        if (ends)
            resume();
        else
            pause();
        switch (result.kind) {
        case RunResult::Kind::ProxyTested:
            if (!listCommands_->TakeResult(result.tested))
                startUpCheck_->OnProxyTested(result.tested);
            break;
        case RunResult::Kind::ProxyTestsEnded:
            if (listCommands_->OnProxyTestsEnded(result.run, result.judgeReached))
                startUpCheck_->RecheckIfActiveIsRefused();
            else
                startUpCheck_->OnProxyTestsEnded(result.run, result.judgeReached);
            break;
        case RunResult::Kind::BulkChecked:
            findWorking_->TakeChecked(result.checked);
            break;
        case RunResult::Kind::BulkCheckEnded:
            findWorking_->OnEnded(result.run, result.judgeReached);
            break;
        }
    }
    resume();
    listCommands_->EndBatch();
    findWorking_->EndBatch();
}
