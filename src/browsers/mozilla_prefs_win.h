// Points the Mozilla-family browsers at the local proxy and back by editing
// the prefs.js found last in a profile tree. Netscape shares the Mozilla
// routines and profile tree.
#pragma once

#include <string>

void SetMozillaProxy();
void DisableMozillaProxy();
void SetFirefoxProxy();
void DisableFirefoxProxy();

// The prefs.js to edit under `profileRoot`: the last one found, searching
// each folder after its subfolders and the root last; empty when none.
std::string FindPrefsFile(const std::string& profileRoot);

// The work of the routines above for any profile tree. False when there is
// no prefs.js or it could not be read or replaced; the file is then left as
// it was.
bool EnableProxyInProfileTree(const std::string& profileRoot, int port);
bool DisableProxyInProfileTree(const std::string& profileRoot);
