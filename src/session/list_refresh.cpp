#include "session/list_refresh.h"

#include <utility>

#include "proxies/proxy_list_reply.h"
#include "proxies/proxy_secrets.h"

#include "session/list_commands.h"

std::string CannotUpdateText(const std::string& reason) {
    return list_refresh::CannotUpdatePrefix + reason + ".";
}

void ReadListDownload(ListDownload& outcome, net::ProxyType defaultType) {
    if (!outcome.listCame || outcome.parsed)
        return;
    outcome.list = ParseProxyListText(outcome.reply, defaultType);
    outcome.webPage = LooksLikeWebPage(outcome.reply);
    outcome.parsed = true;
    std::string().swap(outcome.reply);
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
    keepError_.clear();
    sources_.Begin(LoadProxySources());
    const std::vector<ProxySource>& sources = sources_.Sources();
    for (size_t i = 0; i < sources.size(); ++i) {
        if (!work_.StartListDownload(id_, i, sources[i]))
            sources_.Fail(i, list_refresh::NoThread);
    }
    if (sources_.AllAnswered()) {
        Finish();
        return;
    }
    view_.StartListDeadline(list_refresh::DeadlineMs);
}

void ListRefresh::OnDownloaded(ListDownload outcome) {
    if (!Running() || outcome.id != id_)
        return;
    if (!outcome.kept)
        keepError_ = outcome.keepError;
    if (outcome.listCame && outcome.parsed)
        sources_.Take(outcome.source, std::move(outcome.list), outcome.webPage);
    else if (outcome.listCame)
        sources_.Take(outcome.source, outcome.reply);
    else
        sources_.Fail(outcome.source, outcome.failure);
    if (sources_.AllAnswered())
        Finish();
}

void ListRefresh::OnDeadline() {
    view_.StopListDeadline();
    if (!Running())
        return;
    // The workers are asked to give up too; whatever they answer later
    // belongs to a download that is over and is dropped.
    work_.CancelListDownloads();
    sources_.GiveUp(list_refresh::NoAnswerInTime);
    Finish();
}

// The stored proxy that the activation step put first stays first, and the
// edit field keeps what it shows.
void ListRefresh::FillAroundStoredProxy(const std::vector<ListedProxy>& proxies) {
    std::string editText = view_.SelectorText();
    offered_ = proxies;
    FillProxySelector(view_, proxies);
    if (activation_.HasStartUpItem())
        view_.InsertSelectorItem(0, activation_.StartUpItem());
    view_.SetSelectorText(editText);
}

void ListRefresh::Finish() {
    Kind kind = running_;
    running_ = Kind::None;
    view_.StopListDeadline();
    if (!keepError_.empty()) {
        view_.Tell(keepError_, "");
        if (kind == Kind::StartUp) {
            startUpStopped_ = true;
            activation_.StopStartUp();
        }
        return;
    }
    bool listCame = sources_.AnyCame();
    ProxyUnion all = sources_.Union();
    if (kind == Kind::StartUp) {
        if (listCame) {
            FillAroundStoredProxy(all.Proxies());
            work_.StartGeneratorRequest();
        }
        return;
    }
    if (!listCame) {
        view_.Tell(CannotUpdateText(sources_.FirstFailure()), "Error");
        return;
    }
    std::string editText = view_.SelectorText();
    offered_ = all.Proxies();
    FillProxySelector(view_, offered_);
    work_.StartGeneratorRequest();
    view_.SetStatusLine(sources_.Summary(all.Proxies().size(), all.Cut()));
    view_.Tell(list_commands::ListUpdated, activation::ProductName);
    // The browsers never left the engine and the engine still forwards to
    // the active proxy, so nothing is applied again: doing so would re-point
    // every browser on this thread, and make whatever was typed into the
    // field active without a test.
    view_.SetSelectorText(editText);
}

bool ListRefresh::KeepPasswordOfOffered(const std::string& text) const {
    for (const ListedProxy& listed : offered_) {
        if (listed.text == text)
            return KeepPasswordOf(listed.proxy);
    }
    return true;
}
