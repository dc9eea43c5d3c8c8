#include "app/dialogs/protection_dialog_win.h"

#include "app/dialogs/protection_dialog_res.h"
#include "app/report_privacy.h"
#include "ui/clipboard_win.h"
#include "ui/message_box.h"

namespace {

constexpr COLORREF OkColor = RGB(0, 110, 0);
constexpr COLORREF ProblemColor = RGB(190, 0, 0);
constexpr COLORREF UncheckedColor = RGB(90, 90, 90);

}  // namespace

ProtectionDialog::ProtectionDialog(ProtectionWork& work)
    : Dialog(IDD_PROTECTION_CHECK), work_(work) {
    UseDialogColors();
}

ProtectionDialog::~ProtectionDialog() {
    StopWorker();
}

bool ProtectionDialog::OnInitDialog() {
    // The verdicts in bold, so that a glance down the column tells.
    LOGFONTA font{};
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(Hwnd(), WM_GETFONT, 0, 0));
    if (dialogFont && GetObjectA(dialogFont, sizeof font, &font)) {
        font.lfWeight = FW_BOLD;
        boldFont_.Reset(CreateFontIndirectA(&font));
    }
    for (int i = 0; i < protection::ItemCount; ++i) {
        if (boldFont_)
            SendDlgItemMessageA(Hwnd(), IDC_ITEM_VERDICT + i, WM_SETFONT,
                                reinterpret_cast<WPARAM>(boldFont_.Get()), FALSE);
    }
    Start(protection::Fix::None);
    return true;
}

void ProtectionDialog::Start(protection::Fix fix) {
    StopWorker();
    stop_ = false;
    SetBusy(true, fix == protection::Fix::None ? Checking : Fixing);
    protection::EngineState state = work_.CurrentState();
    HWND window = Hwnd();
    ProtectionWork* work = &work_;
    std::atomic<bool>* stop = &stop_;
    worker_ = std::thread([window, work, stop, state, fix]() {
        // Nothing may unwind out of a thread.
        try {
            auto report = std::make_unique<Report>();
            if (fix != protection::Fix::None)
                work->ApplyFix(fix, state, report->told);
            report->items = work->Check(state, *stop);
            if (*stop)
                return;
            if (PostMessageA(window, CheckedMessage, 0, reinterpret_cast<LPARAM>(report.get())))
                report.release();
        } catch (...) {
        }
    });
}

void ProtectionDialog::StopWorker() {
    // Every step of the check looks at the flag within a fraction of a second.
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

void ProtectionDialog::OnDestroy() {
    StopWorker();
    // A report posted just before the stop is freed with the message queue's
    // last look here.
    MSG message;
    while (PeekMessageA(&message, Hwnd(), CheckedMessage, CheckedMessage, PM_REMOVE))
        delete reinterpret_cast<Report*>(message.lParam);
}

INT_PTR ProtectionDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message != CheckedMessage)
        return 0;
    handled = true;
    std::unique_ptr<Report> report(reinterpret_cast<Report*>(lParam));
    if (worker_.joinable())
        worker_.join();
    Show(*report);
    if (!report->told.empty())
        ui::ShowMessage(Hwnd(), report->told, "Veilgate");
    return TRUE;
}

void ProtectionDialog::Show(const Report& report) {
    items_ = report.items;
    for (int i = 0; i < protection::ItemCount; ++i) {
        bool shown = i < static_cast<int>(items_.size());
        const protection::Item* item = shown ? &items_[static_cast<size_t>(i)] : nullptr;
        SetDlgItemTextA(Hwnd(), IDC_ITEM_TITLE + i, item ? item->title.c_str() : "");
        SetDlgItemTextA(Hwnd(), IDC_ITEM_VERDICT + i,
                        item ? protection::VerdictWord(item->verdict) : "");
        SetDlgItemTextA(Hwnd(), IDC_ITEM_SENTENCE + i, item ? item->sentence.c_str() : "");
        ShowWindow(Item(IDC_ITEM_FIX + i),
                   item && item->fix != protection::Fix::None ? SW_SHOW : SW_HIDE);
    }
    SetBusy(false, Checked);
}

void ProtectionDialog::SetBusy(bool busy, const char* status) {
    busy_ = busy;
    SetDlgItemTextA(Hwnd(), IDC_CHECK_STATUS, status);
    EnableWindow(Item(IDC_CHECK_AGAIN), !busy);
    EnableWindow(Item(IDC_COPY_REPORT), !busy && !items_.empty());
    for (int i = 0; i < protection::ItemCount; ++i)
        EnableWindow(Item(IDC_ITEM_FIX + i), !busy);
}

bool ProtectionDialog::OnCommand(int id, int notifyCode, HWND control) {
    if (notifyCode != BN_CLICKED)
        return false;
    if (id == IDC_CLOSE_CHECK) {
        End(IDCANCEL);
        return true;
    }
    if (busy_)
        return true;
    if (id == IDC_CHECK_AGAIN) {
        Start(protection::Fix::None);
        return true;
    }
    if (id == IDC_COPY_REPORT) {
        CopyReport();
        return true;
    }
    int row = id - IDC_ITEM_FIX;
    if (row >= 0 && row < static_cast<int>(items_.size())) {
        protection::Fix fix = items_[static_cast<size_t>(row)].fix;
        if (PointsBrowsers(fix)) {
            SetBusy(true, Fixing);
            work_.PointBrowsers(fix);
            fix = protection::Fix::None;
        }
        Start(fix);
        return true;
    }
    return false;
}

HBRUSH ProtectionDialog::OnCtlColor(HDC dc, HWND control, UINT message) {
    HBRUSH brush = Dialog::OnCtlColor(dc, control, message);
    int row = GetDlgCtrlID(control) - IDC_ITEM_VERDICT;
    if (message == WM_CTLCOLORSTATIC && row >= 0 && row < static_cast<int>(items_.size())) {
        protection::Verdict verdict = items_[static_cast<size_t>(row)].verdict;
        SetTextColor(dc, verdict == protection::Verdict::Ok        ? OkColor
                         : verdict == protection::Verdict::Problem ? ProblemColor
                                                                   : UncheckedColor);
    }
    return brush;
}

// The user's own addresses and proxy user names stay out of what is copied
// unless asked for, and the copy stays out of the clipboard's history.
void ProtectionDialog::CopyReport() {
    std::string text = protection::ReportText(items_);
    if (IsDlgButtonChecked(Hwnd(), IDC_INCLUDE_ADDRESSES) != BST_CHECKED)
        text = protection::WithoutAddresses(text);
    ui::CopyPrivateText(Hwnd(), text);
}
