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
    merging_ = false;
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
    if (merging_) {
        OnMerged(MergeLists(id_, sources_.LatestLists()));
        return;
    }
    // The workers are asked to give up too; whatever they answer later
    // belongs to a download that is over and is dropped.
    work_.CancelListDownloads();
    sources_.GiveUp(list_refresh::NoAnswerInTime);
    Finish();
}

// The stored proxy that the activation step put first stays first, and the
// edit field keeps what it shows.
void ListRefresh::FillAroundStoredProxy(std::vector<SelectorItem> items) {
    std::string editText = view_.SelectorText();
    FillProxySelector(view_, std::move(items));
    if (activation_.HasStartUpItem())
        view_.InsertSelectorItem(0, activation_.StartUpItem());
    view_.SetSelectorText(editText);
}

ListMerged MergeLists(int id, const std::vector<SharedProxyList>& lists) {
    ListMerged merged;
    merged.id = id;
    ProxyUnion all = UnionOf(lists);
    merged.cut = all.Cut();
    merged.proxies = all.Take();
    merged.items = SelectorItemsOf(merged.proxies);
    return merged;
}

void ListRefresh::Finish() {
    if (merging_)
        return;
    view_.StopListDeadline();
    Kind kind = running_;
    if (!keepError_.empty()) {
        running_ = Kind::None;
        view_.Tell(keepError_, "");
        if (kind == Kind::StartUp) {
            startUpStopped_ = true;
            activation_.StopStartUp();
        }
        return;
    }
    if (!sources_.AnyCame()) {
        running_ = Kind::None;
        if (kind == Kind::Refresh)
            view_.Tell(CannotUpdateText(sources_.FirstFailure()), "Error");
        return;
    }
    merging_ = true;
    // Should the worker's answer be lost, the deadline makes the union here.
    if (work_.StartListMerge(id_, sources_.LatestLists()))
        view_.StartListDeadline(list_refresh::DeadlineMs);
    else
        OnMerged(MergeLists(id_, sources_.LatestLists()));
}

void ListRefresh::OnMerged(ListMerged merged) {
    if (!merging_ || merged.id != id_)
        return;
    merging_ = false;
    view_.StopListDeadline();
    Kind kind = running_;
    running_ = Kind::None;
    Show(kind, std::move(merged));
}

void ListRefresh::Show(Kind kind, ListMerged merged) {
    size_t count = merged.proxies.size();
    offered_ = std::move(merged.proxies);
    if (kind == Kind::StartUp) {
        FillAroundStoredProxy(std::move(merged.items));
        work_.StartGeneratorRequest();
        return;
    }
    std::string editText = view_.SelectorText();
    FillProxySelector(view_, std::move(merged.items));
    work_.StartGeneratorRequest();
    view_.SetStatusLine(sources_.Summary(count, merged.cut));
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
