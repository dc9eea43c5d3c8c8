// "Check My Protection": one row an item (its title, "OK", "Problem" or
// "Could not check", a sentence, and "Fix" where Veilgate can put it right),
// "Check Again", "Copy" (the report as plain text to the clipboard, the
// user's addresses left out unless "Include my addresses" is ticked) and
// "Close". The check and every fix run on a worker thread; the window only
// shows what the worker posts.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/protection_check.h"
#include "base/scoped_win.h"
#include "ui/dialog_win.h"

// What the dialog runs. CurrentState is asked on the window's thread before
// each run; Check and ApplyFix run on the worker thread.
class ProtectionWork {
public:
    virtual ~ProtectionWork() = default;
    virtual protection::EngineState CurrentState() = 0;
    virtual std::vector<protection::Item> Check(const protection::EngineState& state,
                                                const std::atomic<bool>& stop) = 0;
    // Puts the item right on the worker thread; `told` is set to what the
    // user must hear, if anything (a write Windows refused).
    virtual void ApplyFix(protection::Fix fix, const protection::EngineState& state,
                          std::string& told) = 0;
    // The fixes that point the browsers at the engine (PointsBrowsers), on
    // the window's thread: they go through the program's one switch of the
    // browsers, which records what the user had first, so that every
    // restore undoes them.
    virtual void PointBrowsers(protection::Fix fix) = 0;
};

// Whether a fix is the browsers pointed at the engine.
inline bool PointsBrowsers(protection::Fix fix) {
    return fix == protection::Fix::PointConnections || fix == protection::Fix::PointFirefox;
}

class ProtectionDialog : public ui::Dialog {
public:
    // Lparam of the posted message: a Report the window takes.
    static constexpr UINT CheckedMessage = WM_APP + 60;
    static constexpr char Checking[] = "Checking...";
    static constexpr char Fixing[] = "Fixing...";
    static constexpr char Checked[] = "Checked.";

    // `work` must outlive the dialog.
    explicit ProtectionDialog(ProtectionWork& work);
    ~ProtectionDialog() override;

    // The last report's items (empty while the first check runs).
    const std::vector<protection::Item>& Items() const { return items_; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
    void OnOK() override {}
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    struct Report {
        std::vector<protection::Item> items;
        std::string told;
    };

    // Starts the worker: the fix first when there is one, then the check.
    void Start(protection::Fix fix);
    void StopWorker();
    void Show(const Report& report);
    void SetBusy(bool busy, const char* status);
    void CopyReport();

    ProtectionWork& work_;
    std::vector<protection::Item> items_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    bool busy_ = false;
    base::ScopedGdiObject boldFont_;
};
