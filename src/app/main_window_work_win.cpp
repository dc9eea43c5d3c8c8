// What the workers and the engine's threads post to the window, handed to
// the logic on the window's own thread.
#include "app/main_window_win.h"

#include "app/main_window_parts_win.h"
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
    case TraceCleanerWork::CleanReportMessage: {
        std::unique_ptr<std::string> report = TraceCleanerWork::TakeCleanReport(lParam);
        if (report)
            ui::ShowMessage(Hwnd(), *report, "Veilgate");
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
    for (const RunResult& result : work_->TakeRunResults()) {
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
    listCommands_->EndBatch();
    findWorking_->EndBatch();
}
