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
            listRefresh_->OnDownloaded(*outcome);
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
    case WindowBackgroundWork::ProxyTestedMessage: {
        std::unique_ptr<ProxyTestResult> result = WindowBackgroundWork::TakeProxyTestResult(lParam);
        if (result && listCommands_ && !listCommands_->OnProxyTested(*result))
            startUpCheck_->OnProxyTested(*result);
        return true;
    }
    case WindowBackgroundWork::BulkCheckedMessage: {
        std::unique_ptr<BulkChecked> result = WindowBackgroundWork::TakeBulkChecked(lParam);
        if (result && findWorking_)
            findWorking_->OnChecked(*result);
        return true;
    }
    case WindowBackgroundWork::BulkCheckEndedMessage:
        if (findWorking_)
            findWorking_->OnEnded(static_cast<int>(wParam), lParam != 0);
        return true;
    case WindowBackgroundWork::ProxyTestsEndedMessage: {
        bool testedAll = listCommands_ &&
                         listCommands_->OnProxyTestsEnded(static_cast<int>(wParam), lParam != 0);
        if (startUpCheck_ && testedAll)
            startUpCheck_->RecheckIfActiveIsRefused();
        else if (startUpCheck_)
            startUpCheck_->OnProxyTestsEnded(static_cast<int>(wParam), lParam != 0);
        return true;
    }
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
