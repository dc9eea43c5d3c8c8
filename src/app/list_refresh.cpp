#include "app/list_refresh.h"

#include "app/list_commands.h"

std::string CannotUpdateText(const std::string& reason) {
    return list_refresh::CannotUpdatePrefix + reason + ".";
}

ListRefresh::ListRefresh(ProxyActivation& activation, MainWindowView& view, BackgroundWork& work)
    : activation_(activation), view_(view), work_(work) {}

void ListRefresh::StartUp() {
    Start(Kind::StartUp);
}

void ListRefresh::OnRefreshClicked() {
    if (Running())
        return;
    Start(Kind::Refresh);
}

void ListRefresh::Start(Kind kind) {
    running_ = kind;
    ++id_;
    if (!work_.StartListDownload(id_)) {
        ListDownload outcome;
        outcome.id = id_;
        outcome.failure = list_refresh::NoThread;
        Finish(outcome);
        return;
    }
    view_.StartListDeadline(list_refresh::DeadlineMs);
}

void ListRefresh::OnDownloaded(const ListDownload& outcome) {
    if (!Running() || outcome.id != id_)
        return;
    Finish(outcome);
}

void ListRefresh::OnDeadline() {
    view_.StopListDeadline();
    if (!Running())
        return;
    // The worker is asked to give up too; whatever it answers later belongs
    // to a download that is over and is dropped.
    work_.CancelListDownloads();
    ListDownload outcome;
    outcome.id = id_;
    outcome.failure = list_refresh::NoAnswerInTime;
    Finish(outcome);
}

// The stored proxy that the activation step put first stays first, and the
// edit field keeps what it shows.
void ListRefresh::FillAroundStoredProxy(const std::string& reply) {
    std::string editText = view_.SelectorText();
    FillProxySelector(view_, reply);
    if (activation_.HasStartUpItem())
        view_.InsertSelectorItem(0, activation_.StartUpItem());
    view_.SetSelectorText(editText);
}

void ListRefresh::Finish(const ListDownload& outcome) {
    Kind kind = running_;
    running_ = Kind::None;
    view_.StopListDeadline();
    if (!outcome.kept) {
        view_.Tell(outcome.keepError, "");
        if (kind == Kind::StartUp) {
            startUpStopped_ = true;
            activation_.StopStartUp();
        }
        return;
    }
    if (kind == Kind::StartUp) {
        if (outcome.listCame) {
            FillAroundStoredProxy(outcome.reply);
            work_.StartGeneratorRequest();
        }
        return;
    }
    if (!outcome.listCame) {
        view_.Tell(CannotUpdateText(outcome.failure), "Error");
        return;
    }
    std::string editText = view_.SelectorText();
    FillProxySelector(view_, outcome.reply);
    work_.StartGeneratorRequest();
    view_.Tell(list_commands::ListUpdated, activation::ProductName);
    // The browsers never left the engine and the engine still forwards to
    // the active proxy, so nothing is applied again: doing so would re-point
    // every browser on this thread, and make whatever was typed into the
    // field active without a test.
    view_.SetSelectorText(editText);
}
