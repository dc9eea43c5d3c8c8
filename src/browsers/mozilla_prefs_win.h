// Points the Mozilla-family browsers at the local proxy and back by editing
// every prefs.js in a profile tree. Netscape shares the Mozilla routines and
// profile tree.
#pragma once

#include <string>
#include <vector>

void SetMozillaProxy();
void DisableMozillaProxy();
void SetFirefoxProxy();
void DisableFirefoxProxy();

// Every prefs.js under `profileRoot`, in the order found: each folder after
// its subfolders, the root last.
std::vector<std::string> FindPrefsFiles(const std::string& profileRoot);

// The work of the routines above for any profile tree. False when there is
// no prefs.js, or one of them could not be read or replaced; that one is then
// left as it was and the others are still edited.
bool EnableProxyInProfileTree(const std::string& profileRoot, int port);
bool DisableProxyInProfileTree(const std::string& profileRoot);
