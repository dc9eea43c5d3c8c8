// The tested proxies that the engine turns to when the active one does not
// answer, and what the window does once the engine has moved to one of them.
#pragma once

#include <string>
#include <vector>

#include "session/activation.h"
#include "session/shell_interfaces.h"
#include "engine/upstream_settings.h"
#include "proxies/proxy_list.h"

namespace failover {
// "<old> did not answer; Veilgate now uses <new>."
constexpr char DidNotAnswer[] = " did not answer; Veilgate now uses ";
}  // namespace failover

// Whether a test in this run showed that the row's proxy hides the user's
// address (Anonymous or Elite). Only such a row is ever made active without
// the user choosing it: a row loaded from the file has not been tested yet.
bool IsProvenRow(const ProxyList& list, int row);

// The rows after `row` in list order, wrapping to the first, each once and
// never `row` itself, whose grade `keep` accepts; every such row from the
// first for a `row` of -1.
std::vector<int> RowsAfter(const ProxyList& list, int row, bool (*keep)(Anonymity level));
// The same for proven rows only.
std::vector<int> UsableRowsAfter(const ProxyList& list, int row);

// The rows of `list` after the active proxy's (the first row with its host
// and port), in list order and wrapping to the first row, each proxy once and
// never the active one itself; only proven rows. None when the active proxy
// is not in the list, as the rotation does not move from a proxy that is not
// there either.
std::vector<UpstreamCandidate> FailoverCandidates(const ProxyList& list,
                                                  const net::ProxyAddress& active);

// On the window's thread, told by the engine that `to` answered for `from`:
// `to` becomes the active proxy as a choice of it would make it, and the
// user is told, by the tray's balloon when the window is hidden and in the
// status line when it is shown. Nothing changes when the user has moved on
// from `from` since, or has removed `to` from the list.
void OnFailedOver(ProxyActivation& activation, MainWindowView& view, const UpstreamCandidate& from,
                  const UpstreamCandidate& to);
