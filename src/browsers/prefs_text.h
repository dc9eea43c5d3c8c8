// The edits that point a Mozilla-family prefs.js at the local proxy and back,
// as pure functions over the file's text (read and written in text mode by
// browsers/text_file_win.h).
#pragma once

#include <string>

namespace prefs {

// The preference lines looked for, case-sensitively, first occurrence only.
constexpr char HostKey[] = "user_pref(\"network.proxy.http\"";
constexpr char PortKey[] = "user_pref(\"network.proxy.http_port\"";
constexpr char TypeKey[] = "user_pref(\"network.proxy.type\"";

// Where each value starts, counted from its key's first character, in the
// layout the browsers write: key, comma, one blank, value, ");".
constexpr size_t HostValueOffset = 33;
constexpr size_t PortValueOffset = 37;
constexpr size_t TypeValueOffset = 32;

// The length of `user_pref("network.proxy.type", 1);`, the whole type entry.
constexpr size_t TypeEntryLength = 35;

// The three entries appended to a file that lacks them.
std::string HostFragment();
std::string PortFragment(int port);
std::string TypeFragment();

// Points the text at 127.0.0.1 and `port` with proxy type 1: existing entries
// are rewritten in place, missing ones appended.
std::string EnableProxy(const std::string& text, int port);

// Removes the port entry (its line stays, empty) and the type entry; the host
// entry stays, and without a type the browser connects directly.
std::string DisableProxy(const std::string& text);

}  // namespace prefs
