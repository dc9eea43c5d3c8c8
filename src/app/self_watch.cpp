#include "app/self_watch.h"

#include "session/activation.h"
#include "browsers/browsing_mark.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

SelfWatch::SelfWatch(Watcher& watcher, MainWindowView& view, std::string leftoverCommand,
                     SettingsBackend& backend)
    : watcher_(watcher),
      view_(view),
      leftoverCommand_(std::move(leftoverCommand)),
      backend_(backend) {}

void SelfWatch::BrowsingOn() {
    MarkBrowsingOn(leftoverCommand_, backend_);
    if (watcher_.IsWatching() || watcher_.Start() || toldCannotWatch_)
        return;
    toldCannotWatch_ = true;
    cannotWatchDue_ = true;
}

void SelfWatch::TellIfUnwatched() {
    if (!cannotWatchDue_)
        return;
    cannotWatchDue_ = false;
    if (!view_.ShowTrayBalloon(self_watch::CannotWatch))
        view_.Tell(self_watch::CannotWatch, activation::ProductName);
}

void SelfWatch::BrowsingOff() {
    ClearBrowsingMark(backend_);
}

bool IsLeftoverToRestore(SettingsBackend& backend) {
    return IsBrowsingMarkedOn(backend) &&
           !RegDwordValue(setting::UseProxy, 0, false, SettingsRoot::Product, backend).IsOn();
}
