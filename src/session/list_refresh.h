// The proxy list's download at start-up and by "Refresh List". The download
// runs on a worker thread, so the window answers while a silent or slow list
// service keeps it waiting; its outcome fills the selector when it comes,
// and a deadline gives up on a service that never finishes.
#pragma once

#include <cstdint>
#include <string>

#include "session/activation.h"
#include "session/shell_interfaces.h"
#include "proxies/list_sources/sources_refresh.h"

namespace list_refresh {
constexpr int DeadlineTimerId = 101;
constexpr uint32_t DeadlineMs = 30000;
constexpr char CannotUpdatePrefix[] = "Cannot update the proxy list: ";
constexpr char NoThread[] = "no worker thread could be started";
constexpr char NoAnswerInTime[] = "the list service did not send the list within 30 seconds";
}  // namespace list_refresh

// "Cannot update the proxy list: <reason>."
std::string CannotUpdateText(const std::string& reason);

// Reads a downloaded list where it came, on the worker, and lets go of its
// bytes: a list of 100,000 lines held the window for seconds.
void ReadListDownload(ListDownload& outcome, net::ProxyType defaultType);

// The union of download `id`'s lists, as the worker makes it.
ListMerged MergeLists(int id, const std::vector<SharedProxyList>& lists);

class ListRefresh {
public:
    ListRefresh(ProxyActivation& activation, MainWindowView& view, BackgroundWork& work);

    // The start-up download, after the activation step has shown the stored
    // proxy: its outcome fills the selector around that proxy and says
    // nothing when no list came.
    void StartUp();
    // "Refresh List": every ticked source at once; does nothing while a
    // download runs.
    void OnRefreshClicked();
    void OnDownloaded(ListDownload outcome);
    // The union the worker made; one for an earlier download is dropped.
    void OnMerged(ListMerged merged);
    // Timer 101: the download took too long.
    void OnDeadline();

    bool Running() const { return running_ != Kind::None; }
    // The proxies the selector offers from the sources, in its order.
    const std::vector<ListedProxy>& Offered() const { return offered_; }
    // Keeps the password of the offered proxy whose selector text is
    // `text`, if it came with one, so that the choice of it can be tested
    // and used; false when it could not be kept.
    bool KeepPasswordOfOffered(const std::string& text) const;
    // Set when start-up could not write "proxylist.txt" and stopped there.
    bool StartUpStopped() const { return startUpStopped_; }

private:
    enum class Kind { None, StartUp, Refresh };

    void Start(Kind kind);
    // Every source has answered, or the deadline came: the union is made on
    // a worker (here, should no thread start) and OnMerged shows it.
    void Finish();
    void Show(Kind kind, ListMerged merged);
    void FillAroundStoredProxy(std::vector<SelectorItem> items);

    ProxyActivation& activation_;
    MainWindowView& view_;
    BackgroundWork& work_;
    Kind running_ = Kind::None;
    bool merging_ = false;
    int id_ = 0;
    bool startUpStopped_ = false;
    SourcesRefresh sources_;
    std::vector<ListedProxy> offered_;
    // The maker's list could not be kept in "proxylist.txt": why.
    std::string keepError_;
};
