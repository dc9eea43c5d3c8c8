// The requests to the maker's proxy-list service, through WinINet on a direct
// connection (never through the browsers' proxy, which may be this program's
// own engine) and with time-outs, so a silent server costs seconds, not
// minutes: the list download and the generator request.
#pragma once

#include <string>

#include "base/scoped_win.h"

// Each step of a request (connect, send, every read) gives up after this.
constexpr unsigned long RequestTimeoutMs = 15000;

// The body of the list reply with every line feed written as CR LF, whatever
// the status code (an error page is a reply too); false, with `reply` empty,
// when any step fails. Shows nothing.
bool DownloadProxyList(std::string& reply);

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
