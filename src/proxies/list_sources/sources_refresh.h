// One "Refresh List" over every ticked source at once: each source's answer
// is read as it comes, a source that fails keeps the proxies it gave at its
// last success in this run of the program, and the selector gets the union of
// all, without repeats, in source order, with one line that says what came.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "proxies/list_sources/proxy_sources.h"
#include "proxies/proxy_list_text.h"

// A source's list, shared rather than copied: the union is made on a worker
// while the refresh keeps the lists for the next run.
using SharedProxyList = std::shared_ptr<const ParsedProxyList>;

// The union of `lists`, in their order.
ProxyUnion UnionOf(const std::vector<SharedProxyList>& lists);

class SourcesRefresh {
public:
    // A new run over the ticked ones of `sources`; answers for an earlier
    // run are not taken after this.
    void Begin(const std::vector<ProxySource>& sources);
    // The sources of the run, in order; Take answers them by index.
    const std::vector<ProxySource>& Sources() const { return sources_; }

    // Source `index` sent `bytes`, or failed (`failure` says why: "the list
    // service stopped answering").
    void Take(size_t index, const std::string& bytes);
    // The same, read already (ParseProxyListText; `webPage`: LooksLikeWebPage).
    void Take(size_t index, ParsedProxyList list, bool webPage);
    void Fail(size_t index, const std::string& failure);
    // Every source still silent fails for `failure`.
    void GiveUp(const std::string& failure);
    bool AllAnswered() const;
    // Whether any source of the run sent a list.
    bool AnyCame() const;
    // The failure of the first source that failed.
    std::string FirstFailure() const;

    // Every source's latest list, in source order (sources that never sent
    // one are left out), and their union.
    std::vector<SharedProxyList> LatestLists() const;
    ProxyUnion Union() const { return UnionOf(LatestLists()); }
    // "Proxy list updated: 2,315 proxies from 4 sources; 1 source failed
    // (<name>: <reason>)." for a union of `count` proxies, `cut` when the
    // union or a source went over the limit.
    std::string Summary(size_t count, bool cut) const;

private:
    struct Answer {
        bool answered = false;
        std::string failure;  // empty: the list came
        bool cut = false;
    };
    std::vector<ProxySource> sources_;
    std::vector<Answer> answers_;
    // Each source's latest list, by address, kept across runs.
    std::map<std::string, SharedProxyList> lists_;
};

// 2315 as "2,315".
std::string GroupedNumber(size_t number);
