// Points the Mozilla-family browsers at the local proxy and back by editing
// every prefs.js in a profile tree. Netscape shares the Mozilla routines and
// profile tree.
#pragma once

#include <string>
#include <vector>

#include "browsers/file_record.h"

// The enable routines add the prefs.js files that they could not change to
// `unchanged`, when given. The Firefox routines set `running`, when given,
// when Firefox runs on a profile they changed: it takes the change only when
// it starts again.
void SetMozillaProxy(std::vector<std::string>* unchanged = nullptr);
void DisableMozillaProxy(WithoutRecord withoutRecord = WithoutRecord::Reset);
void SetFirefoxProxy(std::vector<std::string>* unchanged = nullptr, bool* running = nullptr);
void DisableFirefoxProxy(bool* running = nullptr,
                         WithoutRecord withoutRecord = WithoutRecord::Reset);

// The prefs.js of every profile in `profileRoot`: in each folder directly
// in it, in the order the file system lists them, then in the root itself;
// never deeper.
std::vector<std::string> FindPrefsFiles(const std::string& profileRoot);

// The work of the routines above for any profile tree. Enabling first saves
// each file's own proxy entries (see browsers/file_record.h) and restoring
// puts them back; a file without saved entries gets the plain restore of
// prefs::DisableProxy, or, with an `enginePort`, none unless it points at
// that port of the local proxy. The user.js beside each prefs.js is given the same
// entries and put back byte for byte, or removed when enabling made it; while
// the browser runs on the profile a restore leaves it saying the user's own
// values until the next restore. False when there is no prefs.js, or one of
// them could not be read or replaced; that profile is then left as it was
// (and its prefs.js added to `unchanged`) and the others are still edited.
// `profileInUse` is set when a browser runs on a profile that was changed.
bool EnableProxyInProfileTree(const std::string& profileRoot, int port,
                              std::vector<std::string>* unchanged = nullptr,
                              bool* profileInUse = nullptr);
bool DisableProxyInProfileTree(const std::string& profileRoot, bool* profileInUse = nullptr,
                               int enginePort = 0);

// Whether the browser runs on the profile in `folder` (it holds the profile's
// parent.lock open).
bool IsProfileInUse(const std::string& folder);
