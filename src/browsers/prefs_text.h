// The edits that point a Mozilla-family prefs.js at the local proxy and back,
// as pure functions over the file's bytes (read and written unchanged by
// browsers/text_file.h). They find the entries as the browser reads them
// (browsers/prefs_reader.h), so that an entry in a comment or inside another
// entry's string is neither read nor changed, and they change no byte outside
// the entries they rewrite, remove or add. Lines that the edits add end as the
// file's own lines do, LF or CR LF, so that a file keeps its line ends and
// what is put back is exactly what was there. Added entries go at the end, or,
// when the file ends in something the browser cannot finish reading (a comment
// left open, say), just before it, where the browser still reads them.
#pragma once

#include <string>
#include <vector>

#include "browsers/file_record.h"

namespace prefs {

// How each changed preference's entry starts, as the edits write it.
constexpr char HostKey[] = "user_pref(\"network.proxy.http\"";
constexpr char PortKey[] = "user_pref(\"network.proxy.http_port\"";
constexpr char TypeKey[] = "user_pref(\"network.proxy.type\"";
// The browsers take secure traffic past the proxy unless this pair names it
// too.
constexpr char SslHostKey[] = "user_pref(\"network.proxy.ssl\"";
constexpr char SslPortKey[] = "user_pref(\"network.proxy.ssl_port\"";
// WebRTC does not use an HTTP proxy unless told to use nothing else; without
// this a page could learn the real address through it.
constexpr char ProxyOnlyKey[] = "user_pref(\"media.peerconnection.ice.proxy_only\"";
// The browser looks up the names of the links on each page ahead of time,
// through the user's own DNS server, which so learns every site visited.
constexpr char DnsPrefetchOffKey[] = "user_pref(\"network.dns.disablePrefetch\"";

// The line end of the text: that of its first line, CR LF for a text without
// any (the Windows convention, which the browsers follow there).
std::string LineEndOf(const std::string& text);

// The entries appended to a file that lacks them, each on a line of its own:
// the line end first, then the entry.
std::string HostFragment(const std::string& lineEnd = "\r\n");
std::string PortFragment(int port, const std::string& lineEnd = "\r\n");
std::string TypeFragment(const std::string& lineEnd = "\r\n");
std::string SslHostFragment(const std::string& lineEnd = "\r\n");
std::string SslPortFragment(int port, const std::string& lineEnd = "\r\n");
std::string ProxyOnlyFragment(const std::string& lineEnd = "\r\n");
std::string DnsPrefetchOffFragment(const std::string& lineEnd = "\r\n");

// Points the text at 127.0.0.1 and `port` with proxy type 1, for plain and
// secure traffic, keeps WebRTC to the proxy and turns DNS prefetching off:
// existing entries are rewritten in place (every entry of a preference, as
// the browser obeys the last), missing ones added in the order of the
// fragments above.
std::string EnableProxy(const std::string& text, int port);

// Removes every port entry, type entry, WebRTC entry and DNS prefetching
// entry, and only them (a line that held one alone stays, empty); the host
// entries stay, and without a type the browser connects directly.
std::string DisableProxy(const std::string& text);

// The preferences that EnableProxy rewrites or appends, by name.
std::vector<std::string> ChangedPrefNames();

// The user's own values of those preferences in `text`: each one's last
// entry, which the browser obeys, the value as written (a string's quotes and
// escapes included).
std::vector<SavedEntry> SaveEntries(const std::string& text);

// The values of those preferences that the browser obeys: each one's last
// entry in `text`, the value as the browser takes it (prefs::PrefEntry::taken:
// a string between double quotes with its escapes resolved).
std::vector<SavedEntry> ObeyedEntries(const std::string& text);

// Whether the text already points at 127.0.0.1 and `port` with type 1 (the
// last entries, which the browser obeys): what a run that did not end in
// order leaves, never the user's own.
bool PointsAt(const std::string& text, int port);
// The same for the loopback address (127.0.0.1 or localhost) on any of
// `ports`, the ports the engine has used: what a run on another port left.
bool PointsAt(const std::string& text, const std::vector<int>& ports);

// Puts each saved preference back: one the user had gets its value again, in
// its first entry (appended when it has none), and any later entries go with
// their lines (a copy that enabling appended, or a repeat the user had: the
// browser obeyed its value, which the first entry now holds); one the user did
// not have goes with its line (and with the line end that enabling added
// before it).
// Every other line stays as it is. A saved value that is no value the
// browser reads (a record of an older build, made from a damaged entry)
// counts as none.
std::string RestoreEntries(const std::string& text, const std::vector<SavedEntry>& saved);

// What a user.js must say so that the browser, at its next start, takes
// back the user's own proxy entries even though it wrote its settings from
// memory (still pointing at the engine) when it ended: for each preference
// the value in user.js, else the one in prefs.js, else the browser's own
// default.
std::vector<SavedEntry> HeldEntries(const std::vector<SavedEntry>& inUserJs,
                                    const std::vector<SavedEntry>& inPrefsJs);

}  // namespace prefs
