// "Proxy Sources": the lists "Refresh List" downloads and the test pages.
// The window shows and forwards; SourcesEditor holds the rules. "Test" asks
// each page directly on a worker thread, so the window keeps answering.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "proxies/list_sources/sources_editor.h"
#include "ui/dialog_win.h"

class ProxySourcesDialog : public ui::Dialog {
public:
    // lParam: the test's text (a std::string the receiver takes).
    static constexpr UINT JudgesTestedMessage = WM_APP + 40;

    ProxySourcesDialog();
    ~ProxySourcesDialog() override;

    const SourcesEditor& Editor() const { return editor_; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;
    bool OnNotify(int id, NMHDR& header, LRESULT& result) override;
    void OnOK() override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    struct Test {
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
        std::thread thread;
    };

    void ShowSources(int selected);
    int SelectedRow() const;
    net::ProxyType ChosenType() const;
    void AddSource();
    void BrowseForFile();
    void TestJudges();
    void StopTest();

    SourcesEditor editor_;
    // Set while the list is being filled, when its tick changes are ours.
    bool filling_ = false;
    std::shared_ptr<Test> test_;
};
