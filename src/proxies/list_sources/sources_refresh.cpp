#include "proxies/list_sources/sources_refresh.h"

#include "proxies/proxy_list_reply.h"

void SourcesRefresh::Begin(const std::vector<ProxySource>& sources) {
    sources_.clear();
    for (const ProxySource& source : sources) {
        if (source.ticked)
            sources_.push_back(source);
    }
    answers_.assign(sources_.size(), Answer());
}

void SourcesRefresh::Take(size_t index, const std::string& bytes) {
    if (index >= answers_.size() || answers_[index].answered)
        return;
    Take(index, ParseProxyListText(bytes, sources_[index].defaultType), LooksLikeWebPage(bytes));
}

void SourcesRefresh::Take(size_t index, ParsedProxyList list, bool webPage) {
    if (index >= answers_.size() || answers_[index].answered)
        return;
    // A reply that names no proxy (an error or sign-in page, an empty reply,
    // the maker's list of only "null" entries) never takes the place of what
    // the source gave before.
    bool anyProxy = false;
    for (const ListedProxy& listed : list.proxies)
        anyProxy = anyProxy || (!listed.proxy.host.empty() && listed.proxy.port > 0);
    if (!anyProxy) {
        Fail(index,
             DownloadFailureText(webPage ? DownloadFailure::WebPage : DownloadFailure::NotAList));
        return;
    }
    answers_[index].answered = true;
    answers_[index].cut = list.cut;
    lists_[sources_[index].location] = std::make_shared<const ParsedProxyList>(std::move(list));
}

void SourcesRefresh::Fail(size_t index, const std::string& failure) {
    if (index >= answers_.size() || answers_[index].answered)
        return;
    answers_[index].answered = true;
    answers_[index].failure = failure.empty() ? "no list came" : failure;
}

void SourcesRefresh::GiveUp(const std::string& failure) {
    for (size_t i = 0; i < answers_.size(); ++i)
        Fail(i, failure);
}

bool SourcesRefresh::AllAnswered() const {
    for (const Answer& answer : answers_) {
        if (!answer.answered)
            return false;
    }
    return true;
}

bool SourcesRefresh::AnyCame() const {
    for (const Answer& answer : answers_) {
        if (answer.answered && answer.failure.empty())
            return true;
    }
    return false;
}

std::string SourcesRefresh::FirstFailure() const {
    for (const Answer& answer : answers_) {
        if (!answer.failure.empty())
            return answer.failure;
    }
    return "";
}

std::vector<SharedProxyList> SourcesRefresh::LatestLists() const {
    std::vector<SharedProxyList> latest;
    for (const ProxySource& source : sources_) {
        auto list = lists_.find(source.location);
        if (list != lists_.end())
            latest.push_back(list->second);
    }
    return latest;
}

ProxyUnion UnionOf(const std::vector<SharedProxyList>& lists) {
    ProxyUnion all;
    size_t count = 0;
    for (const SharedProxyList& list : lists)
        count += list->proxies.size();
    all.Reserve(count);
    for (const SharedProxyList& list : lists) {
        for (const ListedProxy& listed : list->proxies) {
            if (!all.Add(listed) && all.Cut())
                return all;
        }
    }
    return all;
}

std::string GroupedNumber(size_t number) {
    std::string digits = std::to_string(number);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string SourcesRefresh::Summary(size_t count, bool cut) const {
    std::string failures;
    size_t failed = 0;
    bool sourceCut = false;
    for (size_t i = 0; i < answers_.size(); ++i) {
        sourceCut = sourceCut || answers_[i].cut;
        if (answers_[i].failure.empty())
            continue;
        ++failed;
        failures +=
            (failures.empty() ? "" : "; ") + SourceName(sources_[i]) + ": " + answers_[i].failure;
    }
    std::string text =
        "Proxy list updated: " + GroupedNumber(count) + (count == 1 ? " proxy" : " proxies") +
        " from " + GroupedNumber(sources_.size()) + (sources_.size() == 1 ? " source" : " sources");
    if (failed > 0)
        text += "; " + GroupedNumber(failed) + (failed == 1 ? " source" : " sources") +
                " failed (" + failures + ")";
    text += ".";
    if (cut || sourceCut)
        text +=
            " Only the first " + GroupedNumber(MaxListedProxies) + " proxies of a list are kept.";
    return text;
}
