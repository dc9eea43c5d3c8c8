// Whether anonymous browsing is on, kept where a process other than Veilgate
// can read it: the watcher that outlives a killed Veilgate and the restore
// run at the next log-on after a power cut both put the browsers back only
// while it says so. Veilgate sets it before it first changes a browser and
// clears it when it has put them all back.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings_backend.h"

// Below HKEY_CURRENT_USER, beside the records of what the user had.
constexpr char BrowsingMarkKey[] = "Software\\Veilgate\\Browsing";
// The per-user list of programs that Windows runs once at the next log-on,
// each value removed before its program runs.
constexpr char RunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char RunOnceName[] = "Gatereset";

// The restore tool, beside Veilgate.exe, and its two quiet runs.
constexpr char RestoreToolFile[] = "Gatereset.exe";
// "Gatereset /watch <process id>": waits for that process to end, then
// restores what it left pointed at itself.
constexpr char WatchSwitch[] = "/watch";
// "Gatereset /leftover": restores what a Veilgate that no longer runs left.
constexpr char LeftoverSwitch[] = "/leftover";

// The event by which the crash filter of Veilgate's process `processId`
// tells its watcher to restore at once, rather than wait for a crashed
// process to end: one per process, in the session's own namespace.
std::string RestoreNowEventName(uint32_t processId);

// The command line that runs `toolPath` with `arguments`, the path quoted.
std::string RestoreToolCommand(const std::string& toolPath, const std::string& arguments);

// Windows runs a RunOnce command line of fewer than 260 characters only.
constexpr size_t RunOnceCommandLimit = 259;
// The log-on entry's command line: the tool's path as it is when the line
// fits, else its short (8.3) form `shortToolPath` when that fits, else none
// (empty): the watcher and Veilgate's next start still restore.
std::string RunOnceCommand(const std::string& toolPath, const std::string& shortToolPath,
                           const std::string& arguments);

// Sets the mark, then the log-on entry that runs `leftoverCommand` (none
// when it is empty), written only when it is not there already as it is:
// a switch while on rewrites nothing. False when the mark could not be
// written.
bool MarkBrowsingOn(const std::string& leftoverCommand,
                    SettingsBackend& backend = DefaultSettingsBackend());
// Removes the log-on entry, then the mark.
bool ClearBrowsingMark(SettingsBackend& backend = DefaultSettingsBackend());
// Only a mark of exactly 1 counts: one that cannot be read is none.
bool IsBrowsingMarkedOn(SettingsBackend& backend = DefaultSettingsBackend());
