// The requests to the maker's proxy-list service, through WinINet with the
// system's proxy settings: the list download and the generator request.
#pragma once

#include <string>

#include "base/scoped_win.h"

// The body of the list reply with every line feed written as CR LF, whatever
// the status code; the empty text when any step fails. Shows nothing.
std::string DownloadProxyList();

// Fetches the generator page to its end and drops it: 1 when it was read
// through, 0 on any failure.
int ProxyGeneratorRequest();
// Runs ProxyGeneratorRequest on a thread of its own. Nothing needs to wait for
// it; the handle is there for those who want to (invalid when no thread).
base::ScopedHandle StartProxyGeneratorRequest();

// The download as the start-up and "Refresh List" run it: downloads the list,
// keeps a non-empty reply in "proxylist.txt" in the data folder and logs a
// failed download beside the program when ErrLogging is 1. `reply` is the
// text to fill the selector with. False only when "proxylist.txt" could not
// be written; `error` then names it and the caller stops there.
bool DownloadAndKeepProxyList(std::string& reply, std::string* error = nullptr);
