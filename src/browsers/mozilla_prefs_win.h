// Points the Mozilla-family browsers at the local proxy and back by editing
// every prefs.js in a profile tree. Netscape shares the Mozilla routines and
// profile tree.
#pragma once

#include <string>
#include <vector>

// The enable routines add the prefs.js files that they could not change to
// `unchanged`, when given.
void SetMozillaProxy(std::vector<std::string>* unchanged = nullptr);
void DisableMozillaProxy();
void SetFirefoxProxy(std::vector<std::string>* unchanged = nullptr);
void DisableFirefoxProxy();

// Every prefs.js under `profileRoot`, in the order found: each folder after
// its subfolders, the root last.
std::vector<std::string> FindPrefsFiles(const std::string& profileRoot);

// The work of the routines above for any profile tree. Enabling first saves
// each file's own proxy entries (see browsers/file_record.h) and restoring
// puts them back; a file without saved entries gets the plain restore of
// prefs::DisableProxy. False when there is no prefs.js, or one of them could
// not be read or replaced; that one is then left as it was (and added to
// `unchanged`) and the others are still edited.
bool EnableProxyInProfileTree(const std::string& profileRoot, int port,
                              std::vector<std::string>* unchanged = nullptr);
bool DisableProxyInProfileTree(const std::string& profileRoot);
